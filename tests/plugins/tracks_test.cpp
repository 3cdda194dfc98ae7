// Tracks: values at and between keys, the scene keys and CSV logs that make them, and what a
// played track does to the trace frame by frame.
#include "pitwall/scene_run.h"
#include "pitwall/scene_tracks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using pitwall::attr_value;
using pitwall::track;
using pitwall::track_interpolation;
using strings = std::vector<std::string>;

std::string show(const attr_value &v) {
    if (const auto *s = std::get_if<std::string>(&v)) return "\"" + *s + "\"";
    if (const auto *i = std::get_if<int64_t>(&v)) return "int " + std::to_string(*i);
    if (const auto *d = std::get_if<double>(&v)) {
        std::ostringstream out;
        out << "double " << *d;
        return out.str();
    }
    return "null";
}

track make(track_interpolation how, std::vector<pitwall::track_key> keys) {
    return track{"c", "a", how, std::move(keys)};
}

TEST(tracks, value_at_and_between_keys) {
    using K = std::vector<pitwall::track_key>;
    const auto linear = track_interpolation::linear, step = track_interpolation::step;
    const track ints = make(linear, K{{0, int64_t{0}}, {2, int64_t{100}}});
    const track fractions = make(linear, K{{0, 1.0}, {1, 2.0}});
    const track mixed = make(linear, K{{0, int64_t{0}}, {1, 1.0}});
    const track jump = make(linear, K{{0, int64_t{0}}, {1, int64_t{10}}, {1, int64_t{20}}, {2, int64_t{20}}});
    const track held = make(step, K{{0, int64_t{0}}, {2, int64_t{100}}});
    const track argb = make(linear, K{{0, std::string("#00000000")}, {1, std::string("#ff804020")}});
    const track rgb = make(linear, K{{0, std::string("#000000")}, {1, std::string("#ffffff")}});
    const track text = make(linear, K{{0, std::string("P1")}, {1, std::string("P2")}});
    const struct {
        const track *t;
        double at;
        std::string expected;
    } cases[] = {
        {&ints, -1, "int 0"},      // before the first key: its value
        {&ints, 0, "int 0"},
        {&ints, 0.5, "int 25"},    // a quarter of the way
        {&ints, 1.01, "int 51"},   // 50.5 rounds up: integers stay integers
        {&ints, 2, "int 100"},
        {&ints, 9, "int 100"},     // after the last: its value
        {&fractions, 0.25, "double 1.25"},
        {&mixed, 0.5, "double 0.5"},
        {&jump, 0.5, "int 5"},
        {&jump, 1, "int 20"},      // two keys at one time: the later holds from then on
        {&held, 1.99, "int 0"},
        {&held, 2, "int 100"},
        {&argb, 0, "\"#00000000\""}, // at a key: as written
        {&argb, 0.5, "\"#80402010\""}, // 0xff / 2 = 127.5 -> 0x80, 0x80 / 2, 0x40 / 2, 0x20 / 2
        {&argb, 0.25, "\"#40201008\""},
        {&argb, 1, "\"#ff804020\""},
        {&rgb, 0.5, "\"#ff808080\""},   // "#rrggbb" is opaque at both ends
        {&text, 0.99, "\"P1\""},        // text holds whatever the interpolation
        {&text, 1, "\"P2\""},
    };
    for (const auto &c : cases) EXPECT_EQ(show(pitwall::track_value(*c.t, c.at)), c.expected) << "at " << c.at;
}

// A double holds no integer near the ends of int64_t: rounded through one, a value held at the
// largest key came back past it, negative. Expected values hold whether or not long double is
// wider than double.
TEST(tracks, integers_between_keys_stay_between_them_at_the_int64_limits) {
    using K = std::vector<pitwall::track_key>;
    const int64_t max = INT64_MAX, min = INT64_MIN;
    const struct {
        K keys;
        double at;
        std::string expected;
    } cases[] = {
        {K{{0, max}, {2, max}}, 1, "int 9223372036854775807"},
        {K{{0, min}, {2, min}}, 1, "int -9223372036854775808"},
        {K{{0, min}, {2, min + 1}}, 1, "int -9223372036854775808"}, // min + 0.5 rounds away from zero
        {K{{0, max}, {1, max - 1}}, 0.999, "int 9223372036854775806"},
        {K{{0, min}, {4, max}}, 1, "int -4611686018427387904"}, // min + (2^64 - 1) / 4, rounded
        {K{{0, max}, {4, min}}, 3, "int -4611686018427387904"}, // max - 3 (2^64 - 1) / 4, rounded
        {K{{0, int64_t{0}}, {2, max}}, 1, "int 4611686018427387904"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(show(pitwall::track_value(make(track_interpolation::linear, c.keys), c.at)), c.expected)
            << "at " << c.at;
}

TEST(tracks, changes_group_by_control_and_duration_is_the_last_key) {
    pitwall::scene s;
    using K = std::vector<pitwall::track_key>;
    s.tracks = {track{"gear", "render_text", track_interpolation::step,
                      K{{0, std::string("1")}, {3, std::string("2")}}},
                track{"revs", "value", track_interpolation::linear, K{{0, 1000.0}, {4, 5000.0}}},
                track{"gear", "value", track_interpolation::linear, K{{0, 1.0}, {1, 2.0}}}};
    const auto changes = pitwall::track_changes(s, 3);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].first, "gear");
    ASSERT_EQ(changes[0].second.attributes.size(), 2u);
    EXPECT_EQ(changes[0].second.attributes[0].first, "render_text");
    EXPECT_EQ(show(changes[0].second.attributes[0].second), "\"2\"");
    EXPECT_EQ(show(changes[0].second.attributes[1].second), "double 2");
    EXPECT_EQ(changes[1].first, "revs");
    EXPECT_EQ(show(changes[1].second.attributes[0].second), "double 4000");
    EXPECT_EQ(pitwall::tracks_duration(s), 4);
}

// ---- reading tracks and logs from a scene ----------------------------------------------------

class tracks_scene : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/tracks." +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    // The error of a one-line scene: "LINE:COLUMN: cause", or "" when it parses.
    std::string error_of(const std::string &json, pitwall::scene *out = nullptr) {
        pitwall::scene s;
        pitwall::error err;
        if (pitwall::parse_scene(json, dir, out != nullptr ? *out : s, &err)) return "";
        return err;
    }
    // "1:COLUMN" of the first `marker` in the line.
    static std::string at(const std::string &json, const std::string &marker) {
        return "1:" + std::to_string(json.find(marker) + 1);
    }
};

TEST_F(tracks_scene, key_errors_are_placed_where_they_are_written) {
    const std::string head = R"({"controls": [{"widget": "Basic Box", "name": "c"}], "tracks": [{"control": "c", "attribute": "value", )";
    const struct {
        std::string rest, marker, message;
    } cases[] = {
        {R"("keys": [[1, 0], [0.5, 1]]}]})", "0.5", "track 1: the keys go back in time"},
        {R"("easing": "smooth", "keys": [[0, 1]]}]})", "\"smooth\"", "track 1: unknown key \"easing\""},
        {R"("keys": [[0, 1], [1, "#ffffff"]]}]})", "[[0", "track 1: the keys mix numbers, colours and text"},
        {R"("keys": [[0, "P1"], [1, "#ffffff"]]}]})", "[[0", "track 1: the keys mix numbers, colours and text"},
        {R"("interpolation": "linear", "keys": [[0, "P1"]]}]})", "\"linear\"",
         "track 1: text cannot be interpolated, it holds until the next key (\"step\")"},
        {R"("interpolation": "cubic", "keys": [[0, 1]]}]})", "\"cubic\"",
         "track 1: \"interpolation\" is \"linear\" or \"step\""},
        {R"("keys": [[0]]}]})", "[0]", "track 1: a key is [seconds, value]"},
        {R"("keys": [[0, null]]}]})", "null", "track 1: a key's value is a number, a colour or a string"},
        {R"("keys": []}]})", "[]}", "track 1 needs \"keys\", a list of [seconds, value]"},
    };
    for (const auto &c : cases) {
        const std::string json = head + c.rest;
        EXPECT_EQ(error_of(json), at(json, c.marker) + ": " + c.message) << json;
    }
    const std::string no_attribute = R"({"controls": [{"widget": "Basic Box", "name": "c"}], "tracks": [{"control": "c", "keys": [[0, 1]]}]})";
    EXPECT_EQ(error_of(no_attribute), at(no_attribute, "{\"control\"") + ": track 1 needs \"attribute\", a name");
}

TEST_F(tracks_scene, text_tracks_hold_and_colour_tracks_interpolate_by_default) {
    pitwall::scene s;
    ASSERT_EQ(error_of(R"({"controls": [{"widget": "Basic Box", "name": "g"}], "tracks": [
        {"control": "g", "attribute": "render_text", "keys": [[0, "N"], [2, "1"]]},
        {"control": "g", "attribute": "color_bg", "keys": [[0, "#000000"], [2, "#204060"]]},
        {"control": "g", "attribute": "value", "interpolation": "step", "keys": [[0, 0], [2, 1]]}]})",
                       &s),
              "");
    ASSERT_EQ(s.tracks.size(), 3u);
    EXPECT_EQ(s.tracks[0].interpolation, track_interpolation::step);
    EXPECT_EQ(s.tracks[1].interpolation, track_interpolation::linear);
    EXPECT_EQ(s.tracks[2].interpolation, track_interpolation::step);
    EXPECT_EQ(show(pitwall::track_value(s.tracks[1], 1)), "\"#ff102030\"");
}

// A log's own errors name the CSV file and its line (blank lines are counted, not read); the
// scene's error is placed at the log's "file".
TEST_F(tracks_scene, log_errors_name_the_csv_line) {
    const std::string json = R"({"controls": [{"widget": "Basic Box", "name": "revs"}], "telemetry": {"file": "lap.csv", "channels": {)"
                             R"("rpm": {"control": "revs", "attribute": "value"}}}})";
    const std::string csv = dir + "/lap.csv";
    const struct {
        std::string text, message;
    } cases[] = {
        {"t,rpm\n0,1000\n0.1,abc\n", csv + ":3: \"abc\" in column rpm is not a number"},
        {"t,rpm,water\n0,1,2\n\n0.1,1\n", csv + ":4: 2 fields, the header has 3"},
        {"t,rpm\n0,1\n0.2,2\n0.1,3\n", csv + ":4: time 0.1 goes back (the row before is at 0.2)"},
        {"t,rpm\nzero,1\n", csv + ":2: \"zero\" in column t is not a number"},
        {"t,rpm\n0,1e999\n", csv + ":2: \"1e999\" in column rpm is not a number"},
        {"t,rpm\n", csv + ": no rows after the header"},
        {"t,\"rpm\n0,1\n", csv + ":1: a quoted field is not closed"},
    };
    for (const auto &c : cases) {
        std::ofstream(csv) << c.text;
        EXPECT_EQ(error_of(json), at(json, "\"lap.csv\"") + ": " + c.message) << c.text;
    }
    // A column the log lacks is the channel's mistake: placed at its mapping, with the nearest column.
    std::ofstream(csv) << "t,speed,rpmm\n0,1,2\n";
    EXPECT_EQ(error_of(json), at(json, "{\"control\": \"revs\"") + ": telemetry \"lap.csv\" channel \"rpm\": " + csv +
                                  ": no column \"rpm\" (did you mean \"rpmm\"?)");
    std::filesystem::remove(csv);
    EXPECT_EQ(error_of(json), at(json, "\"lap.csv\"") + ": " + csv + ": No such file or directory");
}

// Quoted names, CRLF line ends, spaces, integers and fractions, an unmapped text column, and one
// column feeding two controls.
TEST_F(tracks_scene, log_columns_become_tracks_keyed_by_the_time_column) {
    std::ofstream(dir + "/log.csv") << "\"time\", \"rpm\" ,note,water\r\n"
                                       "0, 1000 ,pit exit,90.5\r\n"
                                       "0.5,2000,\"flat, out\",91\r\n";
    pitwall::scene s;
    ASSERT_EQ(error_of(R"({"controls": [{"widget": "Basic Box", "name": "revs"}, {"widget": "Basic Box", "name": "gauge"}, {"widget": "Basic Box", "name": "lamp"}], "telemetry": {"file": "log.csv", "time": "time", "channels": {
        "rpm": {"control": "revs", "attribute": "value"},
        "water": [{"control": "gauge", "attribute": "value"},
                  {"control": "lamp", "attribute": "value", "interpolation": "step"}]}}})",
                       &s),
              "");
    ASSERT_EQ(s.tracks.size(), 3u);
    EXPECT_EQ(s.tracks[0].control, "revs");
    EXPECT_EQ(show(pitwall::track_value(s.tracks[0], 0.25)), "int 1500");
    EXPECT_EQ(s.tracks[1].control, "gauge");
    EXPECT_EQ(show(pitwall::track_value(s.tracks[1], 0.25)), "double 90.75");
    EXPECT_EQ(s.tracks[2].control, "lamp");
    EXPECT_EQ(show(pitwall::track_value(s.tracks[2], 0.25)), "double 90.5");
    EXPECT_EQ(pitwall::tracks_duration(s), 0.5);
}

// A log read through a scene mapping its column rpm (or through `json`): the rpm track as
// "SECONDS=VALUE ...", "no track", or the error with the scene's place and the log's folder cut off.
class telemetry_log : public tracks_scene {
protected:
    std::string rpm_of(const std::string &csv_text, const std::string &json = k_rpm_scene) {
        std::ofstream(dir + "/lap.csv", std::ios::binary) << csv_text;
        pitwall::scene s;
        pitwall::error err;
        if (!pitwall::parse_scene(json, dir, s, &err)) {
            const std::string place = at(json, "\"lap.csv\"") + ": " + dir + "/";
            return err.rfind(place, 0) == 0 ? err.substr(place.size()) : err;
        }
        if (s.tracks.empty()) return "no track";
        std::ostringstream keys;
        for (const pitwall::track_key &k : s.tracks.at(0).keys) keys << k.time << "=" << show(k.value) << " ";
        return keys.str();
    }

    static inline const std::string k_rpm_scene = R"({"controls": [{"widget": "Basic Box", "name": "revs"}], "telemetry": {"file": "lap.csv", "channels": {)"
                                                  R"("rpm": {"control": "revs", "attribute": "value"}}}})";
};

// Line ends of every kind (line numbers counted alike), a byte order mark, quoting, and the limits
// that bound what a log costs. Columns no channel maps are split but never read. An empty field is
// no sample (a recording's channel that had no value in that row), and a channel without any has
// no track; the time stays a number in every row.
TEST_F(telemetry_log, lines_fields_and_limits) {
    std::string wide_header = "t,rpm", wide_row = "0,1";
    for (int i = 3; i <= 4096; ++i) {
        wide_header += ",c" + std::to_string(i);
        wide_row += ",x";
    }
    const std::string longest(4096, 'x'), escaped_quotes(2 * 4096, '"');
    const struct {
        std::string text, outcome;
    } cases[] = {
        {"\xEF\xBB\xBFt,rpm\n0,1\n1,2\n", "0=int 1 1=int 2 "},
        {"t,rpm\r0,1\r1,2", "0=int 1 1=int 2 "},
        {"t,rpm\r\n0,1\r\n1,2\r\n", "0=int 1 1=int 2 "},
        {"t,rpm\r0,1\r\r \r1,x\r", "lap.csv:5: \"x\" in column rpm is not a number"},
        {"t,rpm\r\n0,1\r\n\r\n1,x\r\n", "lap.csv:4: \"x\" in column rpm is not a number"},
        {"t,rpm\n0,1\r\n\r1,2\r1,x", "lap.csv:5: \"x\" in column rpm is not a number"},
        {"t,rpm\n0,\"1\"2\n1, \"\" \"3\" \n2,\"-4\" \n", "0=int 12 1=int 3 2=int -4 "},
        {"t,rpm\n0,\" 6\"\n", "lap.csv:2: \" 6\" in column rpm is not a number"},
        {"t,rpm\n0,7\"\"\n", "lap.csv:2: \"7\"\"\" in column rpm is not a number"},
        {"t,rpm\n0,\"5\"\"\n", "lap.csv:2: a quoted field is not closed"},
        {"t,rpm,rpm\n0,1,2\n", "lap.csv:1: column \"rpm\" appears twice (columns 2 and 3)"},
        {"\nt,rpm,,note,\n0,1,,,\n", "lap.csv:2: column \"\" appears twice (columns 3 and 5)"},
        {"t,note,rpm\n0,abc,1\n1,\"1e999, \"\"\",2\n2,,3\n", "0=int 1 1=int 2 2=int 3 "},
        {"t,rpm,note\n0,1," + longest + "\n1,2,\"" + longest + "\"\n", "0=int 1 1=int 2 "},
        {"t,rpm,note\n0,1,\"" + escaped_quotes + "\"\n", "0=int 1 "},
        {"t,rpm,note\n0,1," + longest + "y\n", "lap.csv:2: field 3 is longer than 4096 bytes"},
        {"t,rpm,note\n0,1,\"" + escaped_quotes + "\"\"\"\n", "lap.csv:2: field 3 is longer than 4096 bytes"},
        {"t,rpm,note\n0,1,\"" + longest + "\"y\n", "lap.csv:2: field 3 is longer than 4096 bytes"},
        {"t,rpm,note\n0,1,x" + std::string(1000000, '"') + "\n", "lap.csv:2: field 3 is longer than 4096 bytes"},
        {wide_header + "\n" + wide_row + "\n", "0=int 1 "},
        {wide_header + ",c4097\n", "lap.csv:1: more than 4096 columns"},
        {"t,rpm\n0,1\n0.5,\n1,3\n", "0=int 1 1=int 3 "},
        {"t,rpm,water\n0,,90\n0.5, \"\" ,91\n1,2.5,\n", "1=double 2.5 "},
        {"t,rpm,water\n0,,90\n1,,91\n", "no track"},
        {"t,rpm\n0,1\n,2\n", "lap.csv:3: \"\" in column t is not a number"},
        {"t,rpm\n0,1\n1,\" \"\n", "lap.csv:3: \" \" in column rpm is not a number"},
    };
    for (const auto &c : cases) EXPECT_EQ(rpm_of(c.text), c.outcome) << c.text.substr(0, 80);
}

// Every channel takes a key a row: a million rows at most, fewer when many channels share them.
// The refusal's line shows that every row before it was taken.
TEST_F(telemetry_log, rows_are_bounded_by_the_keys_they_make) {
    std::string many = R"({"controls": [{"widget": "Own Widget", "name": "c"}], "telemetry": {"file": "lap.csv", "channels": {"rpm": [)";
    for (int i = 0; i < 4096; ++i) many += std::string(i > 0 ? "," : "") + R"({"control": "c", "attribute": "v"})";
    many += "]}}}";
    std::string rows = "t,rpm\n";
    for (int i = 0; i <= 1024; ++i) rows += "0,1\n";
    EXPECT_EQ(rpm_of(rows, many),
              "lap.csv:1026: more than 1024 rows of 4096 channels (4194304 values at most)");
    std::string million = "t,rpm\n";
    for (int i = 0; i <= 1000000; ++i) million += "0,0\n";
    EXPECT_EQ(rpm_of(million), "lap.csv:1000002: more than 1000000 rows");
}

// ---- playing tracks on the recording context ---------------------------------------------------

// Frames of a scene played at `fps` on the recording context: frame 0 drawn whole, later frames
// only what their changes dirtied. Each frame's trace lines, and the controls drawn in it.
struct played {
    pitwall::error err;
    std::vector<strings> frames;
    std::vector<strings> drawn;
};

played play(const std::string &json, double fps, size_t count) {
    played p;
    pitwall::scene s;
    if (!pitwall::parse_scene(json, "/scenes", s, &p.err)) return p;
    pitwall::engine eng("/app");
    std::vector<pitwall::error> load_errors;
    eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &load_errors);
    if (p.err = pitwall::check_tracks(eng, s); !p.err.empty()) return p;
    pitwall::recording_context rec(eng);
    pitwall::scene_run run;
    if (p.err = run.build(eng, s, &rec); !p.err.empty()) return p;
    pitwall::track_player player(s);
    size_t seen = 0;
    for (size_t i = 0; i < count; ++i) {
        if (p.err = run.apply(player.step_at(double(i) / fps)); !p.err.empty()) break;
        strings drawn;
        auto note = [&](const pitwall::draw_result &r) { drawn.push_back(r.control); };
        if (i == 0) run.draw(rec.context(), note);
        else run.draw_changed(rec.context(), {}, note);
        const std::string text = rec.trace_text();
        std::istringstream in(text.substr(seen));
        seen = text.size();
        strings lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        p.frames.push_back(lines);
        p.drawn.push_back(drawn);
    }
    run.clear();
    return p;
}

// The first background fill of a frame's trace (a Basic Box starts with it), "none" without one.
std::string fill_of(const strings &lines) {
    for (const std::string &l : lines)
        if (l.rfind("fill_rect ", 0) == 0) return l.substr(l.rfind(' ') + 1);
    return "none";
}

bool has_text(const strings &lines, const std::string &text) {
    for (const std::string &l : lines)
        if (l.rfind("draw_text ", 0) == 0 && l.find("\"" + text + "\"") != std::string::npos) return true;
    return false;
}

const std::string k_box = R"({"canvas": {"width": 200, "height": 100},
  "fonts": {"fonts/CPMono_v07 Plain.otf": "mono.ttf"},
  "controls": [
    {"widget": "Basic Box", "name": "box", "x": 10, "y": 10, "width": 180, "height": 80,
     "attributes": {"color_bg": "#000000", "upper_bg": "#b3121f", "font_size": 16, "value": 0, "render_text": "-"}}],)";

// At 4 frames a second frame i shows the scene at i / 4 s: the background from black to #8040c8
// over one second is a quarter further each frame, and the text changes at 0.5 s (frame 2).
TEST(tracks_played, frame_i_shows_the_value_at_i_over_fps) {
    const played p = play(k_box + R"("tracks": [
        {"control": "box", "attribute": "color_bg", "keys": [[0, "#000000"], [1, "#8040c8"]]},
        {"control": "box", "attribute": "render_text", "keys": [[0, "A"], [0.5, "B"]]}]})",
                          4, 5);
    ASSERT_EQ(p.err, "");
    // red 0x80 * i / 4, green 0x40 * i / 4, blue 200 * i / 4 = 0, 50, 100, 150, 200.
    const char *fills[] = {"#000000", "#201032", "#402064", "#603096", "#8040c8"};
    const char *texts[] = {"A", "A", "B", "B", "B"};
    ASSERT_EQ(p.frames.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(fill_of(p.frames[i]), fills[i]) << "frame " << i;
        EXPECT_TRUE(has_text(p.frames[i], texts[i])) << "frame " << i;
    }
}

// Upper limit 100, hysteresis 5, at 2 frames a second: 99, 100, 101, 98.5, 96, 95, 94. Red from
// 100 on, still red inside the band (98.5 to 95, below the limit), normal again at 94.
TEST(tracks_played, hysteresis_holds_the_upper_colour_across_frames) {
    std::string limited = k_box;
    limited.replace(limited.find("\"value\": 0"), 10,
                    R"("value": 0, "upper_limit": 1, "upper_value": 100, "upper_hyst": 5)");
    const played p = play(limited + R"("tracks": [{"control": "box", "attribute": "value",
        "keys": [[0, 99.0], [1, 101.0], [2, 96.0], [3, 94.0]]}]})",
                          2, 7);
    ASSERT_EQ(p.err, "");
    const std::string black = "#000000", red = "#b3121f";
    const strings expected = {black, red, red, red, red, red, black};
    strings fills;
    for (const strings &f : p.frames) fills.push_back(fill_of(f));
    EXPECT_EQ(fills, expected);
}

// Only what a frame's changes dirty is drawn: "a" changes every frame until its last key, "b"
// only at 0.5 s; a value that stays is not set again, so a still scene draws nothing.
TEST(tracks_played, only_controls_whose_tracks_changed_are_redrawn) {
    const played p = play(R"({"canvas": {"width": 200, "height": 100}, "controls": [
        {"widget": "Basic Box", "name": "a", "x": 0, "y": 0, "width": 90, "height": 40},
        {"widget": "Basic Box", "name": "b", "x": 100, "y": 0, "width": 90, "height": 40}],
      "tracks": [
        {"control": "a", "attribute": "value", "keys": [[0, 1.0], [1, 2.0]]},
        {"control": "b", "attribute": "render_text", "keys": [[0, "x"], [0.5, "y"]]}]})",
                          4, 7);
    ASSERT_EQ(p.err, "");
    const std::vector<strings> expected = {{"a", "b"}, {"a"}, {"a", "b"}, {"a"}, {"a"}, {}, {}};
    EXPECT_EQ(p.drawn, expected);
}

TEST(tracks_played, a_track_must_name_a_control_and_an_attribute_it_has) {
    const struct {
        std::string track, error;
    } cases[] = {
        {R"({"control": "gone", "attribute": "value", "keys": [[0, 1]]})", "5:141: track 1: no control named \"gone\""},
        {R"({"control": "bx", "attribute": "value", "keys": [[0, 1]]})",
         "5:141: track 1: no control named \"bx\" (did you mean \"box\"?)"},
        {R"({"control": "box", "attribute": "colour", "keys": [[0, 1]]})",
         "5:161: track 1: control \"box\" has no attribute \"colour\" (did you mean \"color\"?)"},
    };
    for (const auto &c : cases) EXPECT_EQ(play(k_box + "\"tracks\": [" + c.track + "]}", 1, 1).err, c.error);
}

} // namespace
