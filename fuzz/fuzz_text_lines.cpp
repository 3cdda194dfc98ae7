// fuzz_text_lines - the "<br>" line walk of the kit on arbitrary bytes, NUL bytes included.
//
// Input: the first byte chooses the walk (bit 0: split at markers; bits 1..: a length cut, so that
// the walk also sees a text that ends inside a marker), the rest is the text. The text lies in a
// buffer of exactly its own size, so that any read past it is an overflow for the sanitizer.
// Checked, against a model written from the marker rule alone:
//   - the lines, in order, are the text cut at every "<br>" (no line after a final marker), or the
//     whole text as one line without splitting;
//   - every line lies inside the text, and the walk ends after as many lines as the model has.
#include "fuzz_input.h"
#include "text_lines.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> model_lines(const std::string &text, bool split) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    if (!split) return {text};
    size_t start = 0;
    while (start < text.size()) {
        const size_t marker = text.find("<br>", start);
        if (marker == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, marker - start));
        start = marker + 4;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::input in(data, size);
    const uint8_t mode = in.byte();
    const bool split = (mode & 1) != 0;
    std::string text(reinterpret_cast<const char *>(data) + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
    const size_t cut = mode >> 1;
    if (cut != 0 && cut < text.size()) text.resize(cut);

    const size_t n = text.size();
    std::unique_ptr<char[]> exact(new char[n == 0 ? 1 : n]);
    if (n > 0) std::memcpy(exact.get(), text.data(), n);
    const std::vector<std::string> expected = model_lines(text, split);

    kit::line_walker walk(exact.get(), static_cast<int32_t>(n));
    size_t count = 0;
    while (!walk.done()) {
        const kit::text_line line = walk.next(split);
        if (line.length < 0 || line.start < exact.get() || line.start + line.length > exact.get() + n)
            fuzz::fail("a line outside the text");
        if (count >= expected.size()) fuzz::fail("more lines than the text has", text);
        if (std::string(line.start, static_cast<size_t>(line.length)) != expected[count])
            fuzz::fail("a line differs from the model", expected[count]);
        ++count;
    }
    if (count != expected.size()) fuzz::fail("fewer lines than the text has", text);
    return 0;
}
