// Nine-patch layout from an image's stretch bands, and drawing by nine part copies.
#include "nine_patch.h"

#include "convert.h"

#include <cstring>

namespace kit {
namespace {

int16_t band_at(const void *stretch, int offset) {
    int16_t v;
    std::memcpy(&v, static_cast<const unsigned char *>(stretch) + offset, sizeof v);
    return v;
}


} // namespace

bool read_stretch_bands(gr_context_t *ctx, gr_image_t *image, stretch_bands *out) {
    gr_image_size_t size{};
    if (ctx->ops->image_info(ctx, image, GR_IMAGE_INFO_SIZE, &size, 8) != 0) return false;
    out->width = size.width;
    out->height = size.height;
    if (size.stretch == nullptr) {
        *out = {size.width, size.height, 0, size.width, 0, size.height};
        return true;
    }
    out->sx = band_at(size.stretch, GR_STRETCH_SX_OFFSET);
    out->sw = band_at(size.stretch, GR_STRETCH_SW_OFFSET);
    out->sy = band_at(size.stretch, GR_STRETCH_SY_OFFSET);
    out->sh = band_at(size.stretch, GR_STRETCH_SH_OFFSET);
    return true;
}

void nine_patch_cells(const stretch_bands &b, int16_t width, int16_t height, nine_patch *out) {
    // Source columns and rows: [0, s-1], [s, s+n-1], [s+n, size-1].
    const int16_t col_x1[3] = {0, b.sx, s16(b.sx + b.sw)};
    const int16_t col_x2[3] = {s16(b.sx - 1), s16(b.sx + b.sw - 1), s16(b.width - 1)};
    const int16_t row_y1[3] = {0, b.sy, s16(b.sy + b.sh)};
    const int16_t row_y2[3] = {s16(b.sy - 1), s16(b.sy + b.sh - 1), s16(b.height - 1)};
    const int32_t dw = width - b.width, dh = height - b.height;
    for (int k = 0; k < 9; ++k) {
        int row = k / 3, col = k % 3;
        gr_rect_t src{col_x1[col], row_y1[row], col_x2[col], row_y2[row]};
        gr_rect_t dst = src;
        if (col == 1) dst.x2 = s16(src.x2 + dw);
        if (col == 2) dst = {s16(src.x1 + dw), dst.y1, s16(width - 1), dst.y2};
        if (row == 1) dst.y2 = s16(src.y2 + dh);
        if (row == 2) dst = {dst.x1, s16(src.y1 + dh), dst.x2, s16(height - 1)};
        out->source[k] = src;
        out->target[k] = dst;
    }
}

int nine_patch_layout(gr_context_t *ctx, gr_image_t *image, nine_patch *patch, int16_t width,
                      int16_t height) {
    stretch_bands bands;
    if (!read_stretch_bands(ctx, image, &bands)) return -1;
    nine_patch_cells(bands, width, height, patch);
    return 0;
}

void draw_nine_patch_parts(gr_context_t *ctx, gr_surface_t *surface, const nine_patch &patch) {
    for (int k = 0; k < 9; ++k) ctx->ops->draw_image_part(ctx, surface, &patch.source[k], 0, &patch.target[k]);
}

void draw_nine_patch(gr_context_t *ctx, gr_image_t *image, const nine_patch *patch, int32_t x, int32_t y) {
    gr_surface_t *surface = nullptr;
    ctx->ops->image_info(ctx, image, GR_IMAGE_INFO_SURFACE, &surface, 0); // result ignored
    ctx->ops->translate(ctx, x, y);
    draw_nine_patch_parts(ctx, surface, *patch);
    ctx->ops->untranslate(ctx, x, y);
}

} // namespace kit
