// Files the raster context cannot use: each image load that fails and each font file that cannot
// be opened is reported through the engine, naming the file and giving the reason (libpng's or
// FreeType's own words where they found the fault). A FIFO or a device named as an image or a
// font fails at once: the draw goes on instead of waiting for a writer.
#include "raster_fixture.h"

#include "pitwall/resources.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace pitwall::testing {
namespace {

class load_failure : public raster_test {
protected:
    const std::string dir = eng.base_dir(); // the application directory, fresh for each test

    void SetUp() override { std::filesystem::create_directories(dir + "/images"); }

    std::string write_file(const std::string &name, const std::string &bytes) {
        std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
        return dir + "/" + name;
    }
    std::string make_fifo(const std::string &name) {
        std::string path = dir + "/" + name;
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
        return path;
    }
    std::string png_bytes(int width, int height) {
        std::string path = dir + "/whole.png", why;
        EXPECT_TRUE(write_png(path, argb_image(width, height, k_white), &why)) << why;
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    plugin *load(const std::string &deliverable) {
        error err;
        plugin *p = eng.load_plugin(std::string(PITWALL_PLUGIN_DIR) + "/" + deliverable + ".so", &err);
        EXPECT_NE(p, nullptr) << err;
        return p;
    }
};

TEST_F(load_failure, each_failed_image_load_is_reported_with_the_file_and_the_reason) {
    make_canvas(4, 4);
    const int32_t no_width[2] = {0, 5};
    struct image_case {
        std::string path;  // as a widget passes it
        std::string shown; // as the report names it: relative to the application when inside it
        const int32_t *size;
        std::string reason;
    };
    const image_case cases[] = {
        {write_file("images/garbage.png", "GIF89a, not a PNG at all"), "images/garbage.png", nullptr,
         "Not a PNG file"},
        // Signature (8 bytes) and header chunk (25) whole, the next chunk's 8-byte head cut short.
        {write_file("images/cut.png", png_bytes(16, 16).substr(0, 40)), "images/cut.png", nullptr,
         "read beyond end of data"},
        {write_file("images/empty.png", ""), "images/empty.png", nullptr, "empty file"},
        {dir + "/images/absent.png", "images/absent.png", nullptr, "No such file or directory"},
        {make_fifo("images/pipe.png"), "images/pipe.png", nullptr, "not a regular file"},
        {"/dev/zero", "/dev/zero", nullptr, "not a regular file"},
        {write_file("images/tiny.9.png", png_bytes(2, 2)), "images/tiny.9.png", nullptr,
         "a nine-patch needs at least 3x3 pixels, this one has 2x2"},
        {write_file("images/fine.png", png_bytes(2, 2)), "images/fine.png", no_width,
         "requested size 0x5 is outside 1 to 8192 pixels a side"},
    };
    size_t reported = 0;
    for (const image_case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ops->load_image(ctx, c.path.c_str(), GR_LOAD_IMAGE_FLAGS, c.size, 0), nullptr);
        ASSERT_EQ(eng.reports().size(), ++reported) << "one report per failed load";
        EXPECT_EQ(eng.reports().back(), "cannot load image \"" + c.shown + "\": " + c.reason);
    }
    EXPECT_EQ(canvas->live_images(), 0);
    EXPECT_TRUE(eng.log().empty()) << "the log is the widgets' own";
}

TEST_F(load_failure, a_splash_image_on_a_fifo_fails_its_draw_and_the_reason_comes_first) {
    plugin *splash = load("libgre-plugin-SplashImage");
    ASSERT_NE(splash, nullptr);
    make_fifo("images/pipe.png");
    auto logo = splash->create();
    ASSERT_EQ(logo->set("logo_path", std::string("images/pipe.png")), "");
    make_canvas(8, 8);
    FILE *echo = std::tmpfile();
    ASSERT_NE(echo, nullptr);
    eng.set_log_echo(echo);
    gr_canvas_t record = engine::canvas(8, 8);
    EXPECT_EQ(logo->draw(ctx, make_control(0, 0, 8, 8, &record)), -1);
    eng.set_log_echo(nullptr);

    EXPECT_EQ(count_all(k_black), 8 * 8) << "nothing drawn";
    ASSERT_EQ(eng.reports().size(), 1u);
    EXPECT_EQ(eng.reports()[0], "cannot load image \"images/pipe.png\": not a regular file");
    std::rewind(echo);
    std::string echoed;
    for (int ch; (ch = std::fgetc(echo)) != EOF;) echoed += char(ch);
    std::fclose(echo);
    // The engine's reason, then the widget's own line (level 0) naming the full path.
    const std::string reason = "pitwall: cannot load image \"images/pipe.png\": not a regular file\n";
    const std::string widget = "0 SplashImage: Failed loading image " + dir + "/images/pipe.png\n";
    ASSERT_NE(echoed.find(reason), std::string::npos) << echoed;
    EXPECT_GT(echoed.find(widget), echoed.find(reason)) << echoed;
}

// The font name Basic Box asks for, mapped to a FIFO: every draw goes on, and the file is opened
// and reported once however often the box draws.
TEST_F(load_failure, a_font_map_to_a_fifo_is_reported_once_and_never_blocks_a_draw) {
    plugin *box_plugin = load("libgre-plugin-ValueBoxPlain");
    ASSERT_NE(box_plugin, nullptr);
    const std::string fifo = make_fifo("pipe.otf");
    const std::string name = "fonts/CPMono_v07 Plain.otf";
    eng.fonts().map_font(name, fifo);
    auto box = box_plugin->create();
    ASSERT_EQ(box->set("render_text", std::string("42")), "");
    ASSERT_EQ(box->set("font_size", int64_t(20)), "");
    make_canvas(64, 48);
    gr_canvas_t record = engine::canvas(64, 48);
    for (int i = 0; i < 3; ++i) box->draw(ctx, make_control(0, 0, 64, 48, &record));

    EXPECT_EQ(canvas->font_files_opened(), 1);
    ASSERT_EQ(eng.reports().size(), 1u);
    EXPECT_EQ(eng.reports()[0], "cannot open font \"" + name + "\" (" + fifo + "): not a regular file");
}

TEST_F(load_failure, a_font_file_that_cannot_be_opened_is_reported_once_with_its_reason) {
    make_canvas(16, 16);
    struct font_case {
        std::string file;
        std::string reason;
    };
    const font_case cases[] = {
        {make_fifo("pipe.ttf"), "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {dir, "not a regular file"},
        {dir + "/absent.ttf", "No such file or directory"},
        {std::string(PITWALL_SOURCE_DIR) + "/CMakeLists.txt", "unknown file format"}, // FreeType's words
    };
    for (const font_case &c : cases) {
        SCOPED_TRACE(c.file);
        gr_font font{"fonts/Any.ttf", c.file, 20};
        gr_text_style_t style{};
        style.font = &font;
        style.one = 1;
        style.size = 20;
        int16_t extent[2] = {0, 0};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ops->text_extent(ctx, "Box", 3, &style, extent), -1);
            ops->draw_text(ctx, 0, 0, "Box", 3, &style);
        }
        ASSERT_FALSE(eng.reports().empty());
        EXPECT_EQ(eng.reports().back(), "cannot open font \"fonts/Any.ttf\" (" + c.file + "): " + c.reason);
    }
    EXPECT_EQ(eng.reports().size(), std::size(cases)) << "each file once, however often it is asked for";
    EXPECT_EQ(canvas->font_files_opened(), int(std::size(cases)));
    EXPECT_EQ(count_all(k_black), 16 * 16);
}

} // namespace
} // namespace pitwall::testing
