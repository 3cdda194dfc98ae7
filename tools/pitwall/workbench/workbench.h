// workbench.h - the live state behind `pitwall serve`: a scene loaded on an engine and drawn on a
// raster context, edited one attribute at a time, played along its tracks, reloaded when its file
// changes on disk and saved back as JSON. Every public call takes the one mutex, so that the HTTP
// server's threads can call it directly.
#ifndef PITWALL_TOOL_WORKBENCH_H
#define PITWALL_TOOL_WORKBENCH_H

#include "pitwall/engine.h"
#include "pitwall/raster_context.h"
#include "pitwall/scene.h"
#include "pitwall/scene_run.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pitwall::cli {

// Text from a request quoted for a message or the terminal, its control characters written as
// \xNN, so that no name can end a line or send an escape sequence.
std::string quoted_escaped(const std::string &text);

class workbench {
public:
    struct settings {
        std::string scene_path;
        std::vector<std::string> plugins; // --plugins: folders beside the default one
        std::string app;     // empty: the scene's application directory
        // A new control of a widget (its starter snippet) for add(); empty: a bare control.
        std::function<nlohmann::ordered_json(const std::string &widget)> starter{};
        bool no_default_plugins = false; // --no-default-plugins
    };

    // Seconds of scene time one step of the player advances (10 frames a second).
    static constexpr double step_seconds = 0.1;

    explicit workbench(settings how);
    ~workbench();
    workbench(const workbench &) = delete;
    workbench &operator=(const workbench &) = delete;

    // The longest string value and the longest name (of a control, attribute or file) a request
    // may hold; names must also be free of control characters.
    static constexpr size_t max_string_bytes = 64u << 10;
    static constexpr size_t max_name_bytes = 1024;

    // Load the scene file and draw its first frame whole, dropping any unsaved edits. On failure
    // the previous scene (if any) stays on show and the reason is returned (and kept for state()).
    error load();
    // Called by the server's clock: when the file's modification time or size differs from the
    // last look, reload it, true when it did, whether or not the new file loaded. With unsaved
    // edits it does not reload: a file whose contents changed is reported as a conflict instead
    // (state()'s "conflict"), and the edits stay until the page reloads or saves.
    bool reload_if_changed();
    // Load the file again on the page's word, unsaved edits or not.
    error reload();

    // Set one attribute of a named control as a scene step would, then redraw what that dirtied.
    // The request body is {"control": NAME, "attribute": NAME, "value": VALUE}.
    error apply_request(const std::string &body);
    error set_attribute(const std::string &control, const std::string &attribute, const nlohmann::json &value);

    // Layout edits, each through the scene's change path where the controls stay (a move or a
    // resize redraws the old and new places only) and by building the scene again where they do
    // not (add, duplicate, delete, order). A refused edit changes nothing and says why.
    struct geometry {
        std::optional<int> x, y, width, height; // absent: as it is
        bool merge = false; // the next place of one drag: one undo step with the last
    };
    error set_geometry(const std::string &control, const geometry &g);
    // The request body is {"control": NAME, "x": X, "y": Y, "width": W, "height": H}.
    error geometry_request(const std::string &body);
    // A new control of `widget` at (x, y) (absent: the middle of the canvas), named after the
    // widget and numbered so that no two controls share a name; its name is returned in `name`.
    error add(const std::string &widget, std::optional<int> x, std::optional<int> y, std::string *name = nullptr);
    error duplicate(const std::string &control, std::string *name = nullptr);
    error remove(const std::string &control);
    // One place later (drawn over the next control) or earlier in the drawing order.
    error reorder(const std::string &control, int by);
    // {"op": "add"|"duplicate"|"delete"|"forward"|"back", "control": NAME, "widget": NAME, "x", "y"}
    error layout_request(const std::string &body, std::string *name = nullptr);

    // Every change above and every attribute set, and a reload from disk, can be undone and redone,
    // the last max_history of them. False when there is nothing to undo or redo.
    static constexpr size_t max_history = 200;
    bool undo(error *err = nullptr);
    bool redo(error *err = nullptr);

    // The tracks: pause, play (advanced by tick()), and one step by hand.
    void play(bool on);
    void step();
    // Go to a time on the tracks (clamped to their duration), pausing.
    void seek(double seconds);
    // 1 the scene's own pace; 0.25 a quarter of it, 4 four times (0.01 to 100).
    error set_speed(double speed);
    // Called by the server's clock every step_seconds: one step while playing.
    void tick();

    struct save_request {
        std::string name{};    // a .json file inside the scene's folder; empty: the scene file itself
        std::string version{}; // state()'s "version" when the page loaded the scene; empty: not checked
        bool overwrite = false; // replace another existing file
    };
    enum class save_outcome { saved, refused, conflict, exists };
    // Write the edited scene, in the file's own key order. Refused (the reason returned) for names
    // that lead out of the folder; a conflict when the scene file changed on disk since it was
    // loaded, or the page's version is not the loaded one; `exists` for another file that is
    // there already, unless `overwrite`. Nothing is written but through replace_file.
    error save(const save_request &request, save_outcome *outcome = nullptr);

    // The picture as PNG bytes (empty before any scene has loaded).
    std::string frame_png();
    // Revision (bumped by every load), the loaded file's version, frame number (bumped by every
    // draw), time, player state, last draw time and error, unsaved edits and any conflict with
    // the file on disk, the controls with their widgets.
    nlohmann::json state();
    // A control's form: every attribute of its widget's table with its kind, current value and,
    // for numbers, a range; palette attributes list their colours.
    nlohmann::json control_form(const std::string &control, error *err);

    // What tests look at: the rectangles the last partial redraw repainted, and one canvas pixel.
    std::vector<gr_rect_t> last_damage();
    uint32_t pixel(int x, int y);
    int draws_in_last_frame();
    double time();

private:
    struct loaded; // the engine, canvas, run and scene of one load
    struct history_step {
        std::string what;               // "move \"gauge\"", for the page
        nlohmann::ordered_json before, after;
    };

    error load_locked();
    // The scene built again from `document` on the same engine, drawn whole; on failure the
    // previous document is built again and the reason returned.
    error rebuild_locked(nlohmann::ordered_json document);
    // An edit made: `before` is the document it changed; with `merge`, it joins the last step when
    // that was the same edit (one gesture, one step).
    void remember_locked(std::string what, nlohmann::ordered_json before, bool merge = false);
    error restore_locked(const nlohmann::ordered_json &document);
    nlohmann::ordered_json *document_control_locked(const std::string &control, error *err);
    std::string unique_name_locked(const std::string &wanted) const;
    void apply_tracks_locked();
    error redraw_changed_locked();
    void draw_all_locked();
    void step_locked(double seconds);
    error set_attribute(const std::string &control, const std::string &attribute, const nlohmann::json &value,
                        bool merge);
    std::filesystem::path save_target(const std::string &name, error *err) const;
    void look_at_file_locked(); // remembers the file's time and size for reload_if_changed

    settings settings_;
    std::mutex mutex_;
    std::unique_ptr<loaded> now_;
    nlohmann::ordered_json document_; // the file as loaded, with the page's edits applied
    std::string version_;             // of the text document_ was read from
    std::filesystem::file_time_type file_time_{}; // the file as last looked at
    std::uintmax_t file_size_ = 0;
    bool unsaved_ = false;            // edits made since the last load or save
    std::string conflict_;            // why the file on disk and the edits on show disagree
    uint64_t revision_ = 0;
    uint64_t frame_ = 0;
    double time_ = 0;
    bool playing_ = false;
    double frame_ms_ = 0;
    int draws_ = 0;
    std::string load_error_;
    std::string png_;                // the last frame, encoded
    uint64_t png_frame_ = 0;         // the frame png_ shows
    std::vector<gr_rect_t> damage_;
    nlohmann::ordered_json saved_;    // the document as in the file (loaded or saved)
    std::deque<history_step> undo_, redo_;
    double speed_ = 1;
};

} // namespace pitwall::cli

#endif // PITWALL_TOOL_WORKBENCH_H
