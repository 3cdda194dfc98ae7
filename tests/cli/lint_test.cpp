// `pitwall lint` end to end, and the reasons render and trace give after a failed draw: every
// finding at its line and column, the exit code nonzero for an error.
#include "tool_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace pitwall::testing {
namespace {

class lint_cli : public tool_test {};

// A box without a colour of its palette (0 where it starts at 1), an image that is not there, a
// misspelt attribute, two controls over each other, and a text wider than its label.
const char *k_faulty = R"({"canvas": {"width": 400, "height": 200},
  "controls": [
    {"widget": "Modern Box", "name": "box", "width": 200, "height": 100,
     "attributes": {"color_box": 0, "render_text": "42"}},
    {"widget": "SplashImage", "name": "logo", "x": 150, "y": 50, "width": 100, "height": 100,
     "attributes": {"logo_path": "images/nowhere.png"}},
    {"widget": "Label", "name": "note", "x": 300,
     "attributes": {"render_txt": "x"}},
    {"widget": "Label", "name": "speed", "x": 0, "y": 160, "width": 60, "height": 30,
     "attributes": {"render_text": "184 km/h", "font_size": 24, "color": "#ffffff"}}
  ]
})";

const char *k_palette = R"(the Modern Box palette (1 white, 2 red, 3 yellow, 4 orange, 5 green, 6 blue, 7 violet, 8 grey, 9 black))";

TEST_F(lint_cli, reports_each_fault_at_its_place_and_fails) {
    const std::string scene = write("faulty.json", k_faulty);
    const tool_result r = pitwall({"lint", scene});
    EXPECT_EQ(r.exit_code, 1) << r.err;
    const std::string missing = std::string(PITWALL_APP_DIR) + "/images/nowhere.png";
    const std::vector<std::string> expected = {
        scene + R"(:8:35: error: control "note": "Label" has no attribute "render_txt" (did you mean "render_text"?))",
        scene + R"(:4:34: error: control "box": "color_box" is 0, outside )" + k_palette +
            ": the draw fails while the widget is in the normal state",
        scene + R"(:6:34: error: control "logo": image )" + missing + R"( ("logo_path") is missing)",
        scene + R"(:9:5: warning: control "speed": text "184 km/h" cut by its clip (50 px left))",
        scene + R"(:3:5: error: control "box" (Modern Box) will not draw: its draw returns -1)",
        scene + R"(:5:5: error: control "logo" (SplashImage) will not draw: its draw returns -1)",
        scene + R"(:5:5: warning: control "logo" overlaps control "box" (50x50 pixels at 150,50); it is drawn over it)",
        scene + ": 5 errors, 2 warnings",
    };
    std::vector<std::string> lines;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    EXPECT_EQ(lines, expected) << r.out;

    // Without the faults there is nothing to say but the overlap and the cut text, warnings.
    std::string fixed = k_faulty;
    fixed.replace(fixed.find("\"color_box\": 0"), 14, "\"color_box\": \"green\"");
    fixed.replace(fixed.find("\"images/nowhere.png\""), 20, "\"images/ModernBox/green_box.9.png\"");
    fixed.replace(fixed.find("render_txt"), 10, "render_text");
    const tool_result clean = pitwall({"lint", write("fixed.json", fixed)});
    EXPECT_EQ(clean.exit_code, 0) << clean.out << clean.err;
    EXPECT_NE(clean.out.find(": 0 errors, 2 warnings\n"), std::string::npos) << clean.out;

    // An unset lower colour is a fault only while the lower limit can put the box there.
    const tool_result limit = pitwall({"lint", write("limit.json", R"({"controls": [{"widget": "Modern Box",
        "attributes": {"color_box": 5, "lower_limit": 1, "lower_value": 10, "value": 3}}]})")});
    EXPECT_EQ(limit.exit_code, 1);
    EXPECT_NE(limit.out.find(R"(:1:15: error: control "Modern Box": "lower_box" is 0 (not set), outside )" +
                             std::string(k_palette) + ": the draw fails while the widget is in the lower state"),
              std::string::npos)
        << limit.out;
    EXPECT_EQ(limit.out.find("upper_box"), std::string::npos) << limit.out;
}

// render and trace say why after the failed draw's line; trace looks at the images the scene stages.
TEST_F(lint_cli, render_and_trace_give_the_reasons_after_a_failed_draw) {
    std::string text = k_faulty;
    text.replace(text.find("render_txt"), 10, "render_text");
    const std::string scene = write("faulty.json", text);
    const tool_result r = pitwall({"render", scene, "-o", dir + "/out.png"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("pitwall render: control \"box\" (Modern Box) failed to draw: result -1\n  " + scene +
                         R"(:4:34: error: control "box": "color_box" is 0, outside )" + k_palette),
              std::string::npos)
        << r.err;
    // The text its label cuts is said too, as a warning.
    EXPECT_NE(r.err.find(R"(pitwall render: warning: control "speed": text "184 km/h" cut by its clip (50 px left))"),
              std::string::npos)
        << r.err;
    const tool_result t = pitwall({"trace", scene});
    EXPECT_EQ(t.exit_code, 1);
    EXPECT_NE(t.err.find("pitwall trace: control \"logo\" (SplashImage) failed to draw: result -1\n  " + scene +
                         R"(:6:34: error: control "logo": image images/nowhere.png ("logo_path") is missing)"),
              std::string::npos)
        << t.err;

    // A widget no plug-in registers is named at its place; a slip from a known one gets its name.
    const std::string slip = write("slip.json", R"({"controls": [
      {"widget": "Splash Image"}]})");
    const std::string unknown = write("unknown.json", R"({"controls": [
      {"widget": "Warp Drive"}]})");
    for (const char *command : {"render", "trace", "lint"}) {
        for (const auto &[file, message] :
             {std::pair{slip, slip + R"(:2:18: control "Splash Image": no plug-in registers "Splash Image" (did you mean "SplashImage"?))"},
              std::pair{unknown, unknown + R"(:2:7: control "Warp Drive": no plug-in registers "Warp Drive")"}}) {
            std::vector<std::string> args{command, file};
            if (std::string(command) == "render") args.insert(args.end(), {"-o", dir + "/u.png"});
            const tool_result u = pitwall(args);
            EXPECT_NE(u.exit_code, 0) << command;
            EXPECT_NE(u.err.find(message), std::string::npos) << command << ": " << u.err;
        }
    }
}

} // namespace
} // namespace pitwall::testing
