// fuzz_telemetry - a scene's telemetry log with arbitrary bytes: the CSV reader's line ends,
// quoting, limits and numbers, reached through the scene loader as a scene file names a log.
//
// Checked for every input:
//   - a refused log's error names the log ("<log>:LINE: cause" or "<log>: cause"), cause not empty;
//   - an accepted log gives a track to each channel with a sample (an empty field is none), the
//     two tracks of one column alike, every track at finite times that never go back;
//   - nothing leaks, overflows or reads uninitialised memory (the sanitizers see that).
#include "fuzz_input.h"

#include "pitwall/scene.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Two channels on three tracks: "b" feeds two, so a column shared between channels is read too.
const char *const scene_text = R"({"controls": [{"widget": "Basic Box", "name": "x"}, {"widget": "Label", "name": "y"}], "telemetry": {"file": "lap.csv", "time": "t", "channels": {
  "a": {"control": "x", "attribute": "value"},
  "b": [{"control": "x", "attribute": "width"}, {"control": "y", "attribute": "value", "interpolation": "step"}]
}}})";

struct workspace {
    std::string folder, scene, log;
    workspace() {
        char pattern[] = "/tmp/fuzz-telemetry-XXXXXX";
        if (mkdtemp(pattern) == nullptr) fuzz::fail("no scratch folder");
        folder = pattern;
        scene = folder + "/scene.json";
        log = folder + "/lap.csv";
        write(scene, scene_text);
    }
    ~workspace() {
        std::remove(scene.c_str());
        std::remove(log.c_str());
        rmdir(folder.c_str());
    }
    static void write(const std::string &path, const std::string &bytes) {
        FILE *f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0)
            fuzz::fail("cannot write the scratch files");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static workspace files;
    workspace::write(files.log, std::string(reinterpret_cast<const char *>(data), size));
    pitwall::scene s;
    pitwall::error err;
    if (!pitwall::load_scene(files.scene, s, &err)) {
        const size_t at = err.find(files.log);
        if (at == std::string::npos) fuzz::fail("a telemetry error that does not name the log");
        const size_t cause = err.find(": ", at + files.log.size());
        if (cause == std::string::npos || cause + 2 >= err.size()) fuzz::fail("a telemetry error without its cause");
        return 0;
    }
    // "a" feeds x.value; "b" feeds x.width and y.value, which come or stay away together.
    size_t of_a = 0;
    std::vector<const pitwall::track *> of_b;
    for (const pitwall::track &t : s.tracks) {
        if (t.keys.empty()) fuzz::fail("a track without keys");
        if (t.control == "x" && t.attribute == "value") ++of_a;
        else of_b.push_back(&t);
    }
    if (of_a > 1 || (of_b.size() != 0 && of_b.size() != 2)) fuzz::fail("not one track a channel with samples");
    if (of_b.size() == 2 && of_b[0]->keys.size() != of_b[1]->keys.size()) fuzz::fail("one column's tracks apart");
    for (const pitwall::track &t : s.tracks) {
        for (size_t k = 0; k < t.keys.size(); ++k) {
            if (!std::isfinite(t.keys[k].time)) fuzz::fail("a key at a time that is not finite");
            if (k > 0 && t.keys[k].time < t.keys[k - 1].time) fuzz::fail("time going back");
        }
    }
    return 0;
}
