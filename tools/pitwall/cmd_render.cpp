// pitwall render SCENE -o OUT.png: the scene drawn once on the raster context and written as PNG.
//
// Exit code 0 when every widget drew, 1 when a widget's draw failed (its log lines are on
// stderr, the picture is still written), 2 for a usage or scene error or an unwritable file.
#include "commands.h"

#include "pitwall/raster_context.h"

#include <cstdint>
#include <cstdio>

namespace pitwall::cli {
namespace {

constexpr const char *k_render_usage = "usage: pitwall render SCENE -o OUT.png [--scale N] [--plugins DIR] [--app DIR]";

} // namespace

int cmd_render(int argc, char **argv) {
    options opts;
    std::string err;
    if (!parse_options(argc, argv, opts, &err) || opts.positional.size() != 1 || opts.output.empty()) {
        if (err.empty()) err = opts.positional.size() != 1 ? "one scene file expected" : "-o OUT.png is required";
        std::fprintf(stderr, "pitwall render: %s\n%s\n", err.c_str(), k_render_usage);
        return exit_usage;
    }
    if (opts.scale > raster_context::max_scale) {
        std::fprintf(stderr, "pitwall render: --scale takes 1 to %d\n%s\n", raster_context::max_scale, k_render_usage);
        return exit_usage;
    }
    scene s;
    if (!load_scene_for(opts, opts.positional[0], s)) return exit_usage;
    if (s.width > raster_context::max_side || s.height > raster_context::max_side ||
        int64_t(s.width) * opts.scale > raster_context::max_side ||
        int64_t(s.height) * opts.scale > raster_context::max_side) {
        std::fprintf(stderr, "pitwall render: a %dx%d canvas at scale %d is larger than %d pixels a side\n", s.width,
                     s.height, opts.scale, raster_context::max_side);
        return exit_usage;
    }
    std::unique_ptr<engine> eng = make_engine(opts, s.base_dir);
    if (!eng) return exit_usage;
    // The widgets' own log lines, as they happen: "<level> <text>".
    eng->set_log_echo(stderr);

    int failed = 0;
    bool written = false;
    {
        raster_context canvas(*eng, s.width, s.height, s.background);
        scene_run run;
        if (error e = run.build(*eng, s); !e.empty()) {
            std::fprintf(stderr, "pitwall render: %s\n", e.c_str());
            return exit_usage;
        }
        failed = run.draw(canvas.context());
        report_failures("render", run);
        written = canvas.write_png(opts.output, opts.scale, &err);
        // Instances and plug-ins go while the canvas is still the engine's render context, so
        // that destroy and fini release their images through it.
        run.clear();
        eng->unload_all();
    }
    if (!written) {
        std::fprintf(stderr, "pitwall render: %s\n", err.c_str());
        return exit_usage;
    }
    std::printf("%s\n", opts.output.c_str());
    return failed == 0 ? exit_ok : exit_widget_failed;
}

} // namespace pitwall::cli
