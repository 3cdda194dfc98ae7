// image_path.h - composing image file paths into a fixed buffer on the caller's stack.
//
// A path that does not fit is a failed composition (the buffer then holds an empty string), never
// an overflow and never a truncated name that would load the wrong file.
#ifndef PITWALL_KIT_IMAGE_PATH_H
#define PITWALL_KIT_IMAGE_PATH_H

#include <cstddef>

namespace kit {

// Bytes of the path buffer, terminator included.
inline constexpr size_t image_path_size = 204;

// "<base_dir>/<dir><colour><suffix>", dir ending in '/': /opt/app/images/ModernBox/green_box.9.png
bool themed_image_path(char *out, size_t size, const char *base_dir, const char *dir,
                       const char *colour, const char *suffix);
// "<base_dir>/<dir><icon>_<colour>.png": .../images/Icons/warning_filled_red.png
bool icon_image_path(char *out, size_t size, const char *base_dir, const char *dir, const char *icon,
                     const char *colour);
// "<base_dir>/<relative>": .../images/ModernAlarm/white_reset.png
bool fixed_image_path(char *out, size_t size, const char *base_dir, const char *relative);
// "<base_dir>/<dir><file>": .../images/ClassicGauge/needle_small.png
bool fixed_image_path(char *out, size_t size, const char *base_dir, const char *dir, const char *file);

} // namespace kit

#endif // PITWALL_KIT_IMAGE_PATH_H
