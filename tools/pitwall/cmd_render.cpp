// pitwall render SCENE -o OUT.png: the scene drawn on the raster context and written as PNG: its
// last frame, or every frame with a pattern such as frame-%03d.png.
//
// Exit code 0 when every widget drew, 1 when a widget's draw failed (its errors are on stderr,
// the picture is still written), 2 for a usage or scene error or an unwritable file.
#include "commands.h"

#include "pitwall/raster_context.h"

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

namespace pitwall::cli {

int cmd_render(const options &opts) {
    scene s;
    if (!load_scene_for(opts, opts.scene, s)) return exit_usage;
    if (s.width > raster_context::max_side || s.height > raster_context::max_side ||
        int64_t(s.width) * opts.scale > raster_context::max_side ||
        int64_t(s.height) * opts.scale > raster_context::max_side) {
        std::fprintf(stderr, "pitwall render: a %dx%d canvas at scale %d is larger than %d pixels a side\n", s.width,
                     s.height, opts.scale, raster_context::max_side);
        return exit_usage;
    }
    std::unique_ptr<engine> eng = make_engine(opts, s.base_dir);
    if (!eng) return exit_usage;
    if (!check_widgets("render", *eng, s, opts.scene)) return exit_usage;
    // The widgets' own log lines, as they happen, as --quiet and --verbose let through.
    eng->set_log_echo(stderr);

    std::string err;
    int failed = 0;
    bool written = true;
    {
        raster_context canvas(*eng, s.width, s.height, s.background);
        canvas.note_cut_texts(true);
        // A text its widget's clip cuts is said once per control and text.
        std::set<std::string> said;
        auto cut_texts = [&](const draw_result &drawn) {
            for (const raster_context::cut_text &cut : canvas.take_cut_texts()) {
                const std::string line = describe_cut(drawn.control, cut);
                if (said.insert(line).second) std::fprintf(stderr, "pitwall render: warning: %s\n", line.c_str());
            }
        };
        scene_run run;
        if (error e = run.build(*eng, s); !e.empty()) {
            std::fprintf(stderr, "pitwall render: %s\n", e.c_str());
            return exit_usage;
        }
        // Every frame is drawn whole on a cleared canvas; a pattern writes each, a plain name the last.
        for (size_t frame = 0; frame <= s.steps.size() && written; ++frame) {
            if (frame > 0) {
                if (error e = run.apply(s.steps[frame - 1]); !e.empty()) {
                    std::fprintf(stderr, "pitwall render: step %zu: %s\n", frame, e.c_str());
                    return exit_usage;
                }
                canvas.clear(s.background);
            }
            failed += run.draw(canvas.context(), cut_texts);
            report_failures("render", run.failures(), frame, s, opts.scene, false);
            if (opts.output.is_pattern() || frame == s.steps.size()) {
                const std::string path = opts.output.file(int(frame));
                written = canvas.write_png(path, opts.scale, &err);
                if (written) std::printf("%s\n", path.c_str());
            }
        }
        // Instances and plug-ins go while the canvas is still the engine's render context, so
        // that destroy and fini release their images through it.
        run.clear();
        eng->unload_all();
    }
    if (!written) {
        std::fprintf(stderr, "pitwall render: %s\n", err.c_str());
        return exit_usage;
    }
    return failed == 0 ? exit_ok : exit_widget_failed;
}

} // namespace pitwall::cli
