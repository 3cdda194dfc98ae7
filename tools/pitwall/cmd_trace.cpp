// pitwall trace SCENE: the scene drawn once with the recording context, its trace on stdout.
#include "commands.h"

#include "pitwall/recording_context.h"

#include <cstdio>

namespace pitwall::cli {

int cmd_trace(int argc, char **argv) {
    options opts;
    std::string err;
    if (!parse_options(argc, argv, opts, &err) || opts.positional.size() != 1) {
        std::fprintf(stderr, "pitwall trace: %s\nusage: pitwall trace SCENE [--plugins DIR] [--app DIR]\n",
                     err.empty() ? "one scene file expected" : err.c_str());
        return exit_usage;
    }
    scene s;
    if (!load_scene_for(opts, opts.positional[0], s)) return exit_usage;
    std::unique_ptr<engine> eng = make_engine(opts, s.base_dir);
    if (!eng) return exit_usage;

    int failed = 0;
    {
        recording_context recorder(*eng);
        for (const scene_image &img : s.images) recorder.stage_image(img.path, img.info);
        scene_run run;
        if (error e = run.build(*eng, s); !e.empty()) {
            std::fprintf(stderr, "pitwall trace: %s\n", e.c_str());
            return exit_usage;
        }
        failed = run.draw(recorder.context());
        report_failures("trace", run);
        run.clear();
        std::fputs(recorder.trace_text().c_str(), stdout);
    }
    return failed == 0 ? exit_ok : exit_widget_failed;
}

} // namespace pitwall::cli
