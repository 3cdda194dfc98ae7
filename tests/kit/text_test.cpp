// Font lookup through the resource manager, string length and the alignment conventions.
#include "text.h"

#include "pitwall/engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr kit::font_messages k_messages = KIT_FONT_MESSAGES("Basic Box");

// A resource manager that records what it is asked and hands out resources it owns, so that the
// release can be checked against the exact resource the lookup returned.
struct fake_resources {
    gr_resources_t table{};
    bool lookup_finds = true;
    bool font_found = true;
    std::vector<std::string> lookups; // "kind name size"
    int resource_storage[2] = {};
    gr_resource_t *handed_out = nullptr;
    std::vector<gr_resource_t *> fonts_asked, released;
    int font_storage = 0;

    fake_resources() {
        table.impl = this;
        table.res_lookup = [](gr_resources_t *res, const char *kind, const char *name,
                              gr_text_style_t *style) -> gr_resource_t * {
            auto &self = *static_cast<fake_resources *>(res->impl);
            self.lookups.push_back(std::string(kind) + " " + name + " " + std::to_string(style->size));
            if (!self.lookup_finds) return nullptr;
            // A different resource at every lookup: a release of any other one would show.
            self.handed_out = reinterpret_cast<gr_resource_t *>(&self.resource_storage[self.lookups.size() % 2]);
            return self.handed_out;
        };
        table.res_font = [](gr_resources_t *res, gr_resource_t *resource) -> gr_font_t * {
            auto &self = *static_cast<fake_resources *>(res->impl);
            self.fonts_asked.push_back(resource);
            return self.font_found ? reinterpret_cast<gr_font_t *>(&self.font_storage) : nullptr;
        };
        table.res_release = [](gr_resources_t *res, gr_resource_t *resource) {
            static_cast<fake_resources *>(res->impl)->released.push_back(resource);
        };
    }
};

struct FontRef : ::testing::Test {
    pitwall::engine engine{"/nonexistent-app"};
    gr_context_t ctx{engine.app(), nullptr, nullptr}; // font_ref uses the context only to log
    fake_resources res;
    gr_text_style_t style;

    FontRef() { std::memset(&style, 0xa5, sizeof style); } // every word must be rewritten

    bool ref(const char *name, int32_t size = 16, uint32_t colour = 0x80123456u) {
        return kit::font_ref<k_messages>(&style, &ctx, &res.table, name, size, colour);
    }
    std::vector<std::string> log_texts() const {
        std::vector<std::string> out;
        for (const auto &line : engine.log()) out.push_back(std::to_string(line.level) + " " + line.text);
        return out;
    }
};

TEST(FontMessages, AreSingleLiteralsStartingWithTheDisplayName) {
    EXPECT_STREQ(k_messages.no_font_reference, "Basic Box: Couldn't get font reference %s");
    EXPECT_STREQ(k_messages.no_font_in_resource, "Basic Box: Invalid argument, unable to find font");
}

TEST_F(FontRef, FoundFontFillsTheWholeStyleAndReleasesNothing) {
    ASSERT_TRUE(ref("fonts/Other.ttf", 24, 0xff00ff00u));
    EXPECT_EQ(res.lookups, (std::vector<std::string>{"font fonts/Other.ttf 24"}));
    EXPECT_EQ(style.font, reinterpret_cast<gr_font_t *>(&res.font_storage));
    EXPECT_EQ(style.one, 1);
    EXPECT_EQ(style.size, 24);
    EXPECT_EQ(style.colour, 0xff00ff00u); // all 32 bits reach the host
    for (int32_t word : {style.reserved2, style.reserved4, style.reserved5, style.reserved6, style.reserved8})
        EXPECT_EQ(word, 0);
    EXPECT_TRUE(res.released.empty());
    EXPECT_TRUE(engine.log().empty());
}

TEST_F(FontRef, NullAndEmptyNamesLookUpTheDefaultFont) {
    ASSERT_TRUE(ref(nullptr));
    ASSERT_TRUE(ref(""));
    EXPECT_EQ(res.lookups, (std::vector<std::string>{"font fonts/CPMono_v07 Plain.otf 16",
                                                     "font fonts/CPMono_v07 Plain.otf 16"}));
}

TEST_F(FontRef, MissingResourceLogsTheNameUsedAndReleasesNothing) {
    res.lookup_finds = false;
    EXPECT_FALSE(ref(""));
    EXPECT_FALSE(ref("fonts/Gone.ttf"));
    EXPECT_EQ(log_texts(), (std::vector<std::string>{
                               "0 Basic Box: Couldn't get font reference fonts/CPMono_v07 Plain.otf",
                               "0 Basic Box: Couldn't get font reference fonts/Gone.ttf"}));
    EXPECT_TRUE(res.fonts_asked.empty());
    EXPECT_TRUE(res.released.empty());
    EXPECT_EQ(style.font, nullptr);
}

TEST_F(FontRef, ResourceWithoutFontIsReleasedExactlyOnce) {
    res.font_found = false;
    EXPECT_FALSE(ref("fonts/Broken.ttf"));
    ASSERT_EQ(res.fonts_asked.size(), 1u);
    EXPECT_EQ(res.fonts_asked[0], res.handed_out);
    EXPECT_EQ(res.released, (std::vector<gr_resource_t *>{res.handed_out}));
    EXPECT_EQ(log_texts(), (std::vector<std::string>{"0 Basic Box: Invalid argument, unable to find font"}));
    EXPECT_EQ(style.font, nullptr);
}

TEST_F(FontRef, EngineResourceManagerServesRegisteredNamesOnly) {
    pitwall::resources &fonts = engine.fonts();
    fonts.add_font(kit::default_font_name);
    fonts.stage_font_failure("fonts/Broken.ttf");
    gr_resources_t *table = fonts.table();
    EXPECT_TRUE(kit::font_ref<k_messages>(&style, &ctx, table, nullptr, 12, 0));
    ASSERT_NE(style.font, nullptr);
    EXPECT_EQ(style.font->name, kit::default_font_name);
    EXPECT_EQ(style.font->size, 12);
    EXPECT_FALSE(kit::font_ref<k_messages>(&style, &ctx, table, "fonts/Missing.ttf", 12, 0));
    EXPECT_EQ(fonts.releases(), 0);
    EXPECT_FALSE(kit::font_ref<k_messages>(&style, &ctx, table, "fonts/Broken.ttf", 12, 0));
    EXPECT_EQ(fonts.releases(), 1);
    EXPECT_EQ(log_texts(), (std::vector<std::string>{"0 Basic Box: Couldn't get font reference fonts/Missing.ttf",
                                                     "0 Basic Box: Invalid argument, unable to find font"}));
}

TEST(TextLen, CountsBytesAndTreatsNullAsEmpty) {
    EXPECT_EQ(kit::text_len(nullptr), 0);
    EXPECT_EQ(kit::text_len(""), 0);
    EXPECT_EQ(kit::text_len("a"), 1);
    EXPECT_EQ(kit::text_len("\xc3\xa9t\xc3\xa9"), 5); // bytes, not characters
}

TEST(Alignment, BoxesUseTheirMarginsAndEveryOtherCodeIsRight) {
    // Box 100 wide, text 30 wide.
    EXPECT_EQ(kit::align_offset(kit::align_basic_box, 1, 100, 30), 5);
    EXPECT_EQ(kit::align_offset(kit::align_basic_box, 2, 100, 30), 35);
    for (int32_t code : {0, 3, 255}) EXPECT_EQ(kit::align_offset(kit::align_basic_box, code, 100, 30), 65);
    EXPECT_EQ(kit::align_offset(kit::align_modern_box, 1, 100, 30), 3);
    EXPECT_EQ(kit::align_offset(kit::align_modern_box, 3, 100, 30), 68);
    EXPECT_EQ(kit::align_offset(kit::align_classic_box, 3, 100, 30), 67);
    EXPECT_EQ(kit::align_offset(kit::align_value_text, 1, 100, 30), 0);
    EXPECT_EQ(kit::align_offset(kit::align_menu_label, 0, 100, 30), 70);
}

TEST(Alignment, CentringTruncatesTowardZeroForTextsWiderThanTheBox) {
    EXPECT_EQ(kit::align_offset(kit::align_basic_box, 2, 100, 31), 34);
    EXPECT_EQ(kit::align_offset(kit::align_basic_box, 2, 30, 35), -2); // -5 / 2
    EXPECT_EQ(kit::align_offset(kit::align_basic_box, 3, 30, 35), -10);
}

TEST(Alignment, AlarmLampsUseCodesFourAndFiveAndOverhangOnTheRight) {
    EXPECT_EQ(kit::align_offset(kit::align_modern_alarm, 4, 100, 30), 0);
    EXPECT_EQ(kit::align_offset(kit::align_modern_alarm, 5, 100, 30), 35);
    EXPECT_EQ(kit::align_offset(kit::align_modern_alarm, 1, 100, 30), 71);
    EXPECT_EQ(kit::align_offset(kit::align_classic_alarm, 6, 100, 30), 72);
}

TEST(NinePosition, RowsAndColumnsFromTheTopLeft) {
    auto rc = [](int32_t a) {
        kit::nine_position p = kit::nine_position_of(a);
        return std::to_string(p.row) + "," + std::to_string(p.column);
    };
    EXPECT_EQ(rc(1), "0,0");
    EXPECT_EQ(rc(2), "0,1");
    EXPECT_EQ(rc(5), "1,1");
    EXPECT_EQ(rc(6), "1,2");
    EXPECT_EQ(rc(9), "2,2");
    EXPECT_EQ(rc(0), "0,-1");  // the top row, past the left column: drawn top right
    EXPECT_EQ(rc(10), "3,0");  // beyond the bottom row: drawn as bottom
    EXPECT_EQ(rc(255), "84,2");
}

} // namespace
