// pitwall render SCENE -o OUT.png: placeholder until the raster context lands.
#include "commands.h"

#include <cstdio>

namespace pitwall::cli {

int cmd_render(int, char **) {
    std::fprintf(stderr, "pitwall render: not available in this build\n");
    return exit_usage;
}

} // namespace pitwall::cli
