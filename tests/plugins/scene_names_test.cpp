// Names, tick ranges and styles in scenes, read with the attribute catalog and drawn by the real
// plug-ins: a scene written with them traces exactly as the same scene written with numbers, and
// every value a widget cannot take is refused at its line and column, with a suggestion.
#include "pitwall/attribute_catalog.h"
#include "pitwall/scene.h"
#include "pitwall/scene_trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using pitwall::attr_value;

struct traced {
    pitwall::error err;
    std::string text;
};

// Parse a scene, load every plug-in on an application at /app, and trace it.
traced trace_of(const std::string &json, const std::string &folder = "/scenes") {
    traced t;
    pitwall::scene s;
    if (!pitwall::parse_scene(json, folder, s, &t.err)) return t;
    pitwall::engine eng("/app");
    std::vector<pitwall::error> load_errors;
    eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &load_errors);
    pitwall::scene_trace out;
    pitwall::scene_trace_options how;
    how.results = true;
    t.err = pitwall::trace_scene(eng, s, how, out);
    t.text = out.text;
    return t;
}

// "name=value" for each attribute, numbers as numbers, texts quoted.
std::vector<std::string> shown(const std::vector<std::pair<std::string, attr_value>> &attributes) {
    std::vector<std::string> out;
    for (const auto &[name, v] : attributes) {
        if (const auto *i = std::get_if<int64_t>(&v)) out.push_back(name + "=" + std::to_string(*i));
        else if (const auto *t = std::get_if<std::string>(&v)) out.push_back(name + "=\"" + *t + "\"");
        else if (const auto *d = std::get_if<double>(&v)) out.push_back(name + "=" + std::to_string(*d));
        else out.push_back(name + "=null");
    }
    return out;
}

std::string one_control(const std::string &widget, const std::string &attributes) {
    return R"({"canvas": {"width": 480, "height": 480}, "images": {"images/Icons/water_temp_red.png": {"width": 75, "height": 68}},
        "controls": [{"widget": ")" + widget + R"(", "name": "c", "attributes": {)" + attributes + "}}]}";
}

// Each case writes an attribute with a name or a tick form, and the same with what it stands for.
TEST(scene_names, names_and_tick_forms_trace_exactly_as_their_numbers) {
    const struct {
        const char *widget, *named, *numbers;
    } cases[] = {
        {"Label", R"("render_text": "A", "alignment": "center")", R"("render_text": "A", "alignment": 5)"},
        {"Label", R"("render_text": "A", "alignment": "bottom_right", "orientation": "turn_90")",
         R"("render_text": "A", "alignment": 9, "orientation": 1)"},
        {"Basic Box", R"("render_text": "7", "alignment": "left")", R"("render_text": "7", "alignment": 1)"},
        {"Modern Box", R"("color_box": "black", "render_text": "7")", R"("color_box": 9, "render_text": "7")"},
        {"Classic Box", R"("color_box": "black2")", R"("color_box": 11)"},
        {"Modern Alarm", R"("icon_idx": "water_temp", "icon_color": "red", "color_box": "grey", "text_alignment": "center")",
         R"("icon_idx": 8, "icon_color": 2, "color_box": 8, "text_alignment": 5)"},
        {"Classic Alarm", R"("icon_idx": "windshield_washer_fluid", "color_box": "white2")",
         R"("icon_idx": 22, "color_box": 2)"},
        {"Common Vertical Bar", R"("tick_pos": "right", "tick_mode": "marks_only", "style": "continuous", "orientation": "up", "color_bar": "violet", "title_alignment": "center")",
         R"("tick_pos": 2, "tick_mode": 1, "style": 1, "orientation": 1, "color_bar": 7, "title_alignment": 4)"},
        {"Common Horizontal Bar", R"("tick_pos": "below", "orientation": "left", "color_tick": "orange", "title_alignment": "right")",
         R"("tick_pos": 2, "orientation": 1, "color_tick": 4, "title_alignment": 3)"},
        {"Classic Gauge Small", R"("color_gauge": "green", "tick_pos": "shown", "tick_mode": "piecewise")",
         R"("color_gauge": 5, "tick_pos": 1, "tick_mode": 3)"},
        // A range: ticks at every step, labelled with their values, no positions; "minor" short
        // marks between two ticks are `subsections` one more.
        {"Modern Gauge Large",
         R"("text": "<channel value>", "value_max": 300, "angle_span": 270, "ticks": {"from": 0, "to": 300, "step": 50, "minor": 4})",
         R"("text": "<channel value>", "value_max": 300, "angle_span": 270, "ticks": ";0;0|;50;50|;100;100|;150;150|;200;200|;250;250|;300;300", "subsections": 5)"},
        {"Common Horizontal Bar", R"("value_max": 8000, "tick_pos": 1, "ticks": {"from": 0, "to": 8000, "step": 2000})",
         R"("value_max": 8000, "tick_pos": 1, "ticks": ";0;0|;2000;2000|;4000;4000|;6000;6000|;8000;8000")"},
        {"Common Vertical Bar", R"("value_max": 1, "ticks": {"from": 0, "to": 1, "step": 0.1})",
         R"("value_max": 1, "ticks": ";0;0|;0.1;0.1|;0.2;0.2|;0.3;0.3|;0.4;0.4|;0.5;0.5|;0.6;0.6|;0.7;0.7|;0.8;0.8|;0.9;0.9|;1;1")"},
        // Pairs: [value, position] and a label of one's own.
        {"Classic Gauge Large",
         R"("value_max": 300, "angle_span": 270, "tick_pos": 1, "tick_mode": 3, "ticks": [[0, 0], [100, 180, "mid"], [300, 270]])",
         R"("value_max": 300, "angle_span": 270, "tick_pos": 1, "tick_mode": 3, "ticks": "0;0;0|180;100;mid|270;300;300")"},
    };
    for (const auto &c : cases) {
        const traced named = trace_of(one_control(c.widget, c.named));
        const traced numbers = trace_of(one_control(c.widget, c.numbers));
        ASSERT_EQ(named.err, "") << c.named;
        ASSERT_EQ(numbers.err, "") << c.numbers;
        EXPECT_EQ(named.text, numbers.text) << c.named;
        EXPECT_NE(named.text.find("drawn \"c\""), std::string::npos) << named.text;
    }
}

// A style's attributes come first in its own order, the control's own replace them in place of
// the style's; a step may take a style too, and a style is checked against each widget using it.
TEST(scene_names, styles_set_their_attributes_and_the_control_overrides_them) {
    const std::string styles = R"("styles": {"alarm": {"color_box": "red", "render_text": "HOT", "font_size": 20},
                                              "calm": {"color_box": "green"}},)";
    pitwall::scene s;
    pitwall::error err;
    ASSERT_TRUE(pitwall::parse_scene("{" + styles + R"( "controls": [
        {"widget": "Modern Box", "name": "a", "style": "alarm", "attributes": {"font_size": 30, "value": 1}},
        {"widget": "Modern Alarm", "name": "b", "style": "alarm"}],
        "steps": [{"controls": {"a": {"style": "calm"}}}]})",
                                     "/scenes", s, &err))
        << err;
    using list = std::vector<std::string>;
    EXPECT_EQ(shown(s.controls[0].state.attributes),
              (list{"color_box=2", "render_text=\"HOT\"", "font_size=30", "value=1"}));
    // The Modern Alarm's palette has red at 2 as well; the places point into the style.
    EXPECT_EQ(shown(s.controls[1].state.attributes), (list{"color_box=2", "render_text=\"HOT\"", "font_size=20"}));
    EXPECT_EQ(s.controls[1].state.attribute_where[0], "1:36");
    EXPECT_EQ(shown(s.steps[0].changes[0].second.attributes), (list{"color_box=5"}));

    const traced styled = trace_of("{" + styles + R"( "controls": [{"widget": "Modern Box", "name": "a", "style": "calm", "attributes": {"render_text": "1"}}]})");
    const traced plain = trace_of(R"({"controls": [{"widget": "Modern Box", "name": "a", "attributes": {"color_box": 5, "render_text": "1"}}]})");
    ASSERT_EQ(styled.err, "");
    EXPECT_EQ(styled.text, plain.text);
}

// A track's keys take the names of its attribute's values, as a step's changes do.
TEST(scene_names, track_keys_take_names) {
    pitwall::scene s;
    pitwall::error err;
    ASSERT_TRUE(pitwall::parse_scene(R"({"controls": [{"widget": "Modern Alarm", "name": "a"}],
        "tracks": [{"control": "a", "attribute": "color_box", "keys": [[0, "green"], [1, "red"]]},
                   {"control": "a", "attribute": "color_text", "keys": [[0, "#ffffff"], [1, "#ff0000"]]}]})",
                                     "/scenes", s, &err))
        << err;
    ASSERT_EQ(s.tracks.size(), 2u);
    EXPECT_EQ(std::get<int64_t>(s.tracks[0].keys[0].value), 5);
    EXPECT_EQ(std::get<int64_t>(s.tracks[0].keys[1].value), 2);
    EXPECT_EQ(std::get<std::string>(s.tracks[1].keys[1].value), "#ff0000") << "colours stay colours";
}

// Every attribute error names its line and column; misspelt names get the nearest one.
TEST(scene_names, attribute_errors_give_line_column_and_a_suggestion) {
    const struct {
        const char *scene, *error;
    } cases[] = {
        {R"({"controls": [{"widget": "Label",
  "attributes": {"alignment": "centre"}}]})",
         R"(2:31: control "Label": "Label": attribute "alignment" (4s1) takes an integer or a name, not "centre" (did you mean "center"?); the names: top_left (1), top_center (2), top_right (3), middle_left (4), center (5), middle_right (6), bottom_left (7), bottom_center (8), bottom_right (9))"},
        {R"({"controls": [{"widget": "Modern Gauge Large", "name": "speed",
  "attributes": {"angle_spn": 270}}]})",
         R"(2:31: control "speed": "Modern Gauge Large" has no attribute "angle_spn" (did you mean "angle_span"?))"},
        {R"({"controls": [
  {"widget": "ModernGaugeLarge"}]})",
         R"(2:14: control "ModernGaugeLarge": no plug-in registers "ModernGaugeLarge" (did you mean "Modern Gauge Large"?))"},
        {R"({"controls": [{"widget": "Common Vertical Bar", "attributes": {
  "color_bar": "#00ff00"}}]})",
         R"(2:16: control "Common Vertical Bar": "Common Vertical Bar": attribute "color_bar" (4s1) is a palette index, not a colour: write one of 1 white, 2 red, 3 yellow, 4 orange, 5 green, 6 blue, 7 violet)"},
        {R"({"controls": [{"widget": "Classic Box", "attributes": {"upper_box": "whit1"}}]})",
         R"(1:69: control "Classic Box": "Classic Box": attribute "upper_box" (4s1) takes a palette index or a colour of the palette, not "whit1" (did you mean "white1"?); the palette: 1 white1, 2 white2, 3 red, 4 yellow, 5 orange, 6 green, 7 blue, 8 violet, 9 grey, 10 black1, 11 black2)"},
        {R"({"controls": [{"widget": "Modern Alarm", "attributes": {"icon_idx": "fuel_station"}}]})",
         "1:69: control \"Modern Alarm\": \"Modern Alarm\": attribute \"icon_idx\" (4s1) takes an integer or a name, not "
         "\"fuel_station\" (did you mean \"fuelstation\"?); the names: none (0), cross (1), plus (2), minus (3), "
         "warning_filled (4), warning_lights (5), turn_indicator_left (6), turn_indicator_right (7), water_temp (8), "
         "oil (9), mil_engine (10), gear (11), gear_warning (12), fuelstation (13), high_beam_lights (14), "
         "low_beam_lights (15), sidelight (16), light (17), lap_stopwatch (18), speedo (19), signalhorn (20), "
         "windshield (21), windshield_washer_fluid (22)"},
        {R"({"controls": [{"widget": "Label", "attributes": {"font_size": 1.5}}]})",
         R"(1:63: control "Label": "Label": attribute "font_size" (4s1) takes an integer)"},
        {R"({"controls": [{"widget": "Modern Gauge Small", "attributes": {"decimals": 300}}]})",
         R"(1:75: control "Modern Gauge Small": "Modern Gauge Small": attribute "decimals" (1u1) takes 0 to 255, not 300)"},
        {R"({"controls": [{"widget": "Basic Box", "attributes": {"value": "high"}}]})",
         R"(1:63: control "Basic Box": "Basic Box": attribute "value" (4f1) takes a number (or "nan", "inf", "-inf"))"},
        {R"({"controls": [{"widget": "Modern Gauge Large", "attributes": {"ticks": {"from": 0, "to": 1000, "step": 10}}}]})",
         R"(1:72: control "Modern Gauge Large": "Modern Gauge Large": attribute "ticks" (1s0): the range gives more than 50 ticks, the most a widget keeps)"},
        {R"({"controls": [{"widget": "Modern Gauge Large", "attributes": {"ticks": {"from": 0, "to": 10, "stp": 1}}}]})",
         R"(1:101: control "Modern Gauge Large": "Modern Gauge Large": attribute "ticks" (1s0): a tick range has no key "stp" (did you mean "step"?); it is {"from", "to", "step", "minor"})"},
        {R"({"controls": [{"widget": "Modern Gauge Small", "attributes": {"ticks": "0;0"}}]})",
         R"(1:72: control "Modern Gauge Small": "Modern Gauge Small" has no attribute "ticks")"},
        {R"({"styles": {"warm": {}}, "controls": [{"widget": "Label", "style": "warn"}]})",
         R"(1:68: control "Label": no style named "warn" (did you mean "warm"?))"},
        {R"({"styles": {"s": {"icon_idx": 3}}, "controls": [{"widget": "Label", "style": "s"}]})",
         R"(1:31: control "Label": style "s": "Label" has no attribute "icon_idx")"},
        {R"({"controls": [{"widget": "Label", "name": "speed"}], "steps": [{"controls": {"sped": {"x": 1}}}]})",
         R"(1:86: step 1: no control named "sped" (did you mean "speed"?))"},
        {R"({"controls": [{"widget": "Label", "name": "speed"}], "steps": [{"controls": {"speed": {"attributes": {"alignment": "middle"}}}}]})",
         R"(1:116: step 1: control "speed": "Label": attribute "alignment" (4s1) takes an integer or a name, not "middle"; the names: top_left (1), top_center (2), top_right (3), middle_left (4), center (5), middle_right (6), bottom_left (7), bottom_center (8), bottom_right (9))"},
        {R"({"controls": [{"widget": "Label", "name": "l"}], "tracks": [{"control": "l", "attribute": "alignment", "keys": [[0, "middle"]]}]})",
         R"(1:117: track 1: "alignment" of control "l" has no value named "middle"; the names: top_left (1), top_center (2), top_right (3), middle_left (4), center (5), middle_right (6), bottom_left (7), bottom_center (8), bottom_right (9))"},
        {R"({"controls": [{"widget": "Label", "name": "l"}], "telemetry": {"file": "none.csv", "channels": {"speed": {"control": "l", "attribute": "valeu"}}}})",
         R"(1:136: telemetry "none.csv" channel "speed": control "l" has no attribute "valeu" (did you mean "value"?))"},
    };
    for (const auto &c : cases) {
        pitwall::scene s;
        pitwall::error err;
        EXPECT_FALSE(pitwall::parse_scene(c.scene, "/scenes", s, &err)) << c.scene;
        EXPECT_EQ(err, c.error) << c.scene;
    }
}

// A scene of numbers without names or styles reads as it always did: the example dashboard traces
// exactly as the tool traced it before the catalog (tests/fixtures/racing-dashboard.trace, made by
// `pitwall trace --results` of that version; PITWALL_UPDATE_REFERENCE=1 rewrites it).
TEST(scene_names, an_example_of_numbers_traces_exactly_as_before) {
    const std::string source = PITWALL_SOURCE_DIR;
    std::ifstream in(source + "/examples/racing-dashboard.json");
    std::stringstream text;
    text << in.rdbuf();
    const traced now = trace_of(text.str(), source + "/examples"); // its demo lap's log lies beside it
    ASSERT_EQ(now.err, "");
    const std::string reference_path = source + "/tests/fixtures/racing-dashboard.trace";
    if (std::getenv("PITWALL_UPDATE_REFERENCE") != nullptr) std::ofstream(reference_path) << now.text;
    std::ifstream reference(reference_path);
    ASSERT_TRUE(reference) << reference_path << " is missing";
    std::stringstream before;
    before << reference.rdbuf();
    EXPECT_EQ(now.text, before.str());
}

// The catalog describes exactly the attribute tables the plug-ins register, and names the 22
// pictograms of the theme.
TEST(scene_names, the_catalog_matches_every_plugins_table) {
    pitwall::engine eng("/app");
    std::vector<pitwall::error> errors;
    eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
    ASSERT_EQ(eng.plugins().size(), pitwall::attribute_catalog().size());
    for (const auto &p : eng.plugins()) {
        const pitwall::widget_info *w = pitwall::find_widget_info(p->display_name());
        ASSERT_NE(w, nullptr) << p->display_name();
        std::vector<std::string> table, described;
        for (const gr_attribute_t &a : p->attributes()) table.push_back(std::string(a.name) + " " + a.type);
        for (const pitwall::attribute_info &a : w->attributes) {
            described.push_back(a.name + " " + a.type);
            EXPECT_FALSE(a.what.empty()) << p->display_name() << " " << a.name;
        }
        EXPECT_EQ(described, table) << p->display_name();
    }
    const pitwall::attribute_info *icon = pitwall::find_widget_info("Classic Alarm")->find("icon_idx");
    ASSERT_EQ(icon->values.size(), 23u);
    for (const pitwall::named_value &v : icon->values) {
        if (v.value == 0) continue;
        EXPECT_TRUE(std::filesystem::exists(std::string(PITWALL_SOURCE_DIR) + "/theme/Icons/" + v.name + ".svg.in"))
            << v.name;
    }
}

} // namespace
