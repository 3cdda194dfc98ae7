// plugin_harness.h - one real plug-in library loaded into the engine, drawn with the recording
// context. Tests create instances, set attributes by name, draw on controls and read the trace.
#ifndef PITWALL_TESTS_PLUGIN_HARNESS_H
#define PITWALL_TESTS_PLUGIN_HARNESS_H

#include "pitwall/engine.h"
#include "pitwall/recording_context.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace pitwall::testing {

// The application directory every harness uses; trace lines show image paths relative to it.
inline constexpr const char *k_app_dir = "/app";

class plugin_harness {
public:
    // Loads PITWALL_PLUGIN_DIR/<deliverable>.so; a failure is a test failure (plugin() is null).
    explicit plugin_harness(const std::string &deliverable, const std::string &base_dir = k_app_dir);

    engine eng;
    recording_context rec{eng};
    gr_canvas_t canvas{{800, 480}};

    plugin *plug() const { return plugin_; }
    std::unique_ptr<instance> make();

    // Set attributes by name; a marshalling error is a test failure.
    void set(instance &inst, const std::string &name, const attr_value &value);

    gr_control_t control(int16_t x, int16_t y, int16_t width, int16_t height) {
        return make_control(x, y, width, height, &canvas);
    }

    // Clear the trace, draw, and return the draw's result; the trace holds exactly this draw.
    int draw(instance &inst, const gr_control_t &ctl);

    const std::vector<std::string> &trace() const { return rec.trace(); }
    // Trace lines that start with a prefix (for example "fill_rect" or "log ").
    std::vector<std::string> lines(const std::string &prefix) const;
    bool has(const std::string &line) const;
    // Index of the first line equal to `line` at or after `from`, or -1.
    int find(const std::string &line, int from = 0) const;

private:
    plugin *plugin_ = nullptr;
};

// The exported dynamic symbols of a shared library (defined ones only), via nm -D.
std::vector<std::string> exported_symbols(const std::string &library_path);

std::string plugin_path(const std::string &deliverable);

} // namespace pitwall::testing

#endif // PITWALL_TESTS_PLUGIN_HARNESS_H
