// The table of recent glyph runs.
#include "text_layouts.h"

namespace pitwall::raster {

text_layout *text_layouts::find(cairo_scaled_font_t *font, std::string_view text) {
    for (text_layout &l : entries_)
        if (l.font == font && l.text == text) return &l;
    return nullptr;
}

text_layout *text_layouts::keep(text_layout &&layout) {
    if (entries_.size() < capacity) {
        entries_.reserve(capacity); // once: kept entries never move
        entries_.push_back(std::move(layout));
        return &entries_.back();
    }
    text_layout &slot = entries_[next_];
    next_ = (next_ + 1) % capacity;
    slot = std::move(layout);
    return &slot;
}

} // namespace pitwall::raster
