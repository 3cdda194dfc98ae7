// `pitwall gallery` end to end: one picture per loaded plug-in, reference pages that list every
// attribute of every table with a note (the engine-wide ones once), each widget's snippet, the
// page's search, and pictures that match their reviewed references.
#include "image_compare.h"
#include "run_tool.h"

#include "pitwall/engine.h"
#include "pitwall/png_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

namespace pitwall::testing {
namespace {

// The same tolerance as the example scenes' reference pictures (see demo_reference_test.cpp).
constexpr int k_channel_tolerance = 8;
constexpr int64_t k_differing_pixels_allowed = 64;

std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The tool runs once for the whole suite: drawing fifteen sheets takes a moment.
class gallery_cli : public ::testing::Test {
protected:
    static inline std::string dir;
    static inline tool_result result;

    static void SetUpTestSuite() {
        // ctest runs each test of the suite as a process of its own, side by side: one folder each.
        dir = std::string(PITWALL_BINARY_DIR) + "/test-scratch/cli.gallery." + std::to_string(getpid());
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        std::filesystem::create_directories(dir, ec);
        result = run_pitwall({"gallery", "-o", dir + "/out", "--plugins", PITWALL_PLUGIN_DIR}, dir);
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

TEST_F(gallery_cli, writes_one_picture_per_plugin_and_lists_every_attribute_with_a_note) {
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err.find("no description"), std::string::npos) << "every attribute needs a description:\n" << result.err;

    engine eng(PITWALL_APP_DIR);
    std::vector<error> errors;
    eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
    ASSERT_EQ(eng.plugins().size(), 15u);

    const std::string md = read_text(dir + "/out/README.md");
    const std::string html = read_text(dir + "/out/index.html");
    EXPECT_EQ(html.find("http"), std::string::npos) << "the page is self-contained";
    // The engine-wide attributes (ids 0 to 11) once, in a table of their own before the widgets.
    const size_t md_first_widget = md.find("\n## ", md.find("## Engine-wide attributes") + 1);
    const size_t html_first_widget = html.find("<section class=\"entry\" id=\"", html.find("id=\"engine-wide-attributes\"") + 1);
    ASSERT_NE(md_first_widget, std::string::npos);
    ASSERT_NE(html_first_widget, std::string::npos);
    for (const gr_attribute_t &a : eng.plugins().front()->attributes()) {
        if (a.id > 11) continue;
        const std::string md_row = "| " + std::to_string(a.id) + " | `" + a.name + "` | " + a.type + " | ";
        const std::string html_row = "<td class=\"id\">" + std::to_string(a.id) + "</td><td><code>" + a.name +
                                     "</code></td><td>" + a.type + "</td>";
        EXPECT_LT(md.find(md_row), md_first_widget) << a.name;
        EXPECT_LT(html.find(html_row), html_first_widget) << a.name;
        // Only a widget that gives it a meaning of its own lists it again (the labels' text colour).
        const bool own_meaning = std::string(a.name) == "color";
        EXPECT_EQ(md.find(md_row, md_first_widget) != std::string::npos, own_meaning) << a.name;
    }
    for (const auto &p : eng.plugins()) {
        const std::string file = p->path().substr(p->path().find("libgre-plugin-") + 14);
        const std::string picture = file.substr(0, file.size() - 3) + ".png";
        argb_image img;
        std::string why;
        EXPECT_TRUE(read_png(dir + "/out/" + picture, &img, &why)) << p->display_name() << ": " << why;
        EXPECT_NE(md.find("## " + p->display_name() + "\n\n![" + p->display_name() + "](" + picture + ")"),
                  std::string::npos)
            << p->display_name();
        EXPECT_NE(html.find("<img src=\"" + picture + "\""), std::string::npos) << p->display_name();
        for (const gr_attribute_t &a : p->attributes()) {
            if (a.id <= 11) continue;
            const std::string id = std::to_string(a.id), name = a.name, type = a.type;
            EXPECT_NE(md.find("| " + id + " | `" + name + "` | " + type + " | ", md_first_widget), std::string::npos)
                << p->display_name() << " " << name;
            EXPECT_NE(html.find("<td class=\"id\">" + id + "</td><td><code>" + name + "</code></td><td>" + type + "</td>",
                                html_first_widget),
                      std::string::npos)
                << p->display_name() << " " << name;
        }
    }
    EXPECT_EQ(md.find("(not described"), std::string::npos);
    // Defaults: strings none, numbers 0, the font and the sizes their own; named values and palettes listed.
    EXPECT_NE(md.find("Pictogram at the lamp's left end; none (0) draws none. Names: none (0), cross (1), plus (2)"),
              std::string::npos);
    EXPECT_NE(md.find("windshield (21), windshield_washer_fluid (22). Outside the range the draw fails. | 0 | choice 0 to 22 |"),
              std::string::npos);
    EXPECT_NE(md.find("| 26 | `color_box` | 4s1 | Palette colour of the box and the title plate in the normal state. Colours: "
                      "1 white, 2 red, 3 yellow, 4 orange, 5 green, 6 blue, 7 violet, 8 grey, 9 black."),
              std::string::npos);
    EXPECT_NE(md.find("| 13 | `render_title` | 1s0 | Title text; unset or empty means no title. | none |"), std::string::npos);
    EXPECT_NE(md.find("| 2 | `width` | 4u1 | Width of the widget. | the control's width | integer, px |"), std::string::npos);
    EXPECT_NE(md.find("| 4 | `color` | 4u1 | Text colour. | 0 | colour |"), std::string::npos) << "the labels' own colour";
    EXPECT_NE(md.find("`font` | 1s0 | Font resource name; empty means the default font. | fonts/CPMono_v07 Plain.otf |"),
              std::string::npos);
}

// Every sheet against its reference (PITWALL_UPDATE_REFERENCE=1 rewrites them).
TEST_F(gallery_cli, sheets_match_their_reference_pictures) {
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const char *update = std::getenv("PITWALL_UPDATE_REFERENCE");
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir + "/out"))
        if (entry.path().extension() == ".png") names.push_back(entry.path().stem().string());
    EXPECT_EQ(names.size(), 15u);
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        const std::string reference =
            std::string(PITWALL_SOURCE_DIR) + "/tests/raster/reference/gallery-" + name + ".png";
        argb_image actual, expected;
        std::string why;
        ASSERT_TRUE(read_png(dir + "/out/" + name + ".png", &actual, &why)) << why;
        if (update != nullptr && std::string(update) == "1") {
            ASSERT_TRUE(write_png(reference, actual, &why)) << why;
            continue;
        }
        ASSERT_TRUE(read_png(reference, &expected, &why))
            << why << "\nno reference picture: run with PITWALL_UPDATE_REFERENCE=1, review it, commit it";
        image_difference d = compare_images(actual, expected, k_channel_tolerance);
        if (!d.same_size || d.differing > k_differing_pixels_allowed) {
            write_png(test_output_path(std::string("gallery-") + name + ".actual.png"), actual, nullptr);
            ADD_FAILURE() << (d.same_size ? "" : "sizes differ; ") << d.differing << " pixels differ by more than "
                          << k_channel_tolerance << ", largest channel difference " << d.max_channel;
        }
    }
}

// HTML as the page writes text: markup and quotes escaped.
std::string escaped(const std::string &s) {
    std::string out;
    for (char ch : s) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += ch;
        }
    }
    return out;
}

// Each widget's section starts from the control `pitwall snippet` prints, copyable in both pages,
// and links to the engine-wide list; the page searches itself with nothing fetched.
TEST_F(gallery_cli, every_widget_shows_its_snippet_and_links_to_the_engine_wide_attributes) {
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const std::string md = read_text(dir + "/out/README.md");
    const std::string html = read_text(dir + "/out/index.html");
    engine eng(PITWALL_APP_DIR);
    std::vector<error> errors;
    eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
    for (const auto &p : eng.plugins()) {
        SCOPED_TRACE(p->display_name());
        const tool_result snippet = run_pitwall({"snippet", p->display_name(), "--plugins", PITWALL_PLUGIN_DIR}, dir);
        ASSERT_EQ(snippet.exit_code, 0) << snippet.err;
        ASSERT_FALSE(snippet.out.empty());
        const size_t md_section = md.find("\n## " + p->display_name() + "\n");
        const size_t md_next = md.find("\n## ", md_section + 1);
        ASSERT_NE(md_section, std::string::npos);
        const std::string md_part = md.substr(md_section, md_next - md_section);
        EXPECT_NE(md_part.find("```json\n" + snippet.out + "```\n"), std::string::npos);
        EXPECT_NE(md_part.find("[engine-wide attributes](#engine-wide-attributes)"), std::string::npos);

        std::string code = snippet.out.substr(0, snippet.out.size() - 1); // without the last newline
        const size_t at = html.find("\">" + escaped(code) + "</code></pre>");
        ASSERT_NE(at, std::string::npos);
        const size_t section = html.rfind("<section class=\"entry\" id=\"", at);
        const size_t end = html.find("</section>", at);
        const std::string part = html.substr(section, end - section);
        EXPECT_NE(part.find("<h2>" + escaped(p->display_name()) + "</h2>"), std::string::npos);
        EXPECT_NE(part.find("<a href=\"#engine-wide-attributes\">"), std::string::npos);
        EXPECT_NE(part.find("<button type=\"button\" class=\"copy\""), std::string::npos);
        EXPECT_EQ(part.find("<code>rot_center_y</code></td>"), std::string::npos) << "listed once, on the index";
    }
    // A gauge's caption and a label's line break are text in the page, not markup.
    EXPECT_NE(html.find("&quot;text&quot;: &quot;&lt;channel value&gt;&quot;"), std::string::npos);
    EXPECT_EQ(html.find("<channel value>"), std::string::npos);
    EXPECT_EQ(html.find("<br>"), std::string::npos);
    // The search box and its script are in the page; nothing is fetched.
    EXPECT_NE(html.find("<input id=\"search\" type=\"search\""), std::string::npos);
    EXPECT_NE(html.find("box.addEventListener('input', filter);"), std::string::npos);
    EXPECT_EQ(html.find("<script src"), std::string::npos);
    EXPECT_EQ(html.find("<link"), std::string::npos);
    EXPECT_EQ(html.find("http"), std::string::npos);
}

// The pages come out the same from run to run.
TEST_F(gallery_cli, pages_are_the_same_from_run_to_run) {
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const tool_result again = run_pitwall({"gallery", "-o", dir + "/again", "--plugins", PITWALL_PLUGIN_DIR}, dir);
    ASSERT_EQ(again.exit_code, 0) << again.err;
    for (const char *page : {"/README.md", "/index.html"})
        EXPECT_EQ(read_text(dir + "/again" + page), read_text(dir + "/out" + page)) << page;
}

TEST_F(gallery_cli, an_unwritable_folder_is_a_usage_error) {
    const std::string file = dir + "/a-file";
    std::ofstream(file) << "x";
    tool_result r = run_pitwall({"gallery", "-o", file + "/sub", "--plugins", PITWALL_PLUGIN_DIR}, dir);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("pitwall gallery: cannot make the folder " + file + "/sub"), std::string::npos) << r.err;
}

} // namespace
} // namespace pitwall::testing
