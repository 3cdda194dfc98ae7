// fuzz_image_path - the kit's image path composition with arbitrary parts and buffer sizes.
//
// Input: the buffer size (a byte, 0..255, around the widgets' 204), then the parts as
// fuzz::input texts: base_dir, dir, colour or icon, suffix or file. Each of the four compositions
// writes into a heap buffer of exactly that size, so that a write past it is an overflow for the
// sanitizer. Checked, against the path composed here as a std::string:
//   - a composition that fits returns true and leaves exactly the full path, terminated;
//   - one that does not fit returns false and leaves an empty string (never a truncated name);
//   - a size of 0 is never written to.
#include "fuzz_input.h"
#include "image_path.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr char k_guard = '\x5a';

void check(bool ok, const char *buffer, size_t size, const std::string &full, const char *what) {
    const bool fits = full.size() < size;
    if (ok != fits) fuzz::fail(what, fits ? "refused a path that fits" : "accepted a path that does not fit");
    if (size == 0) return;
    const std::string written(buffer, strnlen(buffer, size));
    if (written.size() == size) fuzz::fail(what, "not terminated");
    if (fits ? written != full : !written.empty()) fuzz::fail(what, written);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::input in(data, size);
    const size_t buffer_size = in.byte();
    // The parts are C strings: cut at a NUL byte (fuzz::input::text does).
    const std::string base = in.text(300), dir = in.text(300), middle = in.text(300), last = in.text(300);

    std::unique_ptr<char[]> buffer(new char[buffer_size == 0 ? 1 : buffer_size]);
    auto fresh = [&] { std::memset(buffer.get(), k_guard, buffer_size == 0 ? 1 : buffer_size); };

    fresh();
    check(kit::themed_image_path(buffer.get(), buffer_size, base.c_str(), dir.c_str(), middle.c_str(), last.c_str()),
          buffer.get(), buffer_size, base + "/" + dir + middle + last, "themed");
    fresh();
    check(kit::icon_image_path(buffer.get(), buffer_size, base.c_str(), dir.c_str(), middle.c_str(), last.c_str()),
          buffer.get(), buffer_size, base + "/" + dir + middle + "_" + last + ".png", "icon");
    fresh();
    check(kit::fixed_image_path(buffer.get(), buffer_size, base.c_str(), dir.c_str()), buffer.get(), buffer_size,
          base + "/" + dir, "fixed");
    fresh();
    check(kit::fixed_image_path(buffer.get(), buffer_size, base.c_str(), dir.c_str(), last.c_str()), buffer.get(),
          buffer_size, base + "/" + dir + last, "fixed in a folder");
    if (buffer_size == 0 && buffer[0] != k_guard) fuzz::fail("a buffer of size 0 was written to");
    return 0;
}
