// Reading the stretch marks on the border of a nine-patch file.
#include "nine_patch_file.h"

namespace pitwall::raster {
namespace {

bool is_mark(uint32_t argb) { return argb == 0xFF000000u; }

// The band of marked positions 1..count along one edge (`step` words apart), in content
// coordinates (one less).
void band_of(const uint32_t *edge, size_t step, int count, int *first, int *length) {
    int lo = -1, hi = -1;
    for (int i = 1; i <= count; ++i) {
        uint32_t argb = edge[size_t(i) * step];
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

bool read_stretch_bands(const uint32_t *rows, size_t stride_bytes, int width, int height, stretch_bands *bands) {
    if (width < 3 || height < 3) return false;
    band_of(rows, 1, width - 2, &bands->sx, &bands->sw);
    band_of(rows, stride_bytes / sizeof(uint32_t), height - 2, &bands->sy, &bands->sh);
    return true;
}

} // namespace pitwall::raster
