// commands.h - the subcommands of the preview tool and what they share.
#ifndef PITWALL_TOOL_COMMANDS_H
#define PITWALL_TOOL_COMMANDS_H

#include "frame_pattern.h"

#include "pitwall/engine.h"
#include "pitwall/raster_context.h"
#include "pitwall/scene_run.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pitwall::cli {

// Exit codes: a widget that failed to draw is not a usage error.
enum { exit_ok = 0, exit_widget_failed = 1, exit_usage = 2 };

// Everything the command line can say; each subcommand fills in only the options it takes.
struct options {
    std::string widget;    // attrs WIDGET: the one plug-in to list (every plug-in when empty)
    std::string scene;     // trace SCENE, render SCENE
    std::vector<std::string> plugins; // --plugins DIR, each one beside the default plug-in folder
    bool no_default_plugins = false;  // --no-default-plugins: the default folder left out
    std::string app;       // --app DIR: the application directory, overriding the scene's
    frame_pattern output;  // render -o OUT.png
    int scale = 1;         // render --scale N
    bool results = false;  // trace --results
    int port = 8080;                // serve --port N (0: any free port)
    std::string host = "127.0.0.1"; // serve --host ADDR
    size_t max_body = size_t(1) << 20; // serve --max-body BYTES: the largest request body taken
    double seconds = 0;    // animate --seconds S (0: the tracks' length and one frame)
    double fps = 25;       // animate --fps F
    std::string frames_dir; // animate -o DIR
    std::string video;     // animate --video OUT.mp4|.gif|.webm
    size_t max_frames = 100000; // animate --max-frames N: a longer animation is refused
    std::string gallery_dir; // gallery -o DIR
    int verbosity = 0;     // --quiet -1 (errors only), 0 (errors and warnings), --verbose 1 (everything)
    std::string new_scene; // new -o SCENE.json
    int16_t new_width = 800, new_height = 480; // new --size WxH
    std::vector<std::string> feeds; // run --feed SOURCE (instead of the scene's sources)
    std::string display = "window"; // run --display window|fullscreen|kmsdrm|offscreen
    int rotate = 0;        // run --rotate 0|90|180|270
    double run_fps = 0;    // run --fps F (0: paced by the display's refresh)
    std::vector<std::string> record; // run --record FILE.csv (values) and/or FILE.log (raw CAN frames)
    std::string feed_dbc;  // run --feed-dbc FILE: the CAN signal database, over the scene's
    bool stats = false;    // run --stats
    std::string screenshot; // run --screenshot FILE.png: the last frame, written on the way out
    std::string dbc;        // dbc FILE: the CAN database to list
    std::string decode_log; // dbc --decode LOG: a candump log to decode with it
};

// The smallest canvas `new` lays its controls out on.
inline constexpr unsigned new_min_width = 320, new_min_height = 240;

// How much of the widgets' log the tool shows on stderr, as --quiet and --verbose set it for the
// whole run (a workbench reload makes engines of its own). Every engine from make_engine prints
// its log lines as "error: TEXT", "warning: TEXT" or "info: TEXT" (level 0, 1, 2), without the
// levels above the verbosity: -1 errors only, 0 errors and warnings, 1 also info ("Loading
// image ..."). The engine's own reports ("pitwall: TEXT") are always shown.
void set_verbosity(int verbosity);
int verbosity();

// What the command line asks for: a command to run with its options, or, when there is nothing
// to run (help was printed, or a usage error reported), the code the tool exits with.
struct command_line {
    int (*run)(const options &) = nullptr;
    options opts;
    int exit_code = exit_ok;
};

command_line parse_command_line(int argc, char **argv);

// The plug-in folders to load, in order: the default one (unless --no-default-plugins), those of
// PITWALL_PLUGIN_PATH (colon-separated, empty entries ignored), then each --plugins.
std::vector<std::string> plugin_dirs(const options &opts);
// An engine on the scene's (or --app's) application directory with the plug-ins of plugin_dirs
// loaded; plug-in load errors are printed to stderr. Null when no plug-in could be loaded, or when
// two libraries register one display name.
std::unique_ptr<engine> make_engine(const options &opts, const std::string &base_dir);

// Load a scene and fill in the application directory from --app or the build's default.
bool load_scene_for(const options &opts, const std::string &path, scene &out);

// One line on stderr per failed draw of a frame, naming the control, its widget, the step (after
// the first frame) and the draw's result (the widget's own log lines come before, as they happened).
void report_failures(const char *command, const std::vector<draw_result> &failed, size_t frame);
// The same, each line followed by the reasons the scene gives for it ("PATH:LINE:COLUMN: error:
// ..."): palette indices outside their palette, missing images and fonts, an unset caption. The
// images are the files under the application directory, or with `staged` what the scene stages for
// the recording context.
void report_failures(const char *command, const std::vector<draw_result> &failed, size_t frame, const scene &s,
                     const std::string &scene_path, bool staged);
// Every control whose widget no loaded plug-in registers, as "PATH:LINE:COLUMN: control "x": no
// plug-in registers "W"", with the nearest registered name; false when there is one.
bool check_widgets(const char *command, const engine &eng, const scene &s, const std::string &scene_path);
// "control "speed": text "184 km/h" cut by its clip (12 px right)"
std::string describe_cut(const std::string &control, const raster_context::cut_text &cut);
// The reasons alone, for one failed draw after `step` steps, indented under its line.
void report_reasons(const draw_result &failed, size_t step, const scene &s, const std::string &scene_path, bool staged);

int cmd_attrs(const options &opts);
int cmd_trace(const options &opts);
int cmd_render(const options &opts);
int cmd_serve(const options &opts);
int cmd_animate(const options &opts);
int cmd_gallery(const options &opts);
int cmd_lint(const options &opts);
int cmd_new(const options &opts);
int cmd_snippet(const options &opts);
int cmd_run(const options &opts);
int cmd_dbc(const options &opts);

} // namespace pitwall::cli

#endif // PITWALL_TOOL_COMMANDS_H
