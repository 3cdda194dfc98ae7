// commands.h - the subcommands of the preview tool and what they share.
#ifndef PITWALL_TOOL_COMMANDS_H
#define PITWALL_TOOL_COMMANDS_H

#include "pitwall/engine.h"
#include "pitwall/scene.h"

#include <memory>
#include <string>
#include <vector>

namespace pitwall::cli {

// Exit codes: a widget that failed to draw is not a usage error.
enum { exit_ok = 0, exit_widget_failed = 1, exit_usage = 2 };

struct options {
    std::string plugins;                // --plugins DIR (default: the build's own plug-ins)
    std::string app;                    // --app DIR: the application directory, overriding the scene's
    std::string output;                 // -o FILE or DIR
    int scale = 1;                      // --scale N
    int frames = 0;                     // --frames N
    std::vector<std::string> positional;
};

// Parse the flags every subcommand understands; false (with a message) on an unknown flag.
bool parse_options(int argc, char **argv, options &out, std::string *err);

// An engine on the scene's (or --app's) application directory with every plug-in loaded; plug-in
// load errors are printed to stderr. Null when no plug-in could be loaded.
std::unique_ptr<engine> make_engine(const options &opts, const std::string &base_dir);

// Load a scene and fill in the application directory from --app or the build's default.
bool load_scene_for(const options &opts, const std::string &path, scene &out);

// One line on stderr per draw of the last frame that failed, naming the control, its widget and
// the draw's result (the widget's own log lines come before, as they happened).
void report_failures(const char *command, const scene_run &run);

int cmd_attrs(int argc, char **argv);
int cmd_trace(int argc, char **argv);
int cmd_render(int argc, char **argv);

} // namespace pitwall::cli

#endif // PITWALL_TOOL_COMMANDS_H
