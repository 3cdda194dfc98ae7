// What a new user meets first, through the tool of this build: text without a font map, the log
// by level name and as --quiet and --verbose let it through, `pitwall new` and `pitwall snippet`
// drawn by the real plug-ins.
#include "tool_test.h"

#include "pitwall/png_file.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace pitwall::testing {
namespace {

class starting_points : public tool_test {
protected:
    static std::string slurp(const std::string &path) {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }

    // A scene rendered as it is, and again with the default font name mapped to a file that is
    // not there: wherever text was drawn the two pictures differ.
    struct drawn {
        int exit_code = -1;
        std::string err; // of the first render
        argb_image with_text, without_text;
    };
    drawn draw(nlohmann::ordered_json scene) {
        drawn out;
        const tool_result r = pitwall({"render", write("drawn.json", scene.dump()), "-o", dir + "/with.png"});
        out.exit_code = r.exit_code;
        out.err = r.err;
        scene["fonts"] = {{"fonts/CPMono_v07 Plain.otf", "/nonexistent/none.ttf"}};
        pitwall({"render", write("no-text.json", scene.dump()), "-o", dir + "/without.png"});
        std::string why;
        EXPECT_TRUE(read_png(dir + "/with.png", &out.with_text, &why)) << why;
        EXPECT_TRUE(read_png(dir + "/without.png", &out.without_text, &why)) << why;
        return out;
    }

    // The pixels of a rectangle of a picture, to compare.
    static std::vector<uint32_t> area(const argb_image &png, int x, int y, int w, int h) {
        std::vector<uint32_t> pixels;
        for (int row = y; row < y + h && row < png.height; ++row)
            for (int col = x; col < x + w && col < png.width; ++col) pixels.push_back(png.at(col, row));
        return pixels;
    }
};

// White text on black: a box whose only bright pixels are its value text.
const std::string k_text_box = R"({"canvas": {"width": 200, "height": 60, "background": "#000000"},
  "controls": [{"widget": "Basic Box", "width": 200, "height": 60,
                "attributes": {"color_bg": "#000000", "color_box": "#000000", "color_text": "#ffffff",
                               "font_size": 24, "render_text": "88:88"}}]})";

// No "fonts" in the scene: the default font name resolves to the theme's DejaVu font, so the text
// is drawn; a scene's own map still comes first (here to a missing file, which the engine reports).
TEST_F(starting_points, text_shows_without_a_font_map_and_a_scenes_map_wins) {
    const std::string scene = write("plain.json", k_text_box);
    const tool_result r = pitwall({"render", scene, "-o", dir + "/plain.png"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    argb_image png;
    std::string why;
    ASSERT_TRUE(read_png(dir + "/plain.png", &png, &why)) << why;
    int bright = 0;
    for (int y = 0; y < png.height; ++y)
        for (int x = 0; x < png.width; ++x) bright += (png.at(x, y) & 0xffu) > 0x80u;
    EXPECT_GT(bright, 100) << "five 24-pixel glyphs leave many white pixels";

    const tool_result t = pitwall({"trace", scene});
    ASSERT_EQ(t.exit_code, 0) << t.err;
    EXPECT_NE(t.out.find("res_lookup font \"fonts/CPMono_v07 Plain.otf\" size=24 -> ok\n"), std::string::npos) << t.out;
    EXPECT_NE(t.out.find("draw_text "), std::string::npos) << t.out;
    EXPECT_EQ(t.out.find("Couldn't get font reference"), std::string::npos) << t.out;

    std::string mapped = k_text_box;
    mapped.insert(1, R"("fonts": {"fonts/CPMono_v07 Plain.otf": "/nonexistent/Mono.ttf"}, )");
    const tool_result m = pitwall({"render", write("mapped.json", mapped), "-o", dir + "/mapped.png"});
    EXPECT_NE(m.err.find("pitwall: cannot open font \"fonts/CPMono_v07 Plain.otf\" (/nonexistent/Mono.ttf)"),
              std::string::npos)
        << m.err;
}

// One scene with a line at each level: a Modern Alarm loads its images (info), a bar with more
// ticks than it takes (warning), a box whose font is missing, its name with an escape (error).
TEST_F(starting_points, log_lines_by_level_name_as_quiet_and_verbose_let_them_through) {
    std::string ticks;
    for (int i = 0; i < 60; ++i) ticks += (i ? "|;" : ";") + std::to_string(i);
    const std::string scene = write("levels.json", R"({"canvas": {"width": 400, "height": 200},
      "controls": [
        {"widget": "Modern Alarm", "width": 200, "height": 60,
         "attributes": {"render_text": "OIL", "icon_idx": 9, "icon_color": 1, "lower_box": 6, "color_box": 8,
                        "upper_box": 2, "value": 1}},
        {"widget": "Common Vertical Bar", "x": 200, "width": 80, "height": 200,
         "attributes": {"tick_pos": 2, "value_min": 0, "value_max": 100, "lower_bar": 6, "color_bar": 5, "upper_bar": 2,
                        "lower_tick": 1, "color_tick": 1, "upper_tick": 1, "ticks": ")" + ticks + R"("}},
        {"widget": "Basic Box", "y": 100, "width": 100, "height": 60,
         "attributes": {"font": "fonts/\u001b[2Jgone.otf", "render_text": "1"}}]})");
    const std::string info = "info: Modern Alarm: Loading image ";
    const std::string warning = "warning: Common Vertical Bar: More than 50 ticks are not supported!\n";
    const std::string error = "error: Basic Box: Couldn't get font reference fonts/\\x1b[2Jgone.otf\n";
    const struct {
        const char *option;
        bool info, warning;
    } cases[] = {{nullptr, false, true}, {"--quiet", false, false}, {"-q", false, false},
                 {"--verbose", true, true}, {"-v", true, true}};
    for (const auto &c : cases) {
        std::vector<std::string> args = {"render", scene, "-o", dir + "/levels.png"};
        if (c.option != nullptr) args.push_back(c.option);
        const tool_result r = pitwall(args);
        const std::string which = c.option != nullptr ? c.option : "(default)";
        EXPECT_EQ(r.exit_code, 0) << which << r.err;
        EXPECT_EQ(r.err.find(info) != std::string::npos, c.info) << which << "\n" << r.err;
        EXPECT_EQ(r.err.find(warning) != std::string::npos, c.warning) << which << "\n" << r.err;
        EXPECT_NE(r.err.find(error), std::string::npos) << "errors always: " << which << "\n" << r.err;
        for (const char *raw : {"\n0 ", "\n1 ", "\n2 "}) EXPECT_EQ(("\n" + r.err).find(raw), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << "no escape reaches the terminal";
    }
    for (const char *command : {"attrs", "trace", "render", "animate", "serve", "gallery", "lint", "new", "snippet"}) {
        const tool_result help = run_pitwall({command, "--help"}, dir);
        EXPECT_NE(help.out.find("--quiet"), std::string::npos) << command;
        EXPECT_NE(help.out.find("--verbose"), std::string::npos) << command;
    }
    const tool_result both = pitwall({"render", scene, "-o", dir + "/levels.png", "--quiet", "--verbose"});
    EXPECT_EQ(both.exit_code, 2);
    EXPECT_NE(both.err.find("excludes"), std::string::npos) << both.err;

    // The trace keeps its own record of the log, levels as numbers, whatever the verbosity.
    const tool_result plain = pitwall({"trace", scene});
    const tool_result quiet = pitwall({"trace", scene, "--quiet"});
    EXPECT_EQ(plain.out, quiet.out);
    EXPECT_NE(plain.out.find("log 2 Modern Alarm: Loading image "), std::string::npos);
    EXPECT_NE(plain.out.find("log 1 Common Vertical Bar: More than 50 ticks are not supported!\n"), std::string::npos);
}

// `new` writes a scene whose every control draws, with text that fits, at the size asked (the
// smallest, a board's 320x240, too); it never writes over a file or through a link.
TEST_F(starting_points, new_writes_a_scene_that_draws_and_never_replaces_a_file) {
    const std::string scene = dir + "/dash.json";
    for (const auto &[width, height] : {std::pair{640, 360}, std::pair{320, 240}, std::pair{1280, 480}}) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        SCOPED_TRACE(size);
        std::filesystem::remove(scene);
        const tool_result made = pitwall({"new", "-o", scene, "--size", size});
        ASSERT_EQ(made.exit_code, 0) << made.err;
        EXPECT_EQ(made.out, scene + "\n");
        const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(slurp(scene));
        EXPECT_FALSE(doc.contains("fonts"));
        EXPECT_EQ(doc["canvas"]["width"], width);
        EXPECT_EQ(doc["canvas"]["height"], height);
        ASSERT_EQ(doc["controls"].size(), 5u);
        const drawn d = draw(doc);
        EXPECT_EQ(d.exit_code, 0) << d.err;
        EXPECT_EQ(d.err, "") << "no failed draw, no font error, no text cut by its clip";
        for (const auto &c : doc["controls"]) {
            const int x = c["x"], y = c["y"], w = c["width"], h = c["height"];
            EXPECT_GE(x, 0);
            EXPECT_LE(x + w, width) << c["widget"];
            EXPECT_LE(y + h, height) << c["widget"];
            EXPECT_NE(area(d.with_text, x, y, w, h), area(d.without_text, x, y, w, h)) << c["widget"] << ": no text";
        }
    }

    const std::string precious = write("precious.json", "{\"keep\": true}");
    std::filesystem::create_symlink(precious, dir + "/link.json");
    std::filesystem::create_symlink(dir + "/nowhere.json", dir + "/dangling.json");
    for (const std::string name : {"dash.json", "precious.json", "link.json", "dangling.json"}) {
        const std::string before = slurp(dir + "/" + name);
        const tool_result again = pitwall({"new", "-o", dir + "/" + name});
        EXPECT_EQ(again.exit_code, 2) << name;
        EXPECT_EQ(again.err, "pitwall new: " + dir + "/" + name + ": already exists; choose another name or remove it first\n");
        EXPECT_EQ(slurp(dir + "/" + name), before) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/nowhere.json")) << "the link was not followed";
    for (const char *size : {"100x100", "800", "800x480x2", "-800x480", "40000x480"}) {
        const tool_result bad = pitwall({"new", "-o", dir + "/other.json", "--size", size});
        EXPECT_EQ(bad.exit_code, 2) << size;
        EXPECT_NE(bad.err.find("the size is WIDTHxHEIGHT, from 320x240 to 32767x32767 pixels"), std::string::npos)
            << bad.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/other.json"));
    for (const auto &[args, named] : {std::pair{std::vector<std::string>{"new"}, "--output"},
                                      std::pair{std::vector<std::string>{"snippet"}, "WIDGET"}}) {
        const tool_result usage = pitwall(args);
        EXPECT_EQ(usage.exit_code, 2) << args[0];
        EXPECT_NE(usage.err.find(named), std::string::npos) << usage.err;
    }
}

// Every widget's snippet, placed three times with the values (and texts) of its states, draws
// each time, with text where the widget has text, and the states look different.
TEST_F(starting_points, every_snippet_draws_in_each_threshold_state) {
    const tool_result attrs = pitwall({"attrs"});
    ASSERT_EQ(attrs.exit_code, 0);
    std::vector<std::string> widgets;
    std::istringstream lines(attrs.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != ' ') widgets.push_back(line.substr(0, line.find(" (")));
    ASSERT_EQ(widgets.size(), 15u);

    for (const std::string &widget : widgets) {
        const tool_result s = pitwall({"snippet", widget});
        ASSERT_EQ(s.exit_code, 0) << widget << s.err;
        const nlohmann::ordered_json control = nlohmann::ordered_json::parse(s.out);
        EXPECT_EQ(control["widget"], widget);
        const int w = control["width"], h = control["height"];
        const std::vector<std::string> states = control.contains("_states")
                                                    ? std::vector<std::string>{"lower", "normal", "upper"}
                                                    : std::vector<std::string>{"normal"};
        nlohmann::ordered_json scene = {{"canvas", {{"width", int(states.size()) * w}, {"height", h}}},
                                        {"controls", nlohmann::ordered_json::array()}};
        for (size_t i = 0; i < states.size(); ++i) {
            nlohmann::ordered_json c = control;
            c["name"] = states[i];
            c["x"] = int(i) * w;
            if (control.contains("_states"))
                for (const auto &[key, value] : control["_states"][states[i]].items()) c["attributes"][key] = value;
            scene["controls"].push_back(c);
        }
        const drawn d = draw(scene);
        EXPECT_EQ(d.exit_code, 0) << widget << "\n" << d.err;
        EXPECT_EQ(d.err, "") << widget;
        for (size_t i = 0; i < states.size(); ++i) {
            const int x = int(i) * w;
            if (widget != "SplashImage") {
                EXPECT_NE(area(d.with_text, x, 0, w, h), area(d.without_text, x, 0, w, h)) << widget << " " << states[i];
            }
            if (i > 0) {
                EXPECT_NE(area(d.with_text, x, 0, w, h), area(d.with_text, x - w, 0, w, h))
                    << widget << ": " << states[i] << " looks like " << states[i - 1];
            }
        }
    }
    const tool_result unknown = pitwall({"snippet", "Basic Bx"});
    EXPECT_EQ(unknown.exit_code, 2);
    EXPECT_EQ(unknown.err.rfind("pitwall snippet: no plug-in named \"Basic Bx\"; the widgets are: ", 0), 0u) << unknown.err;
    EXPECT_EQ(unknown.out, "");
}

} // namespace
} // namespace pitwall::testing
