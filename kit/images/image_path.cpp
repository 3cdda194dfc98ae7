// Path composition bounded to its buffer.
#include "image_path.h"

#include <cstdio>

namespace kit {
namespace {

// snprintf's result is the length the full path would have had: anything that reaches the
// buffer size did not fit.
bool fits(int length, char *out, size_t size) {
    if (length >= 0 && static_cast<size_t>(length) < size) return true;
    if (size > 0) out[0] = '\0';
    return false;
}

} // namespace

bool themed_image_path(char *out, size_t size, const char *base_dir, const char *dir,
                       const char *colour, const char *suffix) {
    return fits(std::snprintf(out, size, "%s/%s%s%s", base_dir, dir, colour, suffix), out, size);
}

bool icon_image_path(char *out, size_t size, const char *base_dir, const char *dir, const char *icon,
                     const char *colour) {
    return fits(std::snprintf(out, size, "%s/%s%s_%s.png", base_dir, dir, icon, colour), out, size);
}

bool fixed_image_path(char *out, size_t size, const char *base_dir, const char *relative) {
    return fits(std::snprintf(out, size, "%s/%s", base_dir, relative), out, size);
}

bool fixed_image_path(char *out, size_t size, const char *base_dir, const char *dir, const char *file) {
    return fits(std::snprintf(out, size, "%s/%s%s", base_dir, dir, file), out, size);
}

} // namespace kit
