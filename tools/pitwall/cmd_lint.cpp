// pitwall lint SCENE: what the scene says against its own drawing, each finding at its place in
// the file: values outside their range or palette, missing fonts and images, controls no plug-in
// draws, controls whose draw fails (with the reasons), and controls drawn over each other.
//
// Exit code 0 when there are warnings at most, 1 when there is an error, 2 for a scene that cannot
// be read.
#include "commands.h"
#include "lint.h"
#include "plugin_descriptions.h"

#include "pitwall/default_dirs.h"
#include "pitwall/raster_context.h"

#include <cstdio>
#include <set>

namespace pitwall::cli {

int cmd_lint(const options &opts) {
    scene s;
    error err;
    // Values an attribute cannot take are findings like the others: the rest is still checked.
    std::vector<error> refused;
    // Described plug-ins first: the scene may write their named values.
    read_plugin_descriptions(opts);
    if (!load_scene(opts.scene, s, &err, &refused)) {
        std::fprintf(stderr, "pitwall: %s\n", err.c_str());
        return exit_usage;
    }
    if (!opts.app.empty()) s.base_dir = opts.app;
    else if (s.base_dir.empty()) s.base_dir = default_app_dir();
    std::unique_ptr<engine> eng = make_engine(opts, s.base_dir);
    if (!eng) return exit_usage;
    // The widgets' own lines would repeat what the findings say, without a place.
    eng->set_log_printer([](FILE *, int, const std::string &) {});

    std::vector<finding> found;
    for (const error &e : refused) {
        // "PATH:LINE:COLUMN: cause", the path being the scene's own.
        const size_t line_end = e.find(':', opts.scene.size() + 1);
        const size_t column_end = line_end == std::string::npos ? line_end : e.find(':', line_end + 1);
        if (column_end == std::string::npos) found.push_back({opts.scene, true, e});
        else found.push_back({e.substr(0, column_end), true, e.substr(column_end + 2)});
    }
    // A plug-in whose description file is broken goes undescribed: the file is the author's to fix.
    for (const description_error &d : description_errors())
        found.push_back({d.where, true, d.cause + " (\"" + d.widget + "\" stays undescribed)"});
    for (finding &f : check_values(s, opts.scene)) found.push_back(std::move(f));
    const bool drawable = check_widgets("lint", *eng, s, opts.scene);
    size_t errors = drawable ? 0 : 1;
    if (drawable) {
        // Every frame drawn as render draws it, so that what fails, fails here.
        raster_context canvas(*eng, s.width, s.height, s.background);
        canvas.note_cut_texts(true);
        auto place_of = [&](const std::string &control) {
            std::string where = opts.scene;
            for (const scene_control &c : s.controls)
                if (c.name == control) where += ":" + c.where;
            return where;
        };
        // Text a widget's clip cuts: drawn, but not all of it shows.
        auto cut_texts = [&](const draw_result &drawn) {
            for (const raster_context::cut_text &cut : canvas.take_cut_texts())
                found.push_back({place_of(drawn.control), false, describe_cut(drawn.control, cut)});
        };
        scene_run run;
        if (error e = run.build(*eng, s); !e.empty()) {
            std::fprintf(stderr, "pitwall lint: %s\n", e.c_str());
            return exit_usage;
        }
        for (size_t frame = 0; frame <= s.steps.size(); ++frame) {
            if (frame > 0) {
                if (error e = run.apply(s.steps[frame - 1]); !e.empty()) {
                    std::fprintf(stderr, "pitwall lint: step %zu: %s\n", frame, e.c_str());
                    return exit_usage;
                }
                canvas.clear(s.background);
            }
            run.draw(canvas.context(), cut_texts);
            for (const draw_result &f : run.failures()) {
                const std::string where = place_of(f.control);
                const std::string when = frame == 0 ? "" : " in step " + std::to_string(frame);
                found.push_back({where, true, "control \"" + f.control + "\" (" + f.widget + ") will not draw" + when +
                                                  ": its draw returns " + std::to_string(f.result)});
                for (finding &why : draw_failure_reasons(s, opts.scene, f.control, frame, image_source::files))
                    found.push_back(std::move(why));
            }
        }
        run.clear();
        eng->unload_all();
    }
    for (finding &f : check_overlaps(s, opts.scene)) found.push_back(std::move(f));

    std::set<std::string> said;
    size_t warnings = 0;
    for (const finding &f : found) {
        const std::string line = format_finding(f);
        if (!said.insert(line).second) continue;
        std::printf("%s\n", line.c_str());
        (f.error ? errors : warnings) += 1;
    }
    std::printf("%s: %zu error%s, %zu warning%s\n", opts.scene.c_str(), errors, errors == 1 ? "" : "s", warnings,
                warnings == 1 ? "" : "s");
    return errors == 0 ? exit_ok : exit_widget_failed;
}

} // namespace pitwall::cli
