// png_decoder.h - a PNG decoded in two steps: the header first, so that the caller can decide
// whether the pixels may be decoded at all (and where they go) before any pixel memory exists;
// then the pixels, straight into the caller's rows.
#ifndef PITWALL_RASTER_PNG_DECODER_H
#define PITWALL_RASTER_PNG_DECODER_H

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace pitwall::raster {

class png_decoder {
public:
    png_decoder();
    ~png_decoder(); // frees libpng's read state on every way out
    png_decoder(const png_decoder &) = delete;
    png_decoder &operator=(const png_decoder &) = delete;

    // Read the signature and the header of the whole file in `bytes`, which must outlive the
    // decoder. False with the reason (libpng's own words where libpng found the fault).
    bool open(const std::string &bytes, std::string *why);
    uint32_t width() const { return png_.width; } // as the header declares them
    uint32_t height() const { return png_.height; }

    // Every pixel, in any colour type and depth, as a native 0xAARRGGBB word with straight alpha:
    // row y starts at (char *)rows + y * stride_bytes, which holds at least 4 * width bytes.
    // Allocates no image-sized buffer of its own. Call once, after open succeeded.
    bool decode(uint32_t *rows, size_t stride_bytes, std::string *why);

private:
    png_image png_;
};

} // namespace pitwall::raster

#endif // PITWALL_RASTER_PNG_DECODER_H
