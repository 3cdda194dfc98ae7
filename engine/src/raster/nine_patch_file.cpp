// Reading the stretch marks of a nine-patch file and removing its border.
#include "nine_patch_file.h"

namespace pitwall::raster {
namespace {

bool is_mark(uint32_t argb) { return argb == 0xFF000000u; }

// The band of marked positions 1..count along one edge, in content coordinates (one less).
void band_of(const argb_image &image, bool top_edge, int count, int *first, int *length) {
    int lo = -1, hi = -1;
    for (int i = 1; i <= count; ++i) {
        uint32_t argb = top_edge ? image.at(i, 0) : image.at(0, i);
        if (!is_mark(argb)) continue;
        if (lo < 0) lo = i;
        hi = i;
    }
    if (lo < 0) {
        *first = 0;
        *length = count;
    } else {
        *first = lo - 1;
        *length = hi - lo + 1;
    }
}

} // namespace

bool is_nine_patch_name(const std::string &path) {
    static const std::string suffix = ".9.png";
    return path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool strip_nine_patch(const argb_image &bordered, argb_image *content, stretch_bands *bands) {
    if (bordered.width < 3 || bordered.height < 3) return false;
    int w = bordered.width - 2, h = bordered.height - 2;
    band_of(bordered, true, w, &bands->sx, &bands->sw);
    band_of(bordered, false, h, &bands->sy, &bands->sh);
    argb_image inner(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) inner.at(x, y) = bordered.at(x + 1, y + 1);
    *content = std::move(inner);
    return true;
}

} // namespace pitwall::raster
