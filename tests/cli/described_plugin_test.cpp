// Plug-ins that are not the project's own, as the tools meet them: one with a description file
// beside its library, one without, one whose file is broken, and a stand-in for one of the
// project's own widgets. attrs, lint, render, the gallery and the workbench's form all read the
// description; what it leaves out is "undescribed", and only the project's own widgets must
// describe every attribute.
#include "form_field.h"
#include "scratch_test.h"
#include "run_tool.h"
#include "workbench.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char *k_description = R"({
  "widget": "Test Lights",
  "what": "A row of lamps, one per 1000 rpm.",
  "attributes": [
    {"name": "rpm", "kind": "integer", "range": [0, 20000], "unit": "rpm", "default": "0", "help": "Engine speed."},
    {"name": "style", "kind": "choice", "values": {"fill": 0, "flash": 1}, "default": "fill",
     "help": "How the lamps light.", "when_invalid": "the draw fails"},
    {"name": "colour", "kind": "rgb", "help": "Lamp colour."}
  ]
}
)";

// Names and a colour for the described widget, every value in its range.
constexpr const char *k_good_scene = R"({"canvas": {"width": 400, "height": 60},
 "controls": [{"widget": "Test Lights", "name": "shift", "width": 400, "height": 60,
               "attributes": {"rpm": 9000, "style": "flash", "colour": "#ff0000"}}]})";

std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class described_plugin : public scratch_test {
protected:
    std::string plugins; // the scratch folder's plug-in folder

    void SetUp() override {
        scratch_test::SetUp();
        plugins = dir + "/plugins";
        fs::create_directories(plugins);
    }

    // The test widget's library copied into the plug-in folder, with `description` beside it
    // (none when empty); the description's path.
    std::string add(const std::string &name, const std::string &description) {
        const std::string library = "libgre-plugin-" + name;
        fs::copy_file(std::string(PITWALL_TEST_PLUGIN_DIR) + "/" + name + "/" + library + ".so",
                      plugins + "/" + library + ".so");
        if (description.empty()) return {};
        std::ofstream(plugins + "/" + library + ".json", std::ios::binary) << description;
        return plugins + "/" + library + ".json";
    }

    // The tool with the scratch plug-ins only: no stock widget to describe or draw.
    tool_result pitwall(std::vector<std::string> args) {
        args.insert(args.end(), {"--no-default-plugins", "--plugins", plugins});
        return run_pitwall(args, dir);
    }
};

struct run_case {
    std::string what;
    std::vector<std::string> args;
    int exit_code;
    std::vector<std::string> out; // each found in stdout
    std::vector<std::string> err; // each found in stderr
};

void check(const run_case &c, const tool_result &r) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.out << r.err;
    for (const std::string &s : c.out) EXPECT_NE(r.out.find(s), std::string::npos) << s << "\nin:\n" << r.out;
    for (const std::string &s : c.err) EXPECT_NE(r.err.find(s), std::string::npos) << s << "\nin:\n" << r.err;
}

TEST_F(described_plugin, attrs_lint_render_and_gallery_read_the_description_and_undescribed_is_no_failure) {
    const std::string description = add("TestLights", k_description);
    add("TestDial", "");
    const std::string good = write("good.json", k_good_scene);
    const std::string bad = write("bad.json", R"({"canvas": {"width": 400, "height": 60},
 "controls": [{"widget": "Test Lights", "name": "shift", "width": 400, "height": 60,
               "attributes": {"rpm": 25000, "style": "flsh"}}]})");
    const std::vector<run_case> table = {
        {"attrs prints the description and marks what it leaves out",
         {"attrs", "Test Lights"},
         0,
         {"  A row of lamps, one per 1000 rpm.\n  described by " + description + "\n",
          "   12  rpm              4s1  integer 0 to 20000, rpm Engine speed.\n",
          "   13  style            1u1  choice                 How the lamps light.\n",
          "names: fill (0), flash (1)\n", "outside the range: the draw fails\n",
          "   14  colour           4u1  colour                 Lamp colour.\n",
          "   15  caption          1s0  undescribed\n", "    0  x                4s1\n"},
         {}},
        {"attrs says what has no description",
         {"attrs", "Test Dial"},
         0,
         {"  undescribed (a description would be " + plugins + "/libgre-plugin-TestDial.json)\n",
          "   12  rpm              4s1  undescribed\n"},
         {}},
        {"lint takes the named values and is clean", {"lint", good}, 0, {good + ": 0 errors, 0 warnings"}, {}},
        {"lint checks the names and the range",
         {"lint", bad},
         1,
         {bad + ":3:54: error: control \"shift\": \"Test Lights\": attribute \"style\" (1u1) takes an integer or a "
                "name, not \"flsh\" (did you mean \"flash\"?); the names: fill (0), flash (1)",
          bad + ":3:38: warning: control \"shift\": \"rpm\" is 25000, outside 0 to 20000\n", bad + ": 1 error, 1 warning"},
         {}},
        {"render reads the names as lint does", {"render", good, "-o", dir + "/good.png"}, 0, {}, {}},
        {"the gallery describes it and passes", {"gallery", "-o", dir + "/gallery"}, 0,
         {dir + "/gallery/TestLights.png", dir + "/gallery/TestDial.png"}, {}},
    };
    for (const run_case &c : table) {
        const tool_result r = pitwall(c.args);
        check(c, r);
        EXPECT_EQ(r.err.find("no description"), std::string::npos) << r.err;
    }

    const std::string md = read_text(dir + "/gallery/README.md");
    EXPECT_NE(md.find("## Test Lights\n"), std::string::npos) << md;
    EXPECT_NE(md.find("A row of lamps, one per 1000 rpm.\n"), std::string::npos) << md;
    EXPECT_NE(md.find("| 12 | `rpm` | 4s1 | Engine speed. | 0 | integer 0 to 20000, rpm |\n"), std::string::npos) << md;
    EXPECT_NE(md.find("| 13 | `style` | 1u1 | How the lamps light. Names: fill (0), flash (1). Outside the range the draw "
                      "fails. | fill | choice |\n"),
              std::string::npos)
        << md;
    EXPECT_NE(md.find("| 15 | `caption` | 1s0 | undescribed |  |  |\n"), std::string::npos) << md;
    EXPECT_NE(md.find("## Test Dial\n\n![Test Dial](TestDial.png)\n\nUndescribed: no description file beside the library, or a "
                      "broken one.\n"),
              std::string::npos)
        << md;
    EXPECT_NE(read_text(dir + "/gallery/index.html").find("<td>undescribed</td>"), std::string::npos);
}

TEST_F(described_plugin, a_broken_file_is_reported_the_plugin_stays_undescribed_and_lint_fails) {
    const std::string description = add("TestLights", R"({"widget": "Test Lights",
  "attributes": [{"name": "rpm", "kind": "integr"}]})");
    const std::string good = write("good.json", R"({"canvas": {"width": 400, "height": 60},
 "controls": [{"widget": "Test Lights", "name": "shift", "width": 400, "height": 60, "attributes": {"rpm": 9000}}]})");
    const std::string message = description + ":2:42: attribute \"rpm\": no kind \"integr\" (did you mean \"integer\"?)";
    const std::vector<run_case> table = {
        {"attrs goes on", {"attrs", "Test Lights"}, 0, {"   12  rpm              4s1  undescribed\n"}, {"pitwall: " + message + "\n"}},
        {"lint fails for it",
         {"lint", good},
         1,
         {message.substr(0, message.find(": attribute")) +
              ": error: attribute \"rpm\": no kind \"integr\" (did you mean \"integer\"?) (\"Test Lights\" stays undescribed)\n",
          good + ": 1 error, 0 warnings"},
         {"pitwall: " + message + "\n"}},
        {"render goes on", {"render", good, "-o", dir + "/good.png"}, 0, {}, {"pitwall: " + message + "\n"}},
        {"the gallery goes on", {"gallery", "-o", dir + "/gallery"}, 0, {}, {"pitwall: " + message + "\n"}},
    };
    for (const run_case &c : table) {
        const tool_result r = pitwall(c.args);
        check(c, r);
        // Once, however many engines the command makes.
        EXPECT_EQ(r.err.find(message), r.err.rfind(message)) << c.what << ": " << r.err;
    }
}

TEST_F(described_plugin, the_projects_own_widgets_are_described_by_the_tool_only) {
    // A stand-in registering as SplashImage: the tool's description of SplashImage applies to it,
    // so its attributes beyond it are missing descriptions, and a file of its own is refused.
    const std::string description = add("SplashImage", R"({"widget": "SplashImage", "attributes": []})");
    const std::vector<run_case> table = {
        {"the gallery fails for the missing ones",
         {"gallery", "-o", dir + "/gallery"},
         1,
         {},
         {"pitwall gallery: no description of attribute SplashImage: rpm\n",
          "pitwall gallery: no description of attribute SplashImage: caption\n"}},
        {"its own file is refused", {"attrs", "SplashImage"}, 0, {},
         {"pitwall: " + description + ": \"SplashImage\" is described already by the project itself\n"}},
    };
    for (const run_case &c : table) check(c, pitwall(c.args));
}

TEST_F(described_plugin, the_workbench_form_shows_the_description_and_undescribed_otherwise) {
    add("TestLights", k_description);
    const std::string scene = write("scene.json", k_good_scene);
    cli::workbench::settings settings{scene, {plugins}, PITWALL_APP_DIR};
    settings.no_default_plugins = true;
    cli::workbench bench(settings);
    ASSERT_EQ(bench.load(), "");
    error err;
    const nlohmann::json form = bench.control_form("shift", &err);
    ASSERT_EQ(err, "");
    auto field = [&](const std::string &name) { return form_field(form, name); };
    struct expected {
        std::string name;
        nlohmann::json kind, help, min, max, unit, undescribed;
    };
    const std::vector<expected> table = {
        {"rpm", "int", "Engine speed. (integer 0 to 20000, rpm; default 0)", 0, 20000, "rpm", nullptr},
        {"style", "choice", "How the lamps light. (choice; default fill)", nullptr, nullptr, nullptr, nullptr},
        {"colour", "colour", "Lamp colour. (colour)", nullptr, nullptr, nullptr, nullptr},
        {"caption", "string", "undescribed", nullptr, nullptr, nullptr, true},
        {"x", "int", nullptr, nullptr, nullptr, nullptr, nullptr},
    };
    for (const expected &e : table) {
        SCOPED_TRACE(e.name);
        const nlohmann::json f = field(e.name);
        EXPECT_EQ(f["kind"], e.kind);
        EXPECT_EQ(f.value("help", nlohmann::json()), e.help);
        EXPECT_EQ(f.value("min", nlohmann::json()), e.min);
        EXPECT_EQ(f.value("max", nlohmann::json()), e.max);
        EXPECT_EQ(f.value("unit", nlohmann::json()), e.unit);
        EXPECT_EQ(f.value("undescribed", nlohmann::json()), e.undescribed);
    }
    EXPECT_EQ(field("style")["choices"], (nlohmann::json{{{"value", 0}, {"name", "fill"}}, {{"value", 1}, {"name", "flash"}}}));
    EXPECT_EQ(field("style")["value"], "flash") << "the value as the scene wrote it";
}

} // namespace
} // namespace pitwall::testing
