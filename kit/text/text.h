// text.h - fonts and text placement shared by every widget that draws text.
//
// Fonts are looked up through the engine's resource manager at every draw and never held. Each
// widget logs lookup failures with its own messages, two literals that start with its display
// name; KIT_FONT_MESSAGES builds them at compile time:
//
//     constexpr kit::font_messages k_font_messages = KIT_FONT_MESSAGES("Basic Box");
//     ...
//     gr_text_style_t style;
//     if (kit::font_ref<k_font_messages>(&style, ctx, kit::resources_of(ctx), record->font, size, colour))
//         ctx->ops->draw_text(ctx, x, y, text, length, &style);
#ifndef PITWALL_KIT_TEXT_H
#define PITWALL_KIT_TEXT_H

#include "gre_host.h"

#include <cstdint>

namespace kit {

// The font used when a widget's `font` attribute is null or empty (relative to the application).
inline constexpr char default_font_name[] = "fonts/CPMono_v07 Plain.otf";
// The resource kind of fonts in the resource manager.
inline constexpr char font_resource_kind[] = "font";

// A widget's two font log lines (level 0). Both are printf formats: the first takes the font name.
struct font_messages {
    const char *no_font_reference; // "<name>: Couldn't get font reference %s"
    const char *no_font_in_resource; // "<name>: Invalid argument, unable to find font"
};

#define KIT_FONT_MESSAGES(display_name)                                                            \
    ::kit::font_messages {                                                                         \
        display_name ": Couldn't get font reference %s",                                           \
            display_name ": Invalid argument, unable to find font"                                 \
    }

// The name a lookup uses: the attribute, or the default font when it is null or empty.
const char *font_name_or_default(const char *font_name);

enum class font_lookup { found, no_resource, no_font };

// Fill style (cleared first: word 1 = 1, size, colour) and look the font up. On no_font the
// resource res_lookup gave has been released; nothing is logged here.
font_lookup lookup_font(gr_text_style_t *style, gr_resources_t *resources, const char *name,
                        int32_t size, uint32_t colour);

// The engine's resource manager as a draw reaches it; null when the context has none.
gr_resources_t *resources_of(const gr_context_t *ctx);

// Look a font up for one text element of one draw. True when style->font holds a usable font;
// false after one log line with the widget's message. A found font is never released.
//   size:   pixel size; colour: 0xRRGGBB in the low 24 bits, handed to the host unchanged.
template <const font_messages &Messages>
bool font_ref(gr_text_style_t *style, gr_context_t *ctx, gr_resources_t *resources,
              const char *font_name, int32_t size, uint32_t colour) {
    const char *name = font_name_or_default(font_name);
    // The formats are compile-time literals (Messages is a constant); GCC checks them through the
    // template argument, clang cannot see through it.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#pragma clang diagnostic ignored "-Wformat-security"
#endif
    switch (lookup_font(style, resources, name, size, colour)) {
    case font_lookup::found:
        return true;
    case font_lookup::no_resource:
        gre_app_log(ctx->app, GRE_LOG_ERROR, Messages.no_font_reference, name);
        return false;
    case font_lookup::no_font:
        gre_app_log(ctx->app, GRE_LOG_ERROR, Messages.no_font_in_resource);
        return false;
    }
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
    return false;
}

// Byte length of a string, 0 for null or empty (what widgets store and treat as "nothing to draw").
int32_t text_len(const char *text);

// ---- horizontal alignment -------------------------------------------------------------------
//
// A text of width w inside a box of width W, offset from the box's left edge:
//
//     left:    |<-left_margin->text                 |
//     centre:  |        (W - w) / 2 ->text          |
//     right:   |                 text<-right_margin->|     offset W - w - right_margin
//
// Each widget family has its own codes and margins; anything but the left and centre codes is
// right-aligned. Signed arithmetic; the centre division truncates toward zero.
struct text_alignment {
    int32_t left_code;
    int32_t centre_code;
    int32_t left_margin;  // offset of a left-aligned text
    int32_t right_margin; // gap right of a right-aligned text (negative: it overhangs)
};

inline constexpr text_alignment align_basic_box{1, 2, 5, 5};
inline constexpr text_alignment align_modern_box{1, 2, 3, 2};
inline constexpr text_alignment align_classic_box{1, 2, 3, 3};
inline constexpr text_alignment align_value_text{1, 2, 0, 0}; // modern gauges' value text
inline constexpr text_alignment align_menu_label{1, 2, 0, 0};
inline constexpr text_alignment align_modern_alarm{4, 5, 0, -1};
inline constexpr text_alignment align_classic_alarm{4, 5, 0, -2};

constexpr int32_t align_offset(const text_alignment &a, int32_t code, int32_t box_width,
                               int32_t text_width) {
    if (code == a.left_code) return a.left_margin;
    if (code == a.centre_code) return (box_width - text_width) / 2;
    return box_width - text_width - a.right_margin;
}

// The basic label's nine positions, 1..9 row by row from the top left:
//     1 2 3
//     4 5 6
//     7 8 9
// row and column are (alignment - 1) / 3 and % 3, truncating toward zero: 0 gives column -1 in
// row 0, above 9 the row grows past 2. Callers treat any row or column but 0 and 1 as the last.
struct nine_position {
    int32_t row;    // 0 top, 1 middle, other bottom
    int32_t column; // 0 left, 1 centre, other right
};

constexpr nine_position nine_position_of(int32_t alignment) {
    return {(alignment - 1) / 3, (alignment - 1) % 3};
}

} // namespace kit

#endif // PITWALL_KIT_TEXT_H
