// pitwall: the preview tool. Loads the plug-ins into the stand-in engine and shows what they draw.
#include "commands.h"

#include <cstdio>
#include <cstring>

namespace {

struct command {
    const char *name;
    int (*run)(int argc, char **argv);
    const char *usage;
};

const command k_commands[] = {
    {"attrs", pitwall::cli::cmd_attrs, "attrs [WIDGET] [--plugins DIR]      attribute tables of the plug-ins"},
    {"trace", pitwall::cli::cmd_trace, "trace SCENE [--plugins DIR] [--app DIR]   draw once, print the op trace"},
    {"render", pitwall::cli::cmd_render,
     "render SCENE -o OUT.png [--scale N] [--plugins DIR] [--app DIR]   draw to a PNG"},
};

void usage(FILE *out) {
    std::fprintf(out, "usage: pitwall COMMAND [ARGS]\n");
    for (const command &c : k_commands) std::fprintf(out, "  pitwall %s\n", c.usage);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? pitwall::cli::exit_usage : pitwall::cli::exit_ok;
    }
    for (const command &c : k_commands)
        if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 2, argv + 2);
    std::fprintf(stderr, "pitwall: unknown command \"%s\"\n", argv[1]);
    usage(stderr);
    return pitwall::cli::exit_usage;
}
