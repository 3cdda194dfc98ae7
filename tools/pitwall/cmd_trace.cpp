// pitwall trace SCENE: the scene's frames drawn with the recording context, the trace on stdout.
#include "commands.h"

#include "pitwall/scene_trace.h"

#include <cstdio>

namespace pitwall::cli {

int cmd_trace(const options &opts) {
    scene s;
    if (!load_scene_for(opts, opts.scene, s)) return exit_usage;
    std::unique_ptr<engine> eng = make_engine(opts, s.base_dir);
    if (!eng) return exit_usage;
    if (!check_widgets("trace", *eng, s, opts.scene)) return exit_usage;

    scene_trace_options how;
    how.results = opts.results;
    how.on_failures = [&](size_t frame, const std::vector<draw_result> &failed) {
        report_failures("trace", failed, frame, s, opts.scene, true);
    };
    scene_trace out;
    const error e = trace_scene(*eng, s, how, out);
    // A step that names a missing control stops the run; the frames before it are still shown.
    std::fputs(out.text.c_str(), stdout);
    if (!e.empty()) {
        std::fprintf(stderr, "pitwall trace: %s\n", e.c_str());
        return exit_usage;
    }
    return out.failed_draws == 0 ? exit_ok : exit_widget_failed;
}

} // namespace pitwall::cli
