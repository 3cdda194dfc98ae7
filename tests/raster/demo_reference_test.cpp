// The example scenes rendered on the raster context and compared with their reviewed reference
// pictures: examples/<name>.json against tests/raster/reference/<name>.png (the demo dashboard,
// the four gauges at two sizes each, the alarm lamps with every pictogram and the image boxes, the labels,
// the racing dashboard of the README).
//
// To accept a new picture after a deliberate change, run this test with
// PITWALL_UPDATE_REFERENCE=1, look at the written file, and commit it. A missing reference is
// a failure, never silently created.
#include "image_compare.h"

#include "pitwall/raster_context.h"
#include "pitwall/scene_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace pitwall::testing {
namespace {

// Tolerance. With the same Debian packages the picture is bit-identical. A channel may move by
// up to 8 (rounding in blending and filtering across minor Cairo/pixman updates), and up to 64
// pixels may differ by more (a few anti-aliased glyph edges after a FreeType update). Anything
// structural is far above that: a box edge moved by one pixel changes more than 100 pixels.
constexpr int k_channel_tolerance = 8;
constexpr int64_t k_differing_pixels_allowed = 64;

std::string reference_of(const std::string &name) {
    return std::string(PITWALL_SOURCE_DIR) + "/tests/raster/reference/" + name + ".png";
}

argb_image render_example(const std::string &name) {
    scene s;
    error err;
    EXPECT_TRUE(load_scene(std::string(PITWALL_SOURCE_DIR) + "/examples/" + name + ".json", s, &err)) << err;
    if (s.base_dir.empty()) s.base_dir = PITWALL_APP_DIR;
    engine eng(s.base_dir);
    std::vector<error> errors;
    eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
    for (const error &e : errors) ADD_FAILURE() << e;
    raster_context canvas(eng, s.width, s.height, s.background);
    scene_run run;
    err = run.build(eng, s);
    EXPECT_TRUE(err.empty()) << err;
    EXPECT_EQ(run.draw(canvas.context()), 0) << "every widget of the example scene draws";
    for (const log_line &line : eng.log())
        EXPECT_EQ(line.level, GRE_LOG_INFO) << "unexpected log line: " << line.text;
    argb_image picture = canvas.snapshot();
    run.clear();
    eng.unload_all();
    return picture;
}

struct example {
    const char *name;
    int width, height;
};

class example_reference : public ::testing::TestWithParam<example> {};

TEST_P(example_reference, example_scene_matches_its_reference_picture) {
    const example e = GetParam();
    const std::string reference = reference_of(e.name);
    argb_image actual = render_example(e.name);
    ASSERT_EQ(actual.width, e.width);
    ASSERT_EQ(actual.height, e.height);

    std::string why;
    const char *update = std::getenv("PITWALL_UPDATE_REFERENCE");
    if (update != nullptr && std::string(update) == "1") {
        ASSERT_TRUE(write_png(reference, actual, &why)) << why;
        GTEST_SKIP() << "reference rewritten: review " << reference << " before committing it";
    }

    argb_image expected;
    ASSERT_TRUE(read_png(reference, &expected, &why))
        << why << "\nno reference picture: run with PITWALL_UPDATE_REFERENCE=1, review it, commit it";

    image_difference d = compare_images(actual, expected, k_channel_tolerance);
    bool matches = d.same_size && d.differing <= k_differing_pixels_allowed;
    if (!matches) {
        std::string actual_path = test_output_path(std::string(e.name) + ".actual.png");
        std::string diff_path = test_output_path(std::string(e.name) + ".diff.png");
        write_png(actual_path, actual, nullptr);
        if (d.same_size) write_png(diff_path, difference_image(actual, expected, k_channel_tolerance, 2), nullptr);
        ADD_FAILURE() << "the example scene no longer matches " << reference << ": "
                      << (d.same_size ? "" : "sizes differ; ") << d.differing << " pixels differ by more than "
                      << k_channel_tolerance << " (allowed " << k_differing_pixels_allowed
                      << "), largest channel difference " << d.max_channel << "\nactual: " << actual_path
                      << "\ndifference: " << diff_path;
    }
}

INSTANTIATE_TEST_SUITE_P(examples, example_reference,
                         ::testing::Values(example{"demo", 1480, 600}, example{"gauges", 1390, 580},
                                           example{"alarms", 1260, 470}, example{"labels", 790, 440},
                                           example{"racing-dashboard", 1280, 480}),
                         [](const ::testing::TestParamInfo<example> &scene) {
                             std::string name = scene.param.name; // test names take no '-'
                             for (char &c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

} // namespace
} // namespace pitwall::testing
