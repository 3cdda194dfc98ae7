// What the tool says about a frame's failed draws, and about controls no plug-in draws.
#include "commands.h"
#include "lint.h"

#include "pitwall/attribute_catalog.h"

#include <cstdio>

namespace pitwall::cli {

void report_failures(const char *command, const std::vector<draw_result> &failed, size_t frame) {
    // The first frame is the only one of most scenes: its lines name no step.
    const std::string when = frame == 0 ? "" : " in step " + std::to_string(frame);
    for (const draw_result &f : failed)
        std::fprintf(stderr, "pitwall %s: control \"%s\" (%s) failed to draw%s: result %d\n", command,
                     f.control.c_str(), f.widget.c_str(), when.c_str(), f.result);
}

void report_failures(const char *command, const std::vector<draw_result> &failed, size_t frame, const scene &s,
                     const std::string &scene_path, bool staged) {
    for (const draw_result &f : failed) {
        report_failures(command, {f}, frame);
        report_reasons(f, frame, s, scene_path, staged);
    }
}

void report_reasons(const draw_result &failed, size_t step, const scene &s, const std::string &scene_path, bool staged) {
    const std::vector<finding> why =
        draw_failure_reasons(s, scene_path, failed.control, step, staged ? image_source::staged : image_source::files);
    for (const finding &reason : why) std::fprintf(stderr, "  %s\n", format_finding(reason).c_str());
}

bool check_widgets(const char *command, const engine &eng, const scene &s, const std::string &scene_path) {
    std::vector<std::string> names;
    for (const auto &p : eng.plugins()) names.push_back(p->display_name());
    bool all = true;
    for (const scene_control &c : s.controls) {
        if (eng.find_plugin(c.widget) != nullptr) continue;
        std::fprintf(stderr, "pitwall %s: %s:%s: control \"%s\": no plug-in registers \"%s\"%s\n", command,
                     scene_path.c_str(), c.where.c_str(), c.name.c_str(), c.widget.c_str(),
                     did_you_mean(c.widget, names).c_str());
        all = false;
    }
    return all;
}

std::string describe_cut(const std::string &control, const raster_context::cut_text &cut) {
    std::string sides;
    auto side = [&](int pixels, const char *name) {
        if (pixels == 0) return;
        if (!sides.empty()) sides += ", ";
        sides += std::to_string(pixels) + " px " + name;
    };
    side(cut.left, "left");
    side(cut.right, "right");
    side(cut.top, "top");
    side(cut.bottom, "bottom");
    // Long texts are shortened; the text is a widget's, so it is shown as JSON would quote it.
    std::string shown = cut.text.size() > 64 ? cut.text.substr(0, 61) + "..." : cut.text;
    std::string quoted;
    for (unsigned char c : shown) {
        if (c == '"' || c == '\\') quoted += '\\';
        if (c < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            quoted += hex;
        } else {
            quoted += char(c);
        }
    }
    return "control \"" + control + "\": text \"" + quoted + "\" cut by its clip (" + sides + ")";
}

} // namespace pitwall::cli
