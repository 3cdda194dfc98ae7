// The engine and the plug-ins fed the extreme values a scene or an application can give: each
// case reproduces a fault the fuzz targets (fuzz/) or their review found.
#include "plugin_harness.h"

#include "pitwall/scene_run.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

namespace {

// JSON integers above INT64_MAX used to wrap to negative values: 18446744073709551615 became -1,
// which an integer attribute accepts (a width of -1 even means "the control's width").
TEST(extreme_input, scene_integers_beyond_64_bits_signed_are_refused_not_wrapped) {
    pitwall::scene s;
    pitwall::error err;
    // The reader refuses them for a widget it knows, at their place in the file...
    EXPECT_FALSE(pitwall::parse_scene(R"({"controls": [{"widget": "Basic Box", "attributes":
        {"width": 18446744073709551615, "height": 9223372036854775808, "x": 9223372036854775807}}]})",
                                      "/scenes", s, &err));
    EXPECT_EQ(err, "2:19: control \"Basic Box\": \"Basic Box\": attribute \"width\" (4u1) takes an integer");
    // ...and passes them on unwrapped for one it does not, whose plug-in refuses them.
    ASSERT_TRUE(pitwall::parse_scene(R"({"controls": [{"widget": "Own Widget", "attributes":
        {"width": 18446744073709551615, "height": 9223372036854775808, "x": 9223372036854775807}}]})",
                                     "/scenes", s, &err))
        << err;
    s.controls[0].widget = s.controls[0].name = "Basic Box";
    ASSERT_EQ(s.controls.size(), 1u);
    auto value_of = [&](const std::string &name) {
        for (const auto &[attr, value] : s.controls[0].state.attributes)
            if (attr == name) return value;
        return pitwall::attr_value{};
    };
    const pitwall::attr_value width = value_of("width"), height = value_of("height"), x = value_of("x");
    ASSERT_TRUE(std::holds_alternative<double>(width));
    EXPECT_EQ(std::get<double>(width), 18446744073709551615.0);
    ASSERT_TRUE(std::holds_alternative<double>(height));
    EXPECT_EQ(std::get<double>(height), 9223372036854775808.0);
    ASSERT_TRUE(std::holds_alternative<int64_t>(x)) << "INT64_MAX itself is an integer";
    EXPECT_EQ(std::get<int64_t>(x), INT64_MAX);

    pitwall::testing::plugin_harness h("libgre-plugin-ValueBoxPlain");
    pitwall::scene_run run;
    // The attributes reach the engine in file order: "width" is the first one refused.
    EXPECT_EQ(run.build(h.eng, s),
              "control \"Basic Box\": \"Basic Box\": attribute \"width\" (4u1) takes an integer");
}

} // namespace
