// Scenes over several frames, traced: steps, clones, destroys, staged faults and the teardown.
#include "pitwall/scene_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using strings = std::vector<std::string>;

struct traced {
    pitwall::error err;
    strings lines;
    int failed = 0;
    std::vector<size_t> failed_frames;
};

// Parse a scene, load every plug-in on an application at /app, and trace the scene.
traced run(const std::string &json, bool results = false) {
    traced t;
    pitwall::scene s;
    if (!pitwall::parse_scene(json, "/scenes", s, &t.err)) return t;
    pitwall::engine eng("/app");
    std::vector<pitwall::error> load_errors;
    eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &load_errors);
    pitwall::scene_trace out;
    pitwall::scene_trace_options options;
    options.results = results;
    options.on_failures = [&](size_t frame, const std::vector<pitwall::draw_result> &) { t.failed_frames.push_back(frame); };
    t.err = pitwall::trace_scene(eng, s, options, out);
    std::istringstream in(out.text);
    for (std::string line; std::getline(in, line);) t.lines.push_back(line);
    t.failed = out.failed_draws;
    return t;
}

bool contains(const strings &lines, const std::string &line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A splash image that loads once and is reused, a second one whose image appears only in step 1
// (retried and logged again), a clone that loads its own, a destroy, an invisible control, and the
// teardown with the releases of each destroy.
TEST(scene_steps, lifecycle_of_images_over_frames) {
    const traced t = run(R"({
      "canvas": {"width": 200, "height": 100},
      "images": {"logo.png": {"width": 40, "height": 30}},
      "controls": [
        {"widget": "SplashImage", "name": "logo", "x": 0, "y": 0, "width": 40, "height": 30,
         "attributes": {"logo_path": "logo.png"}},
        {"widget": "SplashImage", "name": "late", "x": 50, "y": 0, "width": 40, "height": 30,
         "attributes": {"logo_path": "late.png"}}],
      "steps": [
        {"label": "the late image arrives", "stage": {"images": {"late.png": {"width": 40, "height": 30}}}},
        {"clone": {"copy": "logo"}, "controls": {"copy": {"x": 100}}},
        {"destroy": ["logo"], "controls": {"late": {"visible": false}}}]})");
    ASSERT_EQ(t.err, "");
    const strings logo_draw = {"get_clip -> none", "set_clip 0 0 40 30", "draw_image logo.png 0 0 40x30 pivot -1 -1",
                               "clear_clip", "drawn \"logo\" -> 0 dirty 0 -> 0"};
    const strings late_draw = {"get_clip -> none", "set_clip 50 0 90 30", "draw_image late.png 50 0 40x30 pivot -1 -1",
                               "clear_clip", "drawn \"late\" -> 0 dirty 0 -> 0"};
    strings expected = {
        "step 0",
        "get_clip -> none",
        "set_clip 0 0 40 30",
        "log 2 SplashImage: Loading image /app/logo.png",
        "load_image logo.png flags=0x7888820 size=native -> ok",
        "draw_image logo.png 0 0 40x30 pivot -1 -1",
        "clear_clip",
        "drawn \"logo\" -> 0 dirty 1 -> 0",
        "get_clip -> none",
        "set_clip 50 0 90 30",
        "log 2 SplashImage: Loading image /app/late.png",
        "load_image late.png flags=0x7888820 size=native -> null",
        "log 0 SplashImage: Failed loading image /app/late.png",
        "clear_clip",
        "drawn \"late\" -> -1 dirty 1 -> 0",
        "step 1 \"the late image arrives\""};
    expected.insert(expected.end(), logo_draw.begin(), logo_draw.end());
    expected.insert(expected.end(), {"get_clip -> none", "set_clip 50 0 90 30",
                                     "log 2 SplashImage: Loading image /app/late.png",
                                     "load_image late.png flags=0x7888820 size=native -> ok",
                                     "draw_image late.png 50 0 40x30 pivot -1 -1", "clear_clip",
                                     "drawn \"late\" -> 0 dirty 0 -> 0", "step 2", "clone \"logo\" as \"copy\""});
    expected.insert(expected.end(), logo_draw.begin(), logo_draw.end());
    expected.insert(expected.end(), late_draw.begin(), late_draw.end());
    expected.insert(expected.end(), {"get_clip -> none", "set_clip 100 0 140 30",
                                     "log 2 SplashImage: Loading image /app/logo.png",
                                     "load_image logo.png flags=0x7888820 size=native -> ok",
                                     "draw_image logo.png 100 0 40x30 pivot -1 -1", "clear_clip",
                                     "drawn \"copy\" -> 0 dirty 0 -> 0",
                                     // The destroy releases the source's image; the invisible control
                                     // draws nothing and keeps its dirty.
                                     "step 3", "destroy \"logo\"", "release_image logo.png",
                                     "drawn \"late\" -> 0 dirty 0 -> 0", "get_clip -> none",
                                     "set_clip 100 0 140 30", "draw_image logo.png 100 0 40x30 pivot -1 -1",
                                     "clear_clip", "drawn \"copy\" -> 0 dirty 0 -> 0", "teardown",
                                     "destroy \"late\"", "release_image late.png", "destroy \"copy\"",
                                     "release_image logo.png", "unload \"SplashImage\""});
    EXPECT_EQ(t.lines, expected);
    EXPECT_EQ(t.failed, 1);
    EXPECT_EQ(t.failed_frames, std::vector<size_t>{0});
}

// The example's hysteresis: upper limit 100 with a band of 5 over the values 99, 100, 97, 95, 94.9.
TEST(scene_steps, hysteresis_example_keeps_the_upper_state_inside_the_band) {
    std::ifstream in(std::string(PITWALL_SOURCE_DIR) + "/examples/hysteresis.json");
    std::stringstream text;
    text << in.rdbuf();
    const traced t = run(text.str());
    ASSERT_EQ(t.err, "");
    strings backgrounds, results;
    for (const std::string &l : t.lines) {
        if (l.rfind("fill_rect", 0) == 0) backgrounds.push_back(l.substr(l.rfind(' ') + 1));
        if (l.rfind("drawn", 0) == 0) results.push_back(l);
    }
    const std::string normal = "#1c232b", upper = "#b3121f";
    EXPECT_EQ(backgrounds, (strings{normal, upper, upper, upper, normal}));
    // Every set counts: seventeen attributes in the first frame, two per step.
    EXPECT_EQ(results, (strings{"drawn \"water\" -> 0 dirty 17 -> 0", "drawn \"water\" -> 0 dirty 2 -> 0",
                                "drawn \"water\" -> 0 dirty 2 -> 0", "drawn \"water\" -> 0 dirty 2 -> 0",
                                "drawn \"water\" -> 0 dirty 2 -> 0"}));
}

// Each staged fault, from the scene, shows in the trace where the widget meets it.
TEST(scene_steps, every_staged_fault_reaches_the_widget) {
    const std::string font = "fonts/CPMono_v07 Plain.otf";
    const std::string box = R"({"widget": "Basic Box", "name": "box", "width": 120, "height": 80,
        "attributes": {"font_size": 30, "render_text": "99", "value": 1}})";
    const struct {
        const char *name;
        std::string stage;
        std::string expected; // a line of the trace
    } cases[] = {
        {"advance and line height", R"({"text_advance": 5, "line_heights": {"30": 34}})",
         "text_extent \"99\" size=30 -> 10x34"},
        {"fixed extent", R"({"text_extents": {"99": [52, 31]}})", "text_extent \"99\" size=30 -> 52x31"},
        {"failing measure", R"({"fail_text_extent": true})", "text_extent \"99\" size=30 -> fail"},
        {"failing lookup", R"({"font_faults": {")" + font + R"(": "lookup"}})",
         "res_lookup font \"" + font + "\" size=30 -> null"},
        {"failing font", R"({"font_faults": {")" + font + R"(": "font"}})", "res_font \"" + font + "\" -> null"},
    };
    for (const auto &c : cases) {
        const traced t = run(R"({"fonts": {")" + font + R"(": "/fonts/mono.ttf"}, "stage": )" + c.stage +
                             R"(, "controls": [)" + box + "]}");
        ASSERT_EQ(t.err, "") << c.name;
        EXPECT_TRUE(contains(t.lines, c.expected)) << c.name << "\n" << ::testing::PrintToString(t.lines);
    }
}


// Index of the first line starting with prefix at or after from, or -1.
int find(const strings &lines, const std::string &prefix, int from = 0) {
    for (size_t i = size_t(from); i < lines.size(); ++i)
        if (lines[i].rfind(prefix, 0) == 0) return int(i);
    return -1;
}

// A gauge under a staged clip whose paths the host refuses, and an inhibited box whose image's size
// query fails; step 1 lifts the clip, the refusal and the inhibit. The teardown shows the releases
// of each destroy and the box plug-in's own image released at its unload.
TEST(scene_steps, staged_clip_inhibit_path_and_size_faults_and_their_lifting) {
    const traced t = run(R"({"canvas": {"width": 400, "height": 300},
     "images": {"images/ClassicGauge/white_bg_small.png": {"width": 240, "height": 240},
                "images/ClassicGauge/needle_small.png": {"width": 32, "height": 115},
                "images/ClassicBox/white1_box.9.png": {"width": 30, "height": 30, "stretch": [10, 10, 10, 10],
                                                       "size_query_fails": true}},
     "stage": {"fail_create_path": true},
     "controls": [
       {"widget": "Classic Gauge Small", "name": "gauge", "width": 240, "height": 240, "clip": [10, 10, 50, 50],
        "attributes": {"lower_gauge": 1, "color_gauge": 1, "upper_gauge": 1, "angle_start": 45, "angle_span": 270,
                       "value_min": 0, "value_max": 100, "value": 50}},
       {"widget": "Classic Box", "name": "box", "x": 250, "width": 120, "height": 80, "inhibit": 0.5,
        "attributes": {"color_box": 1}}],
     "steps": [{"stage": {"fail_create_path": false}, "controls": {"box": {"inhibit": 0}, "gauge": {"clip": null}}}]})");
    ASSERT_EQ(t.err, "");
    const int step1 = find(t.lines, "step 1"), teardown = find(t.lines, "teardown");
    ASSERT_GT(step1, 0);
    ASSERT_GT(teardown, step1);
    // Frame 0: the clip is in force when the gauge asks, its band's path is refused; the inhibited
    // box draws nothing and keeps its dirty.
    EXPECT_EQ(t.lines[1], "get_clip -> 10 10 50 50");
    const int refused = find(t.lines, "create_path 2 ");
    ASSERT_GT(refused, 0);
    EXPECT_TRUE(t.lines[size_t(refused)].ends_with("-> null"));
    EXPECT_EQ(t.lines[size_t(refused) + 1], "log 0 Failed to allocate memory for ellipse path");
    EXPECT_EQ(t.lines[size_t(step1) - 2], "drawn \"gauge\" -> 0 dirty 8 -> 0");
    EXPECT_EQ(t.lines[size_t(step1) - 1], "drawn \"box\" -> 0 dirty 1 -> 1");
    // Frame 1: no clip, a path, and the box fails on its size query with its dirty kept.
    EXPECT_EQ(t.lines[size_t(step1) + 1], "get_clip -> none");
    EXPECT_TRUE(t.lines[size_t(find(t.lines, "create_path 2 ", step1))].ends_with("-> path1"));
    EXPECT_EQ(strings(t.lines.begin() + teardown - 3, t.lines.begin() + teardown),
              (strings{"load_image images/ClassicBox/white1_box.9.png flags=0x7888820 size=native -> ok",
                       "image_info images/ClassicBox/white1_box.9.png 0 -> fail", "drawn \"box\" -> -1 dirty 1 -> 1"}));
    EXPECT_EQ(strings(t.lines.begin() + teardown, t.lines.end()),
              (strings{"teardown", "destroy \"gauge\"", "release_image images/ClassicGauge/white_bg_small.png",
                       "release_image images/ClassicGauge/needle_small.png", "destroy \"box\"",
                       "unload \"Classic Box\"", "release_image images/ClassicBox/white1_box.9.png",
                       "unload \"Classic Gauge Small\""}));
    EXPECT_EQ(t.failed_frames, std::vector<size_t>{1});
}

// Names a step cannot resolve stop the run with the step's number; the trace so far is kept.
TEST(scene_steps, steps_naming_missing_or_ambiguous_controls_are_errors) {
    const std::string controls =
        R"("controls": [{"widget": "SplashImage"}, {"widget": "SplashImage"}, {"widget": "SplashImage", "name": "b"}])";
    const struct {
        const char *steps, *error;
    } cases[] = {
        {R"([{}, {"destroy": ["SplashImage"]}])", "step 2: more than one control is named \"SplashImage\""},
        {R"([{"destroy": ["b"]}, {"destroy": ["b"]}])", "step 2: no control named \"b\""},
        {R"([{"clone": {"c": "SplashImage"}}])", "step 1: more than one control is named \"SplashImage\""},
        {R"([{"clone": {"SplashImage": "b"}}])", "step 1: clone \"SplashImage\": a control of that name exists"},
    };
    for (const auto &c : cases) {
        const traced t = run("{" + controls + R"(, "steps": )" + c.steps + "}");
        EXPECT_EQ(t.err, c.error) << c.steps;
        EXPECT_FALSE(t.lines.empty()) << "the frames before the error stay traced";
    }
    // A name no control ever has, and a value the widget cannot take, are refused with the scene.
    const struct {
        const char *steps, *error;
    } refused[] = {
        {R"([{"controls": {"nope": {"x": 1}}}])", "1:142: step 1: no control named \"nope\""},
        {R"([{"controls": {"b": {"attributes": {"logo_path": 5}}}}])",
         "1:168: step 1: control \"b\": \"SplashImage\": attribute \"logo_path\" (1s0) takes a string"},
    };
    for (const auto &c : refused) {
        const traced t = run("{" + controls + R"(, "steps": )" + c.steps + "}");
        EXPECT_EQ(t.err, c.error) << c.steps;
        EXPECT_TRUE(t.lines.empty()) << c.steps;
    }
}

// Without steps, results and marks come only when asked for; the plain trace has neither.
TEST(scene_steps, results_on_a_single_frame_only_when_asked) {
    const std::string scene = R"({"images": {"a.png": {"width": 4, "height": 4}}, "canvas": {"width": 10, "height": 10},
        "controls": [{"widget": "SplashImage", "name": "a", "attributes": {"logo_path": "a.png"}}]})";
    const strings plain = {"get_clip -> none", "set_clip 0 0 9 9", "log 2 SplashImage: Loading image /app/a.png",
                           "load_image a.png flags=0x7888820 size=native -> ok",
                           "draw_image a.png 0 0 10x10 pivot -1 -1", "clear_clip", "release_image a.png"};
    EXPECT_EQ(run(scene).lines, plain);
    strings detailed = plain;
    detailed.insert(detailed.begin(), "step 0");
    detailed.insert(detailed.end() - 1, {"drawn \"a\" -> 0 dirty 1 -> 0", "teardown", "destroy \"a\""});
    detailed.push_back("unload \"SplashImage\"");
    EXPECT_EQ(run(scene, true).lines, detailed);
}

} // namespace
