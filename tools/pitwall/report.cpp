// What the tool says about a frame's failed draws.
#include "commands.h"

#include <cstdio>

namespace pitwall::cli {

void report_failures(const char *command, const scene_run &run) {
    for (const draw_failure &f : run.failures())
        std::fprintf(stderr, "pitwall %s: control \"%s\" (%s) failed to draw: result %d\n", command, f.control.c_str(),
                     f.widget.c_str(), f.result);
}

} // namespace pitwall::cli
