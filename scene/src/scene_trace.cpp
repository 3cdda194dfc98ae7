// A scene's frames on the recording context, with frame marks, results and the teardown.
#include "pitwall/scene_trace.h"

#include <algorithm>

namespace pitwall {
namespace {

std::string quoted(const std::string &text) { return "\"" + text + "\""; }

std::string step_mark(size_t number, const std::string &label) {
    return "step " + std::to_string(number) + (label.empty() ? "" : " " + quoted(label));
}

std::string result_line(const draw_result &r) {
    return "drawn " + quoted(r.control) + " -> " + std::to_string(r.result) + " dirty " +
           std::to_string(r.dirty_before) + " -> " + std::to_string(r.dirty_after);
}

} // namespace

error trace_scene(engine &eng, const scene &s, const scene_trace_options &options, scene_trace &out) {
    const bool detailed = options.results || !s.steps.empty();
    recording_context recorder(eng);
    scene_run run;
    auto finish = [&](error e) {
        run.clear();
        out.text = recorder.trace_text();
        return e;
    };
    if (error e = run.build(eng, s, &recorder); !e.empty()) return finish(e);
    scene_run::draw_observer on_draw;
    if (detailed) {
        on_draw = [&](const draw_result &r) { recorder.record(result_line(r)); };
        run.set_action_observer([&](const std::string &action) { recorder.record(action); });
    }
    auto frame = [&](size_t number) {
        out.failed_draws += run.draw(recorder.context(), on_draw);
        if (!run.failures().empty() && options.on_failures) options.on_failures(number, run.failures());
    };
    if (detailed) recorder.record(step_mark(0, ""));
    frame(0);
    for (size_t i = 0; i < s.steps.size(); ++i) {
        recorder.record(step_mark(i + 1, s.steps[i].label));
        if (error e = run.apply(s.steps[i]); !e.empty()) return finish("step " + std::to_string(i + 1) + ": " + e);
        frame(i + 1);
    }
    if (!detailed) return finish({});
    // The teardown, while the recorder is still the engine's render context: destroy and fini
    // release what they hold through it.
    recorder.record("teardown");
    run.clear();
    const std::vector<const plugin *> &used = run.used_plugins();
    eng.unload_all([&](const plugin &p) {
        if (std::find(used.begin(), used.end(), &p) != used.end()) recorder.record("unload " + quoted(p.display_name()));
    });
    out.text = recorder.trace_text();
    return {};
}

} // namespace pitwall
