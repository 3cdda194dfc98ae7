// SplashImage through the real library: loading once, failures, clone, destroy, path changes.
#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using pitwall::testing::plugin_harness;

struct splash : ::testing::Test {
    plugin_harness h{"libgre-plugin-SplashImage"};
    void SetUp() override {
        h.rec.add_image("images/logo.png", 320, 240);
        h.rec.add_image("images/other.png", 100, 100);
    }
};

TEST_F(splash, first_draw_loads_and_draws_over_the_control_later_draws_only_draw) {
    auto logo = h.make();
    h.set(*logo, "logo_path", "images/logo.png");
    EXPECT_EQ(logo->record()->dirty, 1);
    auto ctl = h.control(10, 20, 300, 200);
    EXPECT_EQ(h.draw(*logo, ctl), 0);
    EXPECT_EQ(h.rec.trace_text(),
              "get_clip -> none\n"
              "set_clip 10 20 310 220\n"
              "log 2 SplashImage: Loading image /app/images/logo.png\n"
              "load_image images/logo.png flags=0x7888820 size=native -> ok\n"
              "draw_image images/logo.png 10 20 300x200 pivot -1 -1\n"
              "clear_clip\n");
    EXPECT_EQ(logo->record()->dirty, 0);
    EXPECT_EQ(h.draw(*logo, ctl), 0);
    EXPECT_EQ(h.rec.trace_text(),
              "get_clip -> none\nset_clip 10 20 310 220\ndraw_image images/logo.png 10 20 300x200 pivot -1 -1\n"
              "clear_clip\n");
}

TEST_F(splash, instance_offsets_and_sizes_are_not_used) {
    auto logo = h.make();
    h.set(*logo, "logo_path", "images/logo.png");
    h.set(*logo, "x", int64_t{50});
    h.set(*logo, "width", int64_t{5});
    EXPECT_EQ(h.draw(*logo, h.control(0, 0, 100, 80)), 0);
    EXPECT_TRUE(h.has("draw_image images/logo.png 0 0 100x80 pivot -1 -1"));
}

TEST_F(splash, a_failed_load_logs_both_lines_at_every_draw_and_returns_minus_one) {
    auto logo = h.make();
    h.set(*logo, "logo_path", "images/missing.png");
    h.rec.set_clip_state(gr_rect_t{0, 0, 50, 50});
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(h.draw(*logo, h.control(0, 0, 100, 100)), -1);
        EXPECT_EQ(h.rec.trace_text(),
                  "get_clip -> 0 0 50 50\n"
                  "set_clip 0 0 50 50\n"
                  "log 2 SplashImage: Loading image /app/images/missing.png\n"
                  "load_image images/missing.png flags=0x7888820 size=native -> null\n"
                  "log 0 SplashImage: Failed loading image /app/images/missing.png\n"
                  "set_clip 0 0 50 50\n");
        EXPECT_EQ(logo->record()->dirty, 0) << "the failure still completes the frame";
    }
}

TEST_F(splash, a_never_set_path_names_no_file) {
    auto logo = h.make();
    EXPECT_EQ(h.draw(*logo, h.control(0, 0, 10, 10)), -1);
    EXPECT_TRUE(h.has("log 0 SplashImage: Failed loading image /app/"));
}

TEST_F(splash, outside_the_clip_invisible_or_inhibited_nothing_is_loaded_and_dirty_is_kept) {
    auto logo = h.make();
    h.set(*logo, "logo_path", "images/logo.png");
    h.rec.set_clip_state(gr_rect_t{0, 0, 9, 9});
    EXPECT_EQ(h.draw(*logo, h.control(20, 20, 10, 10)), 0);
    EXPECT_EQ(h.rec.trace_text(), "get_clip -> 0 0 9 9\n");
    EXPECT_EQ(logo->record()->dirty, 1);

    logo->record()->visible = 0;
    EXPECT_EQ(h.draw(*logo, h.control(0, 0, 10, 10)), 0);
    EXPECT_TRUE(h.trace().empty());
    logo->record()->visible = 1;
    logo->record()->inhibit = 1.0f;
    EXPECT_EQ(h.draw(*logo, h.control(0, 0, 10, 10)), 0);
    EXPECT_TRUE(h.trace().empty());
    EXPECT_EQ(logo->record()->dirty, 1);
}

TEST_F(splash, a_clone_loads_its_own_image_and_never_releases_the_sources) {
    auto logo = h.make();
    h.set(*logo, "logo_path", "images/logo.png");
    auto ctl = h.control(0, 0, 320, 240);
    ASSERT_EQ(h.draw(*logo, ctl), 0);
    auto copy = logo->clone();
    EXPECT_EQ(h.draw(*copy, ctl), 0);
    EXPECT_EQ(h.lines("log 2 SplashImage: Loading image").size(), 1u) << "the clone logs its own load";
    EXPECT_EQ(h.rec.live_images(), 2);

    h.rec.clear_trace();
    logo.reset(); // destroy the source first
    EXPECT_EQ(h.rec.trace_text(), "release_image images/logo.png\n");
    EXPECT_EQ(h.rec.live_images(), 1);
    EXPECT_EQ(h.draw(*copy, ctl), 0);
    EXPECT_TRUE(h.lines("release").empty());
    EXPECT_EQ(h.lines("draw_image images/logo.png").size(), 1u) << "the clone's image is still alive";
    copy.reset();
    EXPECT_EQ(h.rec.live_images(), 0);
}

TEST_F(splash, destroying_an_instance_that_never_loaded_calls_no_engine_operation) {
    auto logo = h.make();
    h.set(*logo, "logo_path", "images/logo.png");
    h.rec.clear_trace();
    logo.reset();
    EXPECT_TRUE(h.trace().empty());
}

TEST_F(splash, a_new_path_releases_the_held_image_and_shows_the_new_file) {
    auto logo = h.make();
    h.set(*logo, "logo_path", "images/logo.png");
    auto ctl = h.control(0, 0, 100, 100);
    ASSERT_EQ(h.draw(*logo, ctl), 0);
    h.rec.clear_trace();
    h.set(*logo, "logo_path", "images/logo.png"); // same text: nothing happens
    EXPECT_TRUE(h.trace().empty());
    h.set(*logo, "logo_path", "images/other.png");
    EXPECT_EQ(h.rec.trace_text(), "release_image images/logo.png\n");
    EXPECT_EQ(h.draw(*logo, ctl), 0);
    EXPECT_TRUE(h.has("load_image images/other.png flags=0x7888820 size=native -> ok"));
    EXPECT_TRUE(h.has("draw_image images/other.png 0 0 100x100 pivot -1 -1"));
}

TEST(splash_paths, an_overlong_path_is_a_failed_load_not_an_overflow) {
    // "<base>/<logo_path>" must fit 200 bytes with its terminator: 199 characters load, 200 do not.
    std::string base = "/" + std::string(150, 'b');
    plugin_harness h{"libgre-plugin-SplashImage", base};
    std::string fits(199 - base.size() - 1, 'f');
    std::string too_long = fits + "x";
    h.rec.add_image(fits, 10, 10);
    h.rec.add_image(too_long, 10, 10);
    auto logo = h.make();
    h.set(*logo, "logo_path", fits);
    EXPECT_EQ(h.draw(*logo, h.control(0, 0, 10, 10)), 0);
    EXPECT_EQ(h.lines("load_image " + fits + " ").size(), 1u);

    h.set(*logo, "logo_path", too_long);
    EXPECT_EQ(h.draw(*logo, h.control(0, 0, 10, 10)), -1);
    EXPECT_TRUE(h.lines("load_image").empty()) << "a path that does not fit is never handed to the engine";
    ASSERT_EQ(h.lines("log ").size(), 2u);
    EXPECT_EQ(h.lines("log 2 SplashImage: Loading image ").size(), 1u);
    EXPECT_EQ(h.lines("log 0 SplashImage: Failed loading image ").size(), 1u);
    EXPECT_EQ(h.rec.clip_state().has_value(), false) << "the clip was cleared again";
}

} // namespace
