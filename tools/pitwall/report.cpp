// What the tool says about a frame's failed draws.
#include "commands.h"

#include <cstdio>

namespace pitwall::cli {

void report_failures(const char *command, const std::vector<draw_result> &failed, size_t frame) {
    // The first frame is the only one of most scenes: its lines name no step.
    const std::string when = frame == 0 ? "" : " in step " + std::to_string(frame);
    for (const draw_result &f : failed)
        std::fprintf(stderr, "pitwall %s: control \"%s\" (%s) failed to draw%s: result %d\n", command,
                     f.control.c_str(), f.widget.c_str(), when.c_str(), f.result);
}

} // namespace pitwall::cli
