// Number formats: clock patterns and printf conversions written by hand-worked cases, hostile
// formats refused with their reason, and formatted tracks and telemetry channels driving a real
// Basic Box's render_text through the scene player.
#include "pitwall/scene_run.h"
#include "pitwall/scene_tracks.h"
#include "pitwall/value_format.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

using pitwall::value_format;

std::string written(const std::string &format, double value) {
    pitwall::error why;
    std::optional<value_format> f = value_format::parse(format, &why);
    if (!f) return "refused: " + why;
    return (*f)(value);
}

TEST(value_format, clock_patterns_round_at_the_last_digit_then_carry) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char *format;
        double value;
        const char *expected;
    } cases[] = {
        {"m:ss.SSS", 83.456, "1:23.456"},
        {"m:ss.SSS", 83.4564, "1:23.456"},  // rounds down below the half
        {"m:ss.SSS", 83.4565, "1:23.457"},  // and up from it (83.4565 is 83.45650000000000546 as a double)
        {"m:ss.SSS", 59.9996, "1:00.000"},  // 59999.6 ms rounds to 60000: the minute carries
        {"m:ss.SSS", 0, "0:00.000"},
        {"m:ss.SSS", 600, "10:00.000"},     // the largest unit is not wrapped
        {"m:ss.SSS", -83.456, "-1:23.456"},
        {"m:ss.SSS", -0.0001, "0:00.000"},  // rounds to zero: no sign
        {"mm:ss", 65.5, "01:06"},           // half a second rounds up, away from zero
        {"mm:ss", -65.5, "-01:06"},
        {"h:mm:ss", 3725, "1:02:05"},
        {"h:mm:ss", 90000, "25:00:00"},
        {"hh:mm", 3599, "01:00"},           // 59.98 minutes round to the hour
        {"ss.S", 83.45, "83.5"},            // 834.5 tenths (83.4500000000000028) rounds up
        {"s.SS", 0.125, "0.13"},            // 12.5 hundredths: half away from zero
        {"s", 7.49, "7"},
        {"m:ss.SSSSSS", 1.0000006, "0:01.000001"},
        {"m:ss.SSS", std::nan(""), "-:--.---"},
        {"m:ss.SSS", inf, "-:--.---"},
        {"m:ss.SSS", -inf, "-:--.---"},
        {"m:ss.SSS", 1e300, "-:--.---"},     // too many milliseconds to count exactly
        {"h:mm:ss", 9e15, "2500000000000:00:00"},
    };
    for (const auto &c : cases) EXPECT_EQ(written(c.format, c.value), c.expected) << c.format << " of " << c.value;
}

TEST(value_format, printf_conversions_with_units_as_text) {
    const struct {
        std::string format;
        double value;
        std::string expected;
    } cases[] = {
        {"%+.3f", 0.25, "+0.250"},
        {"%+.3f", -0.25, "-0.250"},
        {"%.0f km/h", 212.5, "212 km/h"},   // printf rounds half to even
        {"%.0f km/h", 213.5, "214 km/h"},
        {"%5.1f%%", 7.25, "  7.2%"},        // 7.25 is exact: half to even gives 7.2
        {"%-6.1fC", 95.04, "95.0  C"},
        {"%e", 1234.5, "1.234500e+03"},
        {"%.3g bar", 1.23456, "1.23 bar"},
        {"%08.2f", -3.14159, "-0003.14"},
        {std::string(200, '=') + "%.0f", 3, std::string(200, '=') + "3"}, // longer than the first buffer: written whole
        {"%.1f", std::nan(""), "nan"},
        {"lap %.0f of 20", 3, "lap 3 of 20"},
    };
    for (const auto &c : cases) EXPECT_EQ(written(c.format, c.value), c.expected) << c.format << " of " << c.value;
}

TEST(value_format, hostile_and_malformed_formats_are_refused_with_the_reason) {
    const struct {
        std::string format;
        const char *reason;
    } cases[] = {
        {"", "empty; write a clock pattern such as m:ss.SSS or a printf conversion such as %.1f"},
        {"%s", "%s does not write a number: use %f, %e or %g"},
        {"%n", "%n is not allowed"},
        {"%.2f%n", "%n is not allowed"},
        {"%f %f", "more than one conversion; a format writes one number"},
        {"%d rpm", "%d writes an integer argument; the number is a fraction: use %.0f"},
        {"%lf", "a length modifier is not taken: the number is a double, write %f"},
        {"%*f", "a width or precision from an argument (*) is not taken"},
        {"%.*f", "a width or precision from an argument (*) is not taken"},
        {"%1$f", "a numbered argument ($) is not taken"},
        {"%999f", "a width is at most 64"},
        {"%65f", "a width is at most 64"},
        {"%.18f", "a precision is at most 17"},
        {"%++f", "the flag '+' is given twice"},
        {"100%", "ends in a lone '%' (write %% for a percent sign)"},
        {"%%", "no conversion for the number: write %f, %e or %g (%% is a percent sign)"},
        {"%.2", "a conversion is not finished: end it with f, e, g or a"},
        {"%k", "'%k' is not a conversion: use %f, %e or %g"},
        {std::string("%f\0%n", 5), "holds a NUL byte"},
        {"m:ss.SSSSSSS", "the seconds' decimals are one to six S at the end (.S to .SSSSSS)"},
        {"h:ss", "the units go from hours to minutes to seconds, none left out or repeated"},
        {"ss:mm", "the units go from hours to minutes to seconds, none left out or repeated"},
        {"mmm:ss", "at most two 'm' a unit"},
        {"m.SS", "'.' after m: units are separated by ':', and only seconds take decimals (.S to .SSSSSS)"},
        {"m:", "ends after ':' (h, m, s, ':', '.' and S, as in m:ss.SSS; a printf format holds a '%')"},
        {"lap m:ss", "'l' is not part of a clock pattern (h, m, s, ':', '.' and S, as in m:ss.SSS; a printf format holds a '%')"},
    };
    for (const auto &c : cases) {
        pitwall::error why;
        EXPECT_FALSE(value_format::parse(c.format, &why)) << c.format;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.format << ": " << why;
        EXPECT_EQ(why.rfind("format \"", 0), 0u) << why;
    }
    pitwall::error why;
    EXPECT_FALSE(value_format::parse("%f" + std::string(value_format::max_length, 'x'), &why));
    EXPECT_NE(why.find("longer than 256 bytes"), std::string::npos) << why;
    EXPECT_FALSE(value_format::parse("\x1b[2J%f%s", &why));
    EXPECT_EQ(why.rfind("format \"\\x1b[2J%f%s\": ", 0), 0u) << "control characters are shown escaped: " << why;
}

// ---- formatted tracks and channels through the scene player --------------------------------------

class formatted_scene : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/formats." +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }

    std::string parse_error(const std::string &json) {
        pitwall::scene s;
        pitwall::error err;
        return pitwall::parse_scene(json, dir, s, &err) ? "" : err;
    }

    // The texts the box draws at each time, played frame by frame on the recording context.
    std::vector<std::string> texts_at(const std::string &json, const std::vector<double> &times, pitwall::error *err) {
        std::vector<std::string> texts;
        pitwall::scene s;
        if (!pitwall::parse_scene(json, dir, s, err)) return texts;
        pitwall::engine eng("/app");
        std::vector<pitwall::error> load_errors;
        eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &load_errors);
        if (*err = pitwall::check_tracks(eng, s); !err->empty()) return texts;
        pitwall::recording_context rec(eng);
        pitwall::scene_run run;
        if (*err = run.build(eng, s, &rec); !err->empty()) return texts;
        pitwall::track_player player(s);
        for (double t : times) {
            if (*err = run.apply(player.step_at(t)); !err->empty()) break;
            rec.clear_trace();
            run.draw(rec.context());
            std::string drawn = "none";
            std::istringstream lines(rec.trace_text());
            for (std::string line; std::getline(lines, line);)
                if (line.rfind("draw_text ", 0) == 0) drawn = line.substr(line.find('"'), line.find('"', line.find('"') + 1) - line.find('"') + 1);
            texts.push_back(drawn);
        }
        run.clear();
        return texts;
    }
};

const std::string k_box = R"({"canvas": {"width": 200, "height": 100},
  "fonts": {"fonts/CPMono_v07 Plain.otf": "mono.ttf"},
  "controls": [{"widget": "Basic Box", "name": "lap", "width": 200, "height": 100,
                "attributes": {"font_size": 16, "render_text": "-", "value": 0}}],)";

// A lap-time column in seconds shows as m:ss.SSS; between rows the time moves smoothly, even
// between whole seconds; a speed column shows with its unit.
TEST_F(formatted_scene, a_telemetry_column_drives_text_through_its_format) {
    std::ofstream(dir + "/lap.csv") << "t,lap,speed\n0,83,212\n1,84,213.6\n";
    pitwall::error err;
    const std::string good = k_box + R"("telemetry": {"file": "lap.csv", "channels": {
        "lap": {"control": "lap", "attribute": "render_text", "format": "m:ss.SSS"}}}})";
    EXPECT_EQ(texts_at(good, {0, 0.5, 0.4567, 1}, &err),
              (std::vector<std::string>{"\"1:23.000\"", "\"1:23.500\"", "\"1:23.457\"", "\"1:24.000\""}));
    EXPECT_EQ(err, "");
    const std::string speed = k_box + R"("telemetry": {"file": "lap.csv", "channels": {
        "speed": {"control": "lap", "attribute": "render_text", "format": "%.0f km/h", "interpolation": "step"}}}})";
    EXPECT_EQ(texts_at(speed, {0, 0.9, 1}, &err),
              (std::vector<std::string>{"\"212 km/h\"", "\"212 km/h\"", "\"214 km/h\""}));
    EXPECT_EQ(err, "");
}

TEST_F(formatted_scene, a_written_track_with_a_format_counts_up_as_text) {
    pitwall::error err;
    const std::string json = k_box + R"("tracks": [{"control": "lap", "attribute": "render_text",
        "format": "%+.1f s", "keys": [[0, -2], [4, 2]]}]})";
    EXPECT_EQ(texts_at(json, {0, 1, 2, 3.5, 9}, &err),
              (std::vector<std::string>{"\"-2.0 s\"", "\"-1.0 s\"", "\"+0.0 s\"", "\"+1.5 s\"", "\"+2.0 s\""}));
    EXPECT_EQ(err, "");
    // A format on a number attribute is refused as the scene is read, at the format.
    const std::string on_value = k_box + R"("tracks": [{"control": "lap", "attribute": "value",
        "format": "%.1f", "keys": [[0, 1]]}]})";
    EXPECT_TRUE(texts_at(on_value, {0}, &err).empty());
    const size_t format_at = on_value.find("\"%.1f\"");
    const std::string line_column = std::to_string(1 + std::count(on_value.begin(), on_value.begin() + long(format_at), '\n')) +
                                    ":" + std::to_string(format_at - on_value.rfind('\n', format_at));
    EXPECT_EQ(err, line_column + ": track 1: a format writes text, but \"value\" of control \"lap\" (Basic Box) takes a number");
}

TEST_F(formatted_scene, format_errors_are_placed_at_the_format) {
    std::ofstream(dir + "/lap.csv") << "t,lap\n0,83\n";
    const std::string head = R"({"controls": [{"widget": "Basic Box", "name": "c"}], )";
    const struct {
        std::string rest, marker, message;
    } cases[] = {
        {R"("tracks": [{"control": "c", "attribute": "a", "format": "%s", "keys": [[0, 1]]}]})", "\"%s\"",
         "track 1: format \"%s\": %s does not write a number: use %f, %e or %g"},
        {R"("tracks": [{"control": "c", "attribute": "a", "format": 3, "keys": [[0, 1]]}]})", "3,",
         "track 1: \"format\" must be a string such as \"m:ss.SSS\" or \"%.1f\""},
        {R"("tracks": [{"control": "c", "attribute": "a", "format": "%f", "keys": [[0, "x"]]}]})", "\"%f\"",
         "track 1: a format writes numbers as text, and these keys are not numbers"},
        {R"("telemetry": {"file": "lap.csv", "channels": {"lap": {"control": "c", "attribute": "render_text", "format": "%n"}}}})",
         "\"%n\"", "telemetry \"lap.csv\" channel \"lap\": format \"%n\": %n is not allowed"},
    };
    for (const auto &c : cases) {
        const std::string json = head + c.rest;
        EXPECT_EQ(parse_error(json), "1:" + std::to_string(json.find(c.marker) + 1) + ": " + c.message) << c.rest;
    }
}

} // namespace
