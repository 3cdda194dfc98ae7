// fuzz_scene - the scene reader with arbitrary bytes: the JSON parse with its positions, and the
// scene keys, steps and staging read from it.
//
// Checked for every input:
//   - a refused scene's error reads "LINE:COLUMN: cause", the place inside the text (a line that
//     exists, a column no further than that line's length + 1) and the cause not empty;
//   - an accepted scene is JSON the reference parser accepts too;
//   - nothing leaks, overflows or reads uninitialised memory (the sanitizers see that).
#include "fuzz_input.h"

#include "pitwall/scene.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string>

namespace {

void check_error_place(const std::string &text, const std::string &err) {
    size_t colon = err.find(':');
    size_t second = colon == std::string::npos ? colon : err.find(':', colon + 1);
    if (second == std::string::npos || err.compare(second, 2, ": ") != 0 || err.size() <= second + 2)
        fuzz::fail("a scene error without its place and cause");
    char *end = nullptr;
    unsigned long line = std::strtoul(err.c_str(), &end, 10);
    unsigned long column = std::strtoul(err.c_str() + colon + 1, nullptr, 10);
    if (end != err.c_str() + colon || line == 0 || column == 0) fuzz::fail("a scene error's place is not LINE:COLUMN");
    // Find the line and its length.
    size_t start = 0;
    for (unsigned long l = 1; l < line; ++l) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) fuzz::fail("a scene error on a line the text does not have");
        start = nl + 1;
    }
    size_t nl = text.find('\n', start);
    size_t length = (nl == std::string::npos ? text.size() : nl) - start;
    if (column > length + 1) fuzz::fail("a scene error beyond the end of its line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    pitwall::scene s;
    pitwall::error err;
    if (pitwall::parse_scene(text, "/scenes", s, &err)) {
        if (nlohmann::json::parse(text, nullptr, false).is_discarded())
            fuzz::fail("a scene accepted that is not JSON");
    } else {
        check_error_place(text, err);
    }
    return 0;
}
