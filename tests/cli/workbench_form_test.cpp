// The workbench's form describes each attribute from the attribute catalog: palettes with their
// colour names, named values as choices (also when the scene wrote the name), and a help text.
#include "form_field.h"
#include "workbench.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace pitwall::cli {
namespace {

namespace fs = std::filesystem;

TEST(workbench_form, attributes_come_with_their_catalog_description) {
    std::string pattern = (fs::temp_directory_path() / "workbench-form-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path scene = fs::path(pattern) / "scene.json";
    std::ofstream(scene) << R"({"controls": [{"widget": "Modern Alarm", "name": "oil", "width": 300, "height": 80,
        "attributes": {"icon_idx": "oil", "color_box": "grey", "text_alignment": 5}}]})";
    {
        workbench bench(workbench::settings{scene.string(), {PITWALL_PLUGIN_DIR}, ""});
        ASSERT_EQ(bench.load(), "");
        error err;
        const nlohmann::json form = bench.control_form("oil", &err);
        ASSERT_EQ(err, "");
        auto field = [&](const std::string &name) { return testing::form_field(form, name); };
        const nlohmann::json icon = field("icon_idx");
        EXPECT_EQ(icon["kind"], "choice");
        EXPECT_EQ(icon["value"], "oil") << "the value as the scene wrote it";
        ASSERT_EQ(icon["choices"].size(), 23u);
        EXPECT_EQ(icon["choices"][9], (nlohmann::json{{"value", 9}, {"name", "oil"}}));
        EXPECT_EQ(icon["choices"][22], (nlohmann::json{{"value", 22}, {"name", "windshield_washer_fluid"}}));

        const nlohmann::json box = field("color_box");
        EXPECT_EQ(box["kind"], "palette");
        ASSERT_EQ(box["palette"].size(), 8u) << "the Modern Alarm's lamps come in eight colours";
        EXPECT_EQ(box["palette"][7], (nlohmann::json{{"index", 8}, {"name", "grey"}, {"rgb", 0x808080}}));

        const nlohmann::json align = field("text_alignment");
        EXPECT_EQ(align["kind"], "choice");
        EXPECT_EQ(align["choices"][1], (nlohmann::json{{"value", 5}, {"name", "center"}}));
        EXPECT_EQ(field("color_text")["kind"], "colour");
        EXPECT_EQ(field("font_size")["help"], "Pixel size of the text. (integer 0 to 65535, px; default 0)");
    }
    fs::remove_all(pattern);
}

} // namespace
} // namespace pitwall::cli
