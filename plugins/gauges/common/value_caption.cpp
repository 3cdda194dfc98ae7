// The value caption: format from the caption text, the number formatted into its fixed buffer,
// and the text placed in the middle of the gauge.
#include "value_caption.h"

#include "text.h"
#include "convert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gauges {
namespace {

using kit::s16;

constexpr int32_t placeholder_length = sizeof channel_placeholder - 1; // 15 characters
constexpr int32_t conversion_length = 4;                              // "%.Nf"


// Copy [from, to) doubling every '%'; returns the end of what was written.
char *copy_doubling_percent(const char *from, const char *to, char *out) {
    for (const char *c = from; c < to; ++c) {
        *out++ = *c;
        if (*c == '%') *out++ = '%';
    }
    return out;
}

} // namespace

int32_t value_format_size(const char *text) {
    int32_t size = 1;
    for (const char *c = text; *c != '\0'; ++c) size += *c == '%' ? 2 : 1;
    if (std::strstr(text, channel_placeholder) != nullptr) size -= placeholder_length - conversion_length;
    return size;
}

void write_value_format(const char *text, uint8_t decimals, char *out) {
    const char *end = text + std::strlen(text);
    const char *placeholder = std::strstr(text, channel_placeholder);
    if (placeholder == nullptr) {
        *copy_doubling_percent(text, end, out) = '\0';
        return;
    }
    out = copy_doubling_percent(text, placeholder, out);
    *out++ = '%';
    *out++ = '.';
    *out++ = static_cast<char>('0' + (decimals > max_decimals ? max_decimals : decimals));
    *out++ = 'f';
    *copy_doubling_percent(placeholder + placeholder_length, end, out) = '\0';
}

bool rebuild_value_format(value_caption &caption, const char *text, uint8_t decimals, gr_application_t *app) {
    std::free(caption.value_format);
    caption.value_format = nullptr;
    if (text == nullptr) return false;
    auto *format = static_cast<char *>(std::malloc(static_cast<size_t>(value_format_size(text))));
    if (format == nullptr) {
        gre_app_log(app, GRE_LOG_ERROR, "Failed to allocate format string memory");
        return false;
    }
    write_value_format(text, decimals, format);
    caption.value_format = format;
    return true;
}

void format_value_text(value_caption &caption, float value, gr_application_t *app) {
    if (caption.value_text == nullptr) {
        caption.value_text = static_cast<char *>(std::malloc(value_text_size));
        if (caption.value_text == nullptr) {
            gre_app_log(app, GRE_LOG_ERROR, "Failed to allocate render string memory");
            return;
        }
        caption.value_text[value_text_size - 1] = '\0';
    }
    // Only reached after a successful rebuild, but a format is never assumed.
    const char *format = caption.value_format != nullptr ? caption.value_format : "";
    // The format is built by write_value_format: literal text with every '%' doubled and at most
    // one "%.Nf" conversion, which takes exactly the one double passed here.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
    const int written = std::snprintf(caption.value_text, value_text_limit, format, static_cast<double>(value));
#if defined(__clang__)
#pragma clang diagnostic pop
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    caption.value_text_len = written < 0 ? 0 : written > value_text_max ? value_text_max : written;
}

void free_value_caption(value_caption &caption) {
    std::free(caption.value_format);
    std::free(caption.value_text);
    caption = value_caption{nullptr, nullptr, 0};
}

bool draw_value_caption(const kit::frame &frame, const caption_style &style, const value_caption &caption,
                        const gr_rect_t &square, uint16_t inset, const char *font, uint8_t font_size,
                        uint8_t alignment, uint32_t colour) {
    if (caption.value_text_len == 0 || caption.value_text == nullptr) return true;
    gr_context_t *ctx = frame.ctx;
    gr_text_style_t text_style;
    if (!style.font_ref(&text_style, ctx, kit::resources_of(ctx), font, font_size, colour)) return true;

    const gr_rect_t area{s16(square.x1 + inset), s16(square.y1 + inset), s16(square.x2 - inset),
                         s16(square.y2 - inset)};
    gr_rect_t visible;
    if (gr_rect_clip(&area, &frame.visible, &visible) == 0) return true;
    const int32_t available_w = visible.x2 - visible.x1 + 1, available_h = visible.y2 - visible.y1 + 1;

    int16_t extent[2] = {0, 0};
    if (ctx->ops->text_extent(ctx, caption.value_text, caption.value_text_len, &text_style, extent) == -1) {
        gre_app_log(ctx->app, GRE_LOG_ERROR, "Failed to get text extent for %s title %s", style.display_name,
                    caption.value_text);
        return false;
    }
    gr_font_metrics_t metrics{};
    ctx->ops->font_metrics(ctx, text_style.font, &metrics);

    const int32_t dx = kit::align_offset(kit::align_value_text, alignment, available_w, extent[0]);
    const int32_t dy = (available_h - metrics.line_height) / 2;
    ctx->ops->set_clip(ctx, &visible);
    ctx->ops->draw_text(ctx, visible.x1 + dx, visible.y1 + dy, caption.value_text, caption.value_text_len,
                        &text_style);
    return true;
}

} // namespace gauges
