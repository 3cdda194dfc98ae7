// The workbench behind `pitwall serve`, driven directly: edits redraw only what they dirty, bad
// input gets the scene loader's and engine's words, saving keeps the file's key order and stays in
// the scene's folder, and a changed file is reloaded.
#include "workbench.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace pitwall::cli {
namespace {

namespace fs = std::filesystem;
using ordered = nlohmann::ordered_json;

// Two Basic Boxes side by side, each 100 x 100 with a 10-pixel gap: green inside a white outline. The keys are in no
// sorted order, with a comment key, so that a save that reorders them shows.
const char *const two_boxes = R"({
  "_comment": "two boxes",
  "controls": [
    { "widget": "Basic Box", "name": "left", "x": 0, "y": 0, "width": 100, "height": 100,
      "attributes": { "color_box": "#ffffff", "color_bg": "#00ff00", "value": 0 } },
    { "widget": "Basic Box", "name": "right", "x": 110, "y": 0, "width": 100, "height": 100,
      "attributes": { "value": 0, "color_bg": "#00ff00", "color_box": "#ffffff" } }
  ],
  "canvas": { "width": 210, "height": 100, "background": "#000000" }
})";

std::string read_file(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const fs::path &p, const std::string &text) { std::ofstream(p, std::ios::binary) << text; }

class workbench_test : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "workbench-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        folder = root / "scenes";
        fs::create_directory(folder);
        scene_file = folder / "scene.json";
        write_file(scene_file, two_boxes);
        bench = std::make_unique<workbench>(workbench::settings{scene_file.string(), {PITWALL_PLUGIN_DIR}, ""});
        ASSERT_EQ(bench->load(), "");
    }
    void TearDown() override {
        bench.reset();
        fs::remove_all(root);
    }
    // The file's modification time moved on, whatever the file system's time resolution.
    void touch_later(const fs::path &p) { fs::last_write_time(p, fs::last_write_time(p) + std::chrono::seconds(2)); }

    fs::path root, folder, scene_file;
    std::unique_ptr<workbench> bench;
};

constexpr uint32_t green = 0xff00ff00, red = 0xffff0000, blue = 0xff0000ff;

TEST_F(workbench_test, a_change_redraws_only_the_control_it_dirtied) {
    // The first frame draws both boxes whole.
    EXPECT_EQ(bench->draws_in_last_frame(), 2);
    EXPECT_EQ(bench->pixel(50, 50), green);
    EXPECT_EQ(bench->pixel(150, 50), green);

    EXPECT_EQ(bench->apply_request(R"({"control": "left", "attribute": "color_bg", "value": "#ff0000"})"), "");
    // Only the left box's area was repainted: its 100 x 100 square and the column just right of it
    // (x = 100), where a widget's rectangle may reach; the canvas ends at y = 99. The right box,
    // from x = 110, was not drawn again.
    const std::vector<gr_rect_t> damage = bench->last_damage();
    ASSERT_EQ(damage.size(), 1u);
    EXPECT_EQ(damage[0].x1, 0);
    EXPECT_EQ(damage[0].y1, 0);
    EXPECT_EQ(damage[0].x2, 100);
    EXPECT_EQ(damage[0].y2, 99);
    EXPECT_EQ(bench->draws_in_last_frame(), 1);
    EXPECT_EQ(bench->pixel(50, 50), red);
    EXPECT_EQ(bench->pixel(150, 50), green);
    EXPECT_EQ(bench->state()["frame"], 2);

    // A colour given as a number converts as in a scene file: 0x0000ff, opaque only by its top byte.
    EXPECT_EQ(bench->set_attribute("right", "color_bg", 0xff0000ff), "");
    EXPECT_EQ(bench->pixel(150, 50), blue);
    EXPECT_EQ(bench->pixel(50, 50), red);
}

TEST_F(workbench_test, bad_input_gets_the_command_lines_words_and_changes_nothing) {
    const struct {
        const char *request;
        const char *message;
    } cases[] = {
        {R"({"control": "left", "attribute": "lower_limit", "value": 300})",
         R"(control "left": "Basic Box": attribute "lower_limit" (1u1) takes 0 to 255, not 300)"},
        {R"({"control": "left", "attribute": "value", "value": "fast"})",
         R"(control "left": "Basic Box": attribute "value" (4f1) takes a number (or "nan", "inf", "-inf"))"},
        {R"({"control": "left", "attribute": "value", "value": [1, 2]})",
         R"(control "left": attribute "value" must be a string, number, boolean or null)"},
        {R"({"control": "left", "attribute": "colour_bg", "value": 1})",
         R"(control "left": "Basic Box" has no attribute "colour_bg")"},
        {R"({"control": "middle", "attribute": "value", "value": 1})", R"(no control named "middle")"},
        {R"({"control": "left", "value": 1})",
         R"(a change names "control" and "attribute" (strings) and gives a "value")"},
        {R"({"control": "le\u0000ft", "attribute": "value", "value": 1})",
         R"(control "le\x00ft" holds a control character)"},
        {R"({"control": "left", "attribute": "value\n", "value": 1})",
         R"(attribute "value\x0a" holds a control character)"},
        {R"({"control": "left", "attribute": "value", "value": 1e309})",
         R"(malformed JSON: a change is {"control": NAME, "attribute": NAME, "value": VALUE})"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(bench->apply_request(c.request), c.message) << c.request;
        EXPECT_EQ(bench->state()["frame"], 1) << c.request; // nothing was redrawn
    }
    EXPECT_EQ(bench->apply_request(R"({"control": "left", )").rfind("malformed JSON: ", 0), 0u);
    // A string past the limit is refused before the engine sees it; one at the limit is taken.
    const std::string at_limit(workbench::max_string_bytes, 'x');
    EXPECT_EQ(bench->set_attribute("left", "render_text", at_limit + "x"),
              R"(control "left": attribute "render_text": a value is at most 65536 bytes long)");
    EXPECT_EQ(bench->set_attribute("left", "render_text", at_limit), "");
    EXPECT_EQ(bench->pixel(50, 50), green);
}

TEST_F(workbench_test, save_keeps_the_files_key_order_and_changes_only_the_edited_values) {
    ASSERT_EQ(bench->set_attribute("right", "color_bg", "#ff0000"), "");
    ASSERT_EQ(bench->set_attribute("left", "lower_limit", 1), ""); // not in the file: appended
    ASSERT_EQ(bench->save({"copy.json"}), "");

    ordered expected = ordered::parse(two_boxes);
    expected["controls"][1]["attributes"]["color_bg"] = "#ff0000";
    expected["controls"][0]["attributes"]["lower_limit"] = 1;
    const ordered saved = ordered::parse(read_file(folder / "copy.json"));
    // ordered_json compares objects key by key in order: equal means the same order too.
    EXPECT_EQ(saved, expected);
    EXPECT_EQ(saved.begin().key(), "_comment");
    EXPECT_EQ(ordered::parse(read_file(scene_file)), ordered::parse(two_boxes)); // the scene itself untouched

    // Saved over the scene file itself: the picture already shows it, so no reload follows.
    ASSERT_EQ(bench->save({}), "");
    EXPECT_EQ(ordered::parse(read_file(scene_file)), expected);
    EXPECT_FALSE(bench->reload_if_changed());
}

TEST_F(workbench_test, save_refuses_every_name_that_leads_out_of_the_scenes_folder) {
    const fs::path outside = root / "outside";
    fs::create_directory(outside);
    write_file(outside / "victim.json", "{}");
    fs::create_directory_symlink(outside, folder / "elsewhere");
    fs::create_symlink(outside / "victim.json", folder / "points-out.json");
    fs::create_symlink(outside / "new.json", folder / "dangling.json");

    const struct {
        const char *name;
        const char *why;
    } cases[] = {
        {"../victim.json", "\"..\" would leave the scene's folder"},
        {"sub/../../victim.json", "\"..\" would leave the scene's folder"},
        {"/tmp/victim.json", "give a name inside the scene's folder, not an absolute path"},
        {"elsewhere/victim.json", "it leads out of the scene's folder"},
        {"points-out.json", "it leads out of the scene's folder"},
        {"dangling.json", "it is a link that leads nowhere"},
        {"notes.txt", "a scene is saved as a .json file"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(bench->save({c.name}), std::string("cannot save as \"") + c.name + "\": " + c.why) << c.name;
    // A NUL would end the name where the file system reads it: "lap.csv" would be replaced.
    write_file(folder / "lap.csv", "t,rpm\n");
    EXPECT_EQ(bench->save({std::string("lap.csv\0.json", 13)}),
              "cannot save: a file name \"lap.csv\\x00.json\" holds a control character");
    EXPECT_EQ(read_file(folder / "lap.csv"), "t,rpm\n");
    EXPECT_EQ(read_file(outside / "victim.json"), "{}");
    EXPECT_FALSE(fs::exists(outside / "new.json"));
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);

    // A sub-folder of the scene's folder is fine.
    fs::create_directory(folder / "versions");
    EXPECT_EQ(bench->save({"versions/v2.json"}), "");
    EXPECT_TRUE(fs::is_regular_file(folder / "versions" / "v2.json"));
}

TEST_F(workbench_test, a_changed_file_is_reloaded_and_a_broken_one_keeps_the_picture) {
    EXPECT_FALSE(bench->reload_if_changed());
    const uint64_t revision = bench->state()["revision"];

    std::string edited = two_boxes;
    edited.replace(edited.find("\"#00ff00\""), 9, "\"#0000ff\""); // the left box's background
    write_file(scene_file, edited);
    touch_later(scene_file);
    EXPECT_TRUE(bench->reload_if_changed());
    EXPECT_EQ(bench->state()["revision"], revision + 1);
    EXPECT_EQ(bench->pixel(50, 50), blue);
    EXPECT_EQ(bench->pixel(150, 50), green);

    // Half-written: the loader's message, and the last picture stays on show.
    write_file(scene_file, "{\n  \"controls\": [\n");
    touch_later(scene_file);
    EXPECT_TRUE(bench->reload_if_changed());
    const std::string why = bench->state()["error"];
    EXPECT_EQ(why.rfind(scene_file.string() + ":3:", 0), 0u) << why;
    EXPECT_FALSE(bench->frame_png().empty());
}

TEST_F(workbench_test, save_never_writes_over_an_edit_made_on_disk) {
    using outcome = workbench::save_outcome;
    std::string edited = two_boxes;
    edited.replace(edited.find("\"#00ff00\""), 9, "\"#0000ff\"");
    const std::string version = bench->state()["version"];
    struct {
        const char *what;
        std::string on_disk;       // written before the save, without a reload
        bool edit_in_page;
    } cases[] = {
        {"edited on disk, saved before the reload check saw it", edited, false},
        {"edited on disk while the page held unsaved edits", edited, true},
        {"edited on disk to the very same size", std::string(two_boxes).replace(3, 1, "-"), true},
    };
    for (const auto &c : cases) {
        write_file(scene_file, two_boxes);
        ASSERT_EQ(bench->reload(), "");
        if (c.edit_in_page) {
            ASSERT_EQ(bench->set_attribute("left", "color_bg", "#ff0000"), "");
        }
        write_file(scene_file, c.on_disk);
        outcome how = outcome::saved;
        EXPECT_EQ(bench->save({"", bench->state()["version"]}, &how),
                  scene_file.string() + " changed on disk since it was loaded: reload it, or save your edits under "
                                        "another name")
            << c.what;
        EXPECT_EQ(how, outcome::conflict) << c.what;
        EXPECT_EQ(read_file(scene_file), c.on_disk) << c.what;
        EXPECT_NE(bench->state()["conflict"], "") << c.what;
    }

    // A reload that failed on a typo keeps the old scene on show: a save must not put it back.
    write_file(scene_file, two_boxes);
    ASSERT_EQ(bench->reload(), "");
    write_file(scene_file, "{ \"controls\": [ }");
    touch_later(scene_file);
    EXPECT_TRUE(bench->reload_if_changed());
    ASSERT_EQ(bench->set_attribute("left", "color_bg", "#ff0000"), "");
    outcome how = outcome::saved;
    EXPECT_NE(bench->save({}, &how), "");
    EXPECT_EQ(how, outcome::conflict);
    EXPECT_EQ(read_file(scene_file), "{ \"controls\": [ }");

    // A page that still shows an older load may not save over a newer one.
    write_file(scene_file, two_boxes);
    ASSERT_EQ(bench->reload(), "");
    EXPECT_EQ(bench->save({"", version + "0"}, &how), "the scene was reloaded since this page showed it: reload the page");
    EXPECT_EQ(how, outcome::conflict);
    EXPECT_EQ(bench->save({"", bench->state()["version"]}, &how), "");
    EXPECT_EQ(how, outcome::saved);
}

TEST_F(workbench_test, a_changed_file_does_not_replace_unsaved_edits_until_the_page_reloads) {
    ASSERT_EQ(bench->set_attribute("left", "color_bg", "#ff0000"), "");
    EXPECT_EQ(bench->state()["unsaved"], true);
    const uint64_t revision = bench->state()["revision"];

    // Rewritten with the same bytes (an editor's save without a change): no conflict.
    write_file(scene_file, two_boxes);
    touch_later(scene_file);
    EXPECT_FALSE(bench->reload_if_changed());
    EXPECT_EQ(bench->state()["conflict"], "");

    std::string edited = two_boxes;
    edited.replace(edited.find("\"#00ff00\""), 9, "\"#0000ff\"");
    write_file(scene_file, edited);
    touch_later(scene_file);
    EXPECT_FALSE(bench->reload_if_changed());
    EXPECT_EQ(bench->state()["revision"], revision);
    EXPECT_EQ(bench->pixel(50, 50), red); // the edit is still on show
    EXPECT_EQ(bench->state()["conflict"],
              scene_file.string() + " changed on disk; your unsaved edits are kept: reload to take the file as it is "
                                    "now, or save them under another name");

    // Saved elsewhere, the edits are safe; the page's reload then shows the file.
    EXPECT_EQ(bench->save({"mine.json"}), "");
    EXPECT_EQ(ordered::parse(read_file(folder / "mine.json"))["controls"][0]["attributes"]["color_bg"], "#ff0000");
    EXPECT_EQ(bench->reload(), "");
    EXPECT_EQ(bench->pixel(50, 50), blue);
    EXPECT_EQ(bench->state()["unsaved"], false);
    EXPECT_EQ(bench->state()["conflict"], "");
}

TEST_F(workbench_test, save_writes_through_no_planted_link_and_replaces_another_file_only_when_asked) {
    const fs::path outside = root / "outside";
    fs::create_directory(outside);
    write_file(outside / "victim", "precious");
    // The temporary name an earlier version used, planted as a link out of the folder.
    fs::create_symlink(outside / "victim", folder / ".scene.json.part");
    ASSERT_EQ(bench->set_attribute("left", "color_bg", "#ff0000"), "");
    ASSERT_EQ(bench->save({}), "");
    EXPECT_EQ(read_file(outside / "victim"), "precious");
    EXPECT_TRUE(fs::is_symlink(folder / ".scene.json.part")); // not ours to remove
    EXPECT_EQ(ordered::parse(read_file(scene_file))["controls"][0]["attributes"]["color_bg"], "#ff0000");

    write_file(folder / "other.json", "{}");
    workbench::save_outcome how = workbench::save_outcome::saved;
    EXPECT_EQ(bench->save({"other.json"}, &how), "other.json exists already");
    EXPECT_EQ(how, workbench::save_outcome::exists);
    EXPECT_EQ(read_file(folder / "other.json"), "{}");
    EXPECT_EQ(bench->save({"other.json", "", true}, &how), "");
    EXPECT_EQ(ordered::parse(read_file(folder / "other.json")), ordered::parse(read_file(scene_file)));

    // Nothing else was left behind: the scene, the planted link, other.json.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
}

} // namespace
} // namespace pitwall::cli
