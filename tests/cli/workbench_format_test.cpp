// A workbench change with a format: a number value becomes the text the format writes, saved as
// that text; a bad format or a value that is not a number is refused and draws nothing.
#include "workbench.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pitwall::cli {
namespace {

namespace fs = std::filesystem;

class workbench_format : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "workbench-format-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        std::ofstream(root / "scene.json") << R"({"canvas": {"width": 120, "height": 60},
          "controls": [{"widget": "Basic Box", "name": "lap", "width": 120, "height": 60,
                        "attributes": {"render_text": "-", "font_size": 20}}]})";
        bench = std::make_unique<workbench>(workbench::settings{(root / "scene.json").string(), {PITWALL_PLUGIN_DIR}, ""});
        ASSERT_EQ(bench->load(), "");
    }
    void TearDown() override {
        bench.reset();
        fs::remove_all(root);
    }
    fs::path root;
    std::unique_ptr<workbench> bench;
};

TEST_F(workbench_format, a_number_sets_a_text_through_its_format) {
    const struct {
        const char *request;
        const char *message;
    } refused[] = {
        {R"({"control": "lap", "attribute": "render_text", "value": 83.4, "format": "%n"})",
         R"(control "lap": attribute "render_text": format "%n": %n is not allowed)"},
        {R"({"control": "lap", "attribute": "render_text", "value": 83.4, "format": "%s%s"})",
         R"(control "lap": attribute "render_text": format "%s%s": %s does not write a number: use %f, %e or %g)"},
        {R"({"control": "lap", "attribute": "render_text", "value": "83.4", "format": "m:ss"})",
         R"(a "format" (a string) writes a "value" that is a number as text)"},
        {R"({"control": "lap", "attribute": "render_text", "value": 83.4, "format": 3})",
         R"(a "format" (a string) writes a "value" that is a number as text)"},
    };
    for (const auto &c : refused) {
        EXPECT_EQ(bench->apply_request(c.request), c.message) << c.request;
        EXPECT_EQ(bench->state()["frame"], 1) << "nothing was redrawn: " << c.request;
    }
    ASSERT_EQ(bench->apply_request(
                  R"({"control": "lap", "attribute": "render_text", "value": 83.4567, "format": "m:ss.SSS"})"),
              "");
    EXPECT_EQ(bench->state()["frame"], 2);
    ASSERT_EQ(bench->save({"saved.json"}), "");
    std::stringstream saved;
    saved << std::ifstream(root / "saved.json").rdbuf();
    EXPECT_EQ(nlohmann::json::parse(saved.str())["controls"][0]["attributes"]["render_text"], "1:23.457");
}

// The form offers a format beside the texts a widget draws, not beside a font name.
TEST_F(workbench_format, the_form_marks_the_drawn_texts_that_take_a_format) {
    error err;
    const nlohmann::json form = bench->control_form("lap", &err);
    ASSERT_EQ(err, "");
    std::vector<std::string> taking;
    for (const auto &field : form["attributes"])
        if (field.value("takes_format", false)) taking.push_back(field["name"]);
    EXPECT_EQ(taking, (std::vector<std::string>{"render_title", "render_text"}));
}

} // namespace
} // namespace pitwall::cli
