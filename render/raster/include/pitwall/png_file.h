// png_file.h - whole PNG files in and out of memory as straight (not premultiplied) 0xAARRGGBB
// pixels. The raster context loads images and writes canvases through it; tests use it to read
// reference images and to write the files they stage.
#ifndef PITWALL_PNG_FILE_H
#define PITWALL_PNG_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pitwall {

// Row-major pixels, 0xAARRGGBB with straight alpha.
struct argb_image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    argb_image() = default;
    argb_image(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}

    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    uint32_t &at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// The largest width or height read_png accepts: a corrupt or hostile header must not make us
// allocate gigabytes.
inline constexpr int max_png_side = 8192;

// The largest PNG file read_png reads. Compressed, a max_png_side square takes far less; the
// limit only stops a mistaken path (a disk image, a log) from being read whole.
inline constexpr size_t max_png_file_bytes = 64u << 20;

// The PNG held in `bytes` (a whole file), in any colour type and depth, converted to 8-bit ARGB.
// False for bytes that are not a PNG, a damaged one, or one larger than max_png_side either way,
// with the reason alone in `why` (libpng's own message where libpng found the fault).
bool decode_png(const std::string &bytes, argb_image *out, std::string *why);

// decode_png of a file read through read_regular_file (at most max_png_file_bytes): a FIFO or a
// device is refused, never waited on. `why` is "<path>: <reason>".
bool read_png(const std::string &path, argb_image *out, std::string *why);

// An 8-bit RGBA PNG, as bytes. False (with libpng's reason) for an empty image or when encoding fails.
bool encode_png(const argb_image &image, std::string &out, std::string *why);

// An 8-bit RGBA PNG file, written through replace_file (file_write.h): a failed write leaves the
// path as it was, and a device or folder in its place is refused. False with "<path>: <reason>".
bool write_png(const std::string &path, const argb_image &image, std::string *why);

} // namespace pitwall

#endif // PITWALL_PNG_FILE_H
