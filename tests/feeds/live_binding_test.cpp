// The scene's feeds: mistakes refused where they are written; and the binding frame by frame,
// with the real plug-ins: values scaled into numbers, integers and text, stale channels shown the
// way the scene chooses and recovered, the demo loop handing over to live data and back, a burst
// shown as its last value.
#include "pitwall/latest_values.h"
#include "pitwall/live_binding.h"
#include "pitwall/scene.h"
#include "pitwall/scene_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

constexpr int64_t ms = 1000000;

const std::string k_controls = R"({"controls": [
  {"widget": "Modern Gauge Large", "name": "rev", "attributes": {"value_min": 500, "value_max": 10000, "value": 4000}},
  {"widget": "Modern Box", "name": "gear", "attributes": {"render_text": "N", "font_size": 20}},
  {"widget": "Modern Alarm", "name": "sensors", "attributes": {"value": 0, "upper_limit": 1, "upper_value": 0.5}}],
 )";

std::string scene_error(const std::string &rest) {
    scene s;
    error err;
    return parse_scene(k_controls + rest + "}", ".", s, &err) ? "" : err;
}

TEST(live_binding, feed_mistakes_are_refused_where_they_are_written) {
    const struct {
        std::string feeds, message;
    } cases[] = {
        {R"("feeds": [])", "\"feeds\" must be an object"},
        {R"("feeds": {"chanels": {}})", "\"feeds\": unknown key \"chanels\""},
        {R"("feeds": {"sources": "udp:1"})", "\"feeds.sources\" must be a list"},
        {R"("feeds": {"sources": [""], "channels": {}})", "a feed is a string such as"},
        {R"("feeds": {"demo_after": -1, "channels": {}})", "\"demo_after\" must be a number of seconds from 0 to 86400"},
        {R"("feeds": {"timeout": 1e9, "channels": {}})", "\"timeout\" must be a number of seconds"},
        {R"("feeds": {})", "\"feeds\" needs \"channels\""},
        {R"("feeds": {"channels": {"rpm": {"control": "revs", "attribute": "value"}}})",
         "feed channel \"rpm\": no control named \"revs\" (did you mean \"rev\"?)"},
        {R"("feeds": {"channels": {"rpm": {"control": "rev", "attribute": "valeu"}}})",
         "control \"rev\" has no attribute \"valeu\" (did you mean \"value\"?)"},
        {R"("feeds": {"channels": {"rpm": {"control": "rev", "attribute": "value", "format": "%.0f"}}})",
         "a format writes text, but \"value\" of control \"rev\""},
        {R"("feeds": {"channels": {"rpm": {"control": "gear", "attribute": "render_text", "format": "%s"}}})",
         "%s does not write a number"},
        {R"("feeds": {"channels": {"rpm": {"control": "rev", "attribute": "value", "scale": "x"}}})",
         "\"scale\" must be a number"},
        {R"("feeds": {"channels": {"rpm": {"control": "rev", "attribute": "value", "timeout": 1}}})",
         "feed channel \"rpm\": unknown key \"timeout\""},
        {R"("feeds": {"channels": {"rpm": {"timeout": 1}}})", "needs \"control\" and \"attribute\", or \"drives\""},
        {R"("feeds": {"channels": {"rpm": {"drives": []}}})", "\"drives\" lists no attribute"},
        {R"("feeds": {"channels": {"rpm": {"drives": {"control": "rev", "attribute": "value"}, "stale": "minimum"}}})",
         "\"stale\" must be an object"},
        {R"("feeds": {"channels": {"rpm": {"drives": {"control": "rev", "attribute": "value"}, "stale": {"show": "lowest"}}}})",
         "\"stale.show\" is \"hold\", \"minimum\" or a number"},
        {R"("feeds": {"channels": {"rpm": {"drives": {"control": "rev", "attribute": "value"}, "stale": {"text": "--"}}}})",
         "\"stale.text\" is shown by text attributes, and this channel drives none"},
        {R"("feeds": {"channels": {"rpm": {"drives": {"control": "rev", "attribute": "value"}, "stale": {"lamp": "sensor"}}}})",
         "\"stale.lamp\": no control named \"sensor\" (did you mean \"sensors\"?)"},
        {R"("feeds": {"channels": {"rpm": {"drives": {"control": "rev", "attribute": "value"}, "message": "ENGINE_1"}}})",
         "\"message\" goes with \"signal\", the signal it carries"},
        {R"("feeds": {"channels": {"rpm": {"drives": {"control": "rev", "attribute": "value"}, "signal": 7}}})",
         "\"signal\" must name a CAN signal of the signal database"},
        {R"("feeds": {"dbc": "", "channels": {}})", "\"feeds.dbc\" must name the CAN signal database"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.feeds);
        const std::string err = scene_error(c.feeds);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_NE(err.find(':'), std::string::npos) << "placed at a line and column: " << err;
    }
    EXPECT_EQ(scene_error(R"("feeds": {"channels": {"rpm": {"drives": [{"control": "rev", "attribute": "value"}],
                                                       "stale": {"show": 0, "lamp": "sensors"}}}})"),
              "");
}

// A scene with live channels and a demo track, bound on the real plug-ins.
class bound_scene : public ::testing::Test {
protected:
    scene s;
    std::unique_ptr<engine> eng;
    std::unique_ptr<latest_values> table;
    live_binding binding;
    live_binding::frame frame;
    scene_run run;

    void load(const std::string &feeds_and_tracks) {
        error err;
        ASSERT_TRUE(parse_scene(k_controls + feeds_and_tracks + "}", ".", s, &err)) << err;
        eng = std::make_unique<engine>(PITWALL_APP_DIR);
        eng->load_plugin_dir(PITWALL_PLUGIN_DIR, nullptr);
        table = std::make_unique<latest_values>(live_binding::channel_names(s));
        ASSERT_EQ(binding.bind(*eng, s, *table), "");
        ASSERT_EQ(run.build(*eng, s), "");
    }
    void TearDown() override {
        run.clear();
        if (eng) eng->unload_all();
    }
    void store(const char *channel, double value, int64_t at) { table->store(size_t(table->index_of(channel)), value, at); }
    // The frame at `now`, its changes written "control.attribute=value" in order, applied to the run.
    std::string at(int64_t now) {
        binding.at(now, frame);
        EXPECT_EQ(run.apply(frame.step), "") << "every change fits its attribute";
        std::string text;
        for (const auto &[control, change] : frame.step.changes)
            for (const auto &[attribute, value] : change.attributes) {
                text += (text.empty() ? "" : " ") + control + "." + attribute + "=";
                if (const auto *t = std::get_if<std::string>(&value)) text += *t;
                else if (const auto *i = std::get_if<int64_t>(&value)) text += std::to_string(*i) + "i";
                else if (const auto *d = std::get_if<double>(&value)) {
                    char number[32];
                    std::snprintf(number, sizeof number, "%g", *d);
                    text += number;
                }
            }
        return text;
    }
    std::string notes() const {
        std::string text;
        for (const std::string &n : frame.notes) text += (text.empty() ? "" : " | ") + n;
        return text;
    }
};

const std::string k_live = R"("feeds": {"demo_after": 3, "channels": {
   "rpm": {"drives": [{"control": "rev", "attribute": "value", "scale": 1000},
                      {"control": "gear", "attribute": "font_size", "offset": 0.4}],
           "stale": {"show": "minimum", "lamp": "sensors"}},
   "gear": {"drives": {"control": "gear", "attribute": "render_text", "format": "%.0f"}, "timeout": 1,
            "stale": {"text": "-"}}}},
 "tracks": [{"control": "gear", "attribute": "render_text", "keys": [[0, "1"], [2, "2"], [4, "3"]]}])";

TEST_F(bound_scene, the_demo_hands_over_to_live_values_which_go_stale_recover_and_hand_back) {
    load(k_live);
    const struct {
        int64_t now_ms;
        std::vector<std::pair<const char *, double>> values; // stored 5 ms before the frame
        std::string changes, notes;
        bool demo;
    } frames[] = {
        {0, {}, "gear.render_text=1", "", true},
        {2100, {}, "gear.render_text=2", "", true},
        {2200, {}, "", "", true},
        // A live value: what the demo set goes back to the scene's values, then the value shows
        // (scaled; rounded for the integer font size).
        {2300, {{"rpm", 8.72}}, "rev.value=8720 gear.font_size=9i gear.render_text=N", "live data: the demo loop stops", false},
        {2400, {{"gear", 3}}, "gear.render_text=3", "", false},
        // rpm quiet for 0.5 s: the gauge at its value_min, the font size at its lowest, the lamp lit.
        {2800, {}, "rev.value=500 gear.font_size=0i sensors.value=1i", "channel \"rpm\": no value for 0.5 s, shown as stale", false},
        {2900, {{"rpm", 7.4}}, "sensors.value=0i rev.value=7400 gear.font_size=8i", "channel \"rpm\": live again", false},
        {3000, {}, "", "", false},
        // Both quiet, each after its own timeout.
        {3400, {}, "rev.value=500 gear.font_size=0i gear.render_text=- sensors.value=1i",
         "channel \"rpm\": no value for 0.5 s, shown as stale | channel \"gear\": no value for 1 s, shown as stale", false},
        // Three seconds without any value: back to the demo, from its start.
        {5900, {}, "rev.value=4000i gear.font_size=20i gear.render_text=1 sensors.value=0i",
         "no live value for 3 s: the demo loop plays", true},
    };
    for (const auto &f : frames) {
        SCOPED_TRACE(f.now_ms);
        for (const auto &[channel, value] : f.values) store(channel, value, (f.now_ms - 5) * ms);
        EXPECT_EQ(at(f.now_ms * ms), f.changes);
        EXPECT_EQ(notes(), f.notes);
        EXPECT_EQ(binding.playing_demo(), f.demo);
    }
}

TEST_F(bound_scene, a_burst_shows_its_last_value_and_quiet_frames_change_nothing) {
    load(R"("feeds": {"channels": {"rpm": {"control": "rev", "attribute": "value"}}})");
    EXPECT_EQ(at(0), "") << "no demo: the scene's own values until live ones come";
    EXPECT_EQ(binding.next_change(), 500 * ms) << "the channel goes stale after its timeout even if it never spoke";
    for (int i = 1; i <= 1000; ++i) store("rpm", i, 10 * ms + i);
    EXPECT_EQ(at(20 * ms), "rev.value=1000");
    EXPECT_EQ(frame.arrivals, std::vector<int64_t>{10 * ms + 1000});
    EXPECT_EQ(at(30 * ms), "");
    EXPECT_TRUE(frame.arrivals.empty());
    EXPECT_EQ(binding.next_change(), 10 * ms + 1000 + 500 * ms);
    // Held when stale (the default): nothing changes, but the note is given once.
    EXPECT_EQ(at(600 * ms), "");
    EXPECT_EQ(notes(), "channel \"rpm\": no value for 0.5 s, shown as stale");
    EXPECT_EQ(at(700 * ms), "");
    EXPECT_EQ(notes(), "");
    EXPECT_EQ(binding.next_change(), INT64_MAX) << "nothing more to wait for";
}

TEST_F(bound_scene, named_values_show_their_names_in_text_without_a_format) {
    load(R"("feeds": {"channels": {"gear": {"drives": [{"control": "gear", "attribute": "render_text"},
                                                       {"control": "rev", "attribute": "text", "format": "G%.0f"}]}}})");
    binding.name_values("gear", {{-1, "R"}, {0, "N"}, {0.5, "half"}});
    const struct {
        double value;
        std::string changes;
    } cases[] = {
        {-1, "gear.render_text=R rev.text=G-1"}, // a format writes the number all the same
        {0.5, "gear.render_text=half rev.text=G0"},
        {3, "gear.render_text=3 rev.text=G3"},   // no name: the number
        {1e-12, "gear.render_text=N rev.text=G0"},
    };
    int64_t now = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        store("gear", c.value, now += 10 * ms);
        EXPECT_EQ(at(now), c.changes);
    }
}

} // namespace
} // namespace pitwall::testing
