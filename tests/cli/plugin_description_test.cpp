// Description files read against a plug-in's table: what a good one becomes in the catalog's
// terms, and each kind of mistake with the place and words of its message.
#include "scratch_test.h"

#include "pitwall/plugin_description.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

// The table of the test widgets: the common attributes, then rpm, style, colour and caption.
const std::vector<gr_attribute_t> k_table = {
    {0, "x", GR_TYPE_INT32},        {1, "y", GR_TYPE_INT32},          {2, "width", GR_TYPE_UINT32},
    {3, "height", GR_TYPE_UINT32},  {4, "color", GR_TYPE_UINT32},     {5, "valign", GR_TYPE_UINT32},
    {6, "halign", GR_TYPE_UINT32},  {7, "rotation", GR_TYPE_FLOAT},   {8, "linewidth", GR_TYPE_UINT32},
    {9, "alpha", GR_TYPE_UINT32},   {10, "rot_center_x", GR_TYPE_FLOAT}, {11, "rot_center_y", GR_TYPE_FLOAT},
    {12, "rpm", GR_TYPE_INT32},     {13, "style", GR_TYPE_UINT8},     {14, "colour", GR_TYPE_UINT32},
    {15, "caption", GR_TYPE_STRING}};

constexpr const char *k_path = "/plugins/libgre-plugin-TestLights.json";

// A description whose one attribute is `attribute`.
std::string with_attribute(const std::string &attribute) {
    return R"({"widget": "Test Lights", "attributes": [)" + attribute + "]}";
}

TEST(plugin_description, a_good_file_reads_as_the_catalog_describes_a_widget) {
    const std::string text = R"({
  "widget": "Test Lights",
  "what": "A row of lamps.",
  "_note": "keys starting with an underscore are comments",
  "attributes": [
    {"name": "colour", "kind": "rgb", "help": "Lamp colour."},
    {"name": "rpm", "kind": "integer", "range": [0, 20000], "unit": "rpm", "default": "0", "help": "Engine speed."},
    {"name": "style", "kind": "choice", "values": {"flash": 1, "fill": 0}, "default": 0, "when_invalid": "the draw fails"},
    {"name": "caption", "kind": "text"}
  ]
})";
    widget_info w;
    std::string err;
    ASSERT_TRUE(parse_plugin_description(k_path, text, "Test Lights", k_table, w, &err)) << err;
    EXPECT_EQ(w.name, "Test Lights");
    EXPECT_EQ(w.what, "A row of lamps.");
    EXPECT_EQ(w.source, k_path);
    EXPECT_FALSE(w.built_in());
    ASSERT_EQ(w.attributes.size(), 4u);

    struct expected {
        std::string name, type, kind_text, what, default_value, values_text;
    };
    // In the table's order, whatever the file's.
    const std::vector<expected> table = {
        {"rpm", "4s1", "integer 0 to 20000, rpm", "Engine speed.", "0", ""},
        {"style", "1u1", "choice", "", "0", "fill (0), flash (1)"},
        {"colour", "4u1", "colour", "Lamp colour.", "", ""},
        {"caption", "1s0", "text", "", "", ""},
    };
    for (size_t i = 0; i < table.size(); ++i) {
        const attribute_info &a = w.attributes[i];
        SCOPED_TRACE(table[i].name);
        EXPECT_EQ(a.name, table[i].name);
        EXPECT_EQ(a.type, table[i].type);
        EXPECT_EQ(a.kind_text(), table[i].kind_text);
        EXPECT_EQ(a.what, table[i].what);
        EXPECT_EQ(a.default_value, table[i].default_value);
        EXPECT_EQ(a.values_text(), table[i].values_text);
    }
    EXPECT_EQ(w.attributes[1].value_of("flash"), 1);
    EXPECT_EQ(w.attributes[1].when_invalid, "the draw fails");
    EXPECT_EQ(w.find("x"), nullptr) << "what the file leaves out stays undescribed";
}

TEST(plugin_description, each_mistake_is_named_at_its_line_and_column) {
    struct mistake {
        std::string text;
        std::string message; // after "PATH:"
    };
    std::string many, names; // one past the bounds
    for (size_t i = 0; i <= max_described_attributes; ++i) many += std::string(i ? ", " : "") + "{}";
    for (size_t i = 0; i <= max_named_values; ++i) names += (i ? ", \"v" : "\"v") + std::to_string(i) + "\": " + std::to_string(i % 200);
    const std::vector<mistake> table = {
        {R"({"widget": "Test Lights", "attributes": [)" + many + "]}", "1:41: more than 512 attributes"},
        {with_attribute(R"({"name": "rpm", "kind": "choice", "values": {)" + names + "}}"),
         "1:86: attribute \"rpm\": more than 256 named values"},
        {with_attribute(R"({"name": "rpm", "kind": "integer", "help": ")" + std::string(2001, 'a') + "\"}"),
         "1:85: attribute \"rpm\": \"help\" is longer than 2000 bytes"},
        {"", "1:1: the file is empty"},
        {R"({"widget": "Test Lights",)", "1:26: syntax error while parsing object key - unexpected end of input; expected string literal"},
        {R"({"widget": "Test Lights", "widget": "Test Lights", "attributes": []})", "1:27: duplicate key \"widget\""},
        {"[]", "1:1: a description must be an object with \"widget\" and \"attributes\""},
        {R"({"widget": "Test Lights", "atributes": []})",
         "1:40: the description: unknown key \"atributes\" (did you mean \"attributes\"?)"},
        {R"({"attributes": []})", "1:1: the description has no \"widget\""},
        {R"({"widget": 7, "attributes": []})", "1:12: \"widget\" must be a string"},
        {R"({"widget": "Shift Lights", "attributes": []})",
         "1:12: \"widget\" is \"Shift Lights\", but the plug-in registers \"Test Lights\""},
        {R"({"widget": "Test Lights"})", "1:1: the description has no \"attributes\""},
        {R"({"widget": "Test Lights", "attributes": {}})", "1:41: \"attributes\" must be a list of attribute descriptions"},
        {R"({"widget": "Test Lights", "what": "two\nlines", "attributes": []})", "1:35: \"what\" holds a control character"},
        {with_attribute("1"), "1:42: an attribute description must be an object with \"name\" and \"kind\""},
        {with_attribute(R"({"kind": "integer"})"), "1:42: an attribute description has no \"name\""},
        {with_attribute(R"({"name": "rmp", "kind": "integer"})"),
         "1:51: \"Test Lights\" has no attribute \"rmp\" (did you mean \"rpm\"?)"},
        {with_attribute(R"({"name": "rpm"})"), "1:42: attribute \"rpm\" has no \"kind\""},
        {with_attribute(R"({"name": "rpm", "kind": 1})"), "1:66: attribute \"rpm\": \"kind\" must be a string"},
        {with_attribute(R"({"name": "rpm", "kind": "integr"})"),
         "1:66: attribute \"rpm\": no kind \"integr\" (did you mean \"integer\"?)"},
        {with_attribute(R"({"name": "rpm", "kind": "text"})"),
         "1:66: attribute \"rpm\" (4s1) cannot be \"text\"; its kinds: integer, flag, colour, colour with opacity, "
         "palette, choice, ignored"},
        {with_attribute(R"({"name": "rotation", "kind": "integer"})"),
         "1:71: attribute \"rotation\" (4f1) cannot be \"integer\"; its kinds: number, ignored"},
        {with_attribute(R"({"name": "rpm", "kind": "integer", "unti": "rpm"})"),
         "1:85: attribute \"rpm\": unknown key \"unti\" (did you mean \"unit\"?)"},
        {with_attribute(R"({"name": "caption", "kind": "text", "range": [0, 1]})"),
         "1:87: attribute \"caption\" takes a string: a range is for numbers"},
        {with_attribute(R"({"name": "rpm", "kind": "integer", "range": [5]})"),
         "1:86: attribute \"rpm\": \"range\" must be two whole numbers [lowest, highest]"},
        {with_attribute(R"({"name": "rpm", "kind": "integer", "range": [10, 5]})"),
         "1:86: attribute \"rpm\": the range's lowest is above its highest"},
        {with_attribute(R"({"name": "style", "kind": "integer", "range": [0, 300]})"),
         "1:92: attribute \"style\" (1u1) takes 0 to 255"},
        {with_attribute(R"({"name": "caption", "kind": "text", "values": {"a": 1}})"),
         "1:88: attribute \"caption\": named values are for whole numbers, not for kind \"text\""},
        {with_attribute(R"({"name": "style", "kind": "choice", "values": []})"),
         "1:88: attribute \"style\": \"values\" must map names to numbers"},
        {with_attribute(R"({"name": "style", "kind": "choice", "values": {"1st": 0}})"),
         "1:96: attribute \"style\": the value name \"1st\" must be a letter followed by letters, digits, _ or -, at "
         "most 64 bytes"},
        {with_attribute(R"({"name": "style", "kind": "choice", "values": {"fill": 0.5}})"),
         "1:97: attribute \"style\": value \"fill\" must be a whole number"},
        {with_attribute(R"({"name": "style", "kind": "choice", "values": {"fill": 256}})"),
         "1:97: attribute \"style\" (1u1) takes 0 to 255"},
        {with_attribute(R"({"name": "style", "kind": "choice", "values": {"fill": 0, "flash": 0}})"),
         "1:109: attribute \"style\": \"fill\" and \"flash\" both name 0"},
        {with_attribute(R"({"name": "style", "kind": "choice"})"), "1:42: attribute \"style\" is a choice: it needs \"values\""},
        {with_attribute(R"({"name": "rpm", "kind": "integer", "help": 3})"), "1:85: attribute \"rpm\": \"help\" must be a string"},
        {with_attribute(R"({"name": "rpm", "kind": "integer"}, {"name": "rpm", "kind": "integer"})"),
         "1:87: attribute \"rpm\" is described twice (first at 1:51)"},
        // Lines and columns count from the start of the line the value is on.
        {"{\n  \"widget\": \"Test Lights\",\n  \"attributes\": [\n    {\"name\": \"rpm\",\n     \"kind\": \"integr\"}\n  ]\n}",
         "5:14: attribute \"rpm\": no kind \"integr\" (did you mean \"integer\"?)"},
    };
    for (const mistake &m : table) {
        SCOPED_TRACE(m.text);
        widget_info w;
        w.name = "untouched";
        std::string err;
        EXPECT_FALSE(parse_plugin_description(k_path, m.text, "Test Lights", k_table, w, &err));
        EXPECT_EQ(err, std::string(k_path) + ":" + m.message);
        EXPECT_EQ(w.name, "untouched") << "a failed read leaves the description as it was";
    }
}

// A file past the size bound, or not a regular file, is refused before it is parsed.
class plugin_description_file : public scratch_test {};

TEST_F(plugin_description_file, too_large_or_not_a_file_is_refused) {
    const std::string large = write("libgre-plugin-TestLights.json", std::string(max_description_bytes + 1, ' '));
    const std::vector<std::pair<std::string, std::string>> table = {
        {large, large + ": too large (1048577 bytes, at most 1048576)"},
        {dir, dir + ": not a regular file"},
    };
    for (const auto &[path, message] : table) {
        widget_info w;
        std::string err;
        EXPECT_FALSE(read_plugin_description(path, "Test Lights", k_table, w, &err));
        EXPECT_EQ(err, message);
    }
}

} // namespace
} // namespace pitwall::testing
