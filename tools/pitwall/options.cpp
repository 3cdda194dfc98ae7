// The command line: one CLI11 subcommand per command, each taking only its own options. CLI11's
// messages are the tool's one wording for usage errors; its exit codes are mapped onto the tool's.
#include "commands.h"

#include "pitwall/raster_context.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pitwall::cli {
namespace {

// CLI11's directory check without its own "DIR" on the option's type in the help.
CLI::Validator existing_directory() { return CLI::Validator(CLI::ExistingDirectory).description(""); }

void add_plugins_option(CLI::App &cmd, options &out) {
    cmd.add_option("--plugins", out.plugins, "Also load the plug-ins in DIR (may be given more than once)")
        ->type_name("DIR")
        ->check(existing_directory());
    cmd.add_flag("--no-default-plugins", out.no_default_plugins,
                 "Leave out the default plug-in folder (PITWALL_PLUGIN_PATH and --plugins still load)");
}

void add_app_option(CLI::App &cmd, options &out) {
    cmd.add_option("--app", out.app, "Application directory (fonts, images), over the scene's own")
        ->type_name("DIR")
        ->check(existing_directory());
}

// --quiet and --verbose, on every command; set_verbosity takes them once the line is parsed.
void add_verbosity_options(CLI::App &cmd, options &out) {
    CLI::Option *quiet = cmd.add_flag_callback("-q,--quiet", [&out] { out.verbosity = -1; },
                                               "Show only the widgets' errors, no warnings and no progress");
    cmd.add_flag_callback("-v,--verbose", [&out] { out.verbosity = 1; },
                          "Show every widget log line, \"Loading image\" ones too")
        ->excludes(quiet);
}

// --size WxH: a canvas a scene from `new` can lay its controls out on.
CLI::Validator canvas_size(options &out) {
    return CLI::Validator(
        [&out](std::string &text) -> std::string {
            unsigned w = 0, h = 0;
            char end = 0;
            if (std::sscanf(text.c_str(), "%5ux%5u%c", &w, &h, &end) != 2 || w < new_min_width ||
                h < new_min_height || w > 32767 || h > 32767)
                return "the size is WIDTHxHEIGHT, from " + std::to_string(new_min_width) + "x" +
                       std::to_string(new_min_height) + " to 32767x32767 pixels";
            out.new_width = int16_t(w);
            out.new_height = int16_t(h);
            return {};
        },
        "WxH");
}

void add_scene_argument(CLI::App &cmd, options &out) {
    cmd.add_option("SCENE", out.scene, "The scene file (JSON)")->type_name("")->required();
}

// CLI::Range lets NaN through, since every comparison with it is false: a time or a rate must
// be a finite number inside the range.
CLI::Validator finite_range(double low, double high) {
    char from[32], to[32];
    std::snprintf(from, sizeof from, "%g", low);
    std::snprintf(to, sizeof to, "%g", high);
    return CLI::Validator(
        [low, high, message = std::string(" is not a number from ") + from + " to " + to](std::string &text) {
            double value = 0;
            if (CLI::detail::lexical_cast(text, value) && std::isfinite(value) && value >= low && value <= high)
                return std::string();
            return text + message;
        },
        std::string("FLOAT in [") + from + " - " + to + "]");
}

// -o is parsed into its frame pattern here, so that a malformed one is a usage error like any
// other; CLI11 reports the ValidationError under the option's name.
void add_output_option(CLI::App &cmd, options &out) {
    cmd.add_option_function<std::string>(
           "-o,--output",
           [&out](const std::string &text) {
               std::string why;
               std::optional<frame_pattern> pattern = frame_pattern::parse(text, &why);
               if (!pattern) throw CLI::ValidationError("--output", why);
               out.output = *pattern;
           },
           "The PNG to write; %d (or %03d, %5d) in the name is the frame number, %% a percent sign")
        ->type_name("OUT.png")
        ->required();
}

// The subcommand the error arose in, for the message's prefix: "pitwall render", or "pitwall"
// when no subcommand was reached.
std::string command_name(const CLI::App &app) {
    std::vector<CLI::App *> chosen = app.get_subcommands();
    return chosen.empty() ? app.get_name() : app.get_name() + " " + chosen.back()->get_name();
}

} // namespace

command_line parse_command_line(int argc, char **argv) {
    command_line line;
    options &opts = line.opts;

    CLI::App app("The preview tool: loads the plug-ins into the stand-in engine and shows what they draw.", "pitwall");
    app.require_subcommand(0, 1);
    // "pitwall 0.1.0": the form help2man reads when it writes the manual pages.
    app.set_version_flag("--version", std::string("pitwall ") + PITWALL_VERSION, "Print the version and exit");

    CLI::App *attrs = app.add_subcommand("attrs", "Print each plug-in's display name and attribute table");
    attrs->add_option("WIDGET", opts.widget, "Only the plug-in of this display name")->type_name("");
    add_plugins_option(*attrs, opts);

    CLI::App *trace = app.add_subcommand("trace", "Draw SCENE (every frame of its steps) and print every operation the widgets call");
    add_scene_argument(*trace, opts);
    add_plugins_option(*trace, opts);
    add_app_option(*trace, opts);
    trace->add_flag("--results", opts.results,
                    "Mark the frame, give each draw's result and dirty before and after, end with the teardown "
                    "(always so with steps)");

    CLI::App *render = app.add_subcommand("render", "Draw SCENE with the raster context and write its last frame, or every frame, as PNG");
    add_scene_argument(*render, opts);
    add_output_option(*render, opts);
    render->add_option("--scale", opts.scale, "Magnify every pixel to N x N")
        ->type_name("N")
        ->default_str("1")
        ->check(CLI::Range(1, raster_context::max_scale));
    add_plugins_option(*render, opts);
    add_app_option(*render, opts);

    CLI::App *animate = app.add_subcommand("animate", "Play SCENE's tracks: one PNG a frame in DIR, optionally a video");
    add_scene_argument(*animate, opts);
    animate->add_option("--seconds", opts.seconds, "Length in seconds (default: up to the tracks' last key)")
        ->type_name("S")
        ->check(finite_range(0.001, 86400));
    animate->add_option("--fps", opts.fps, "Frames a second; frame i shows the time i / F")
        ->type_name("F")
        ->default_str("25")
        ->check(finite_range(0.01, 1000));
    animate->add_option("--max-frames", opts.max_frames, "Refuse an animation of more than N frames")
        ->type_name("N")
        ->default_str("100000")
        ->check(CLI::Range(size_t(1), size_t(1000000000)));
    animate->add_option("-o,--output", opts.frames_dir, "Write DIR/frame-00000.png, ... (made when missing)")
        ->type_name("DIR")
        ->required();
    animate->add_option("--video", opts.video, "Encode the frames with ffmpeg into a .mp4, .gif or .webm")
        ->type_name("OUT")
        ->check(CLI::Validator(
            [](std::string &name) -> std::string {
                for (const char *ext : {".mp4", ".gif", ".webm"})
                    if (name.size() > std::string(ext).size() && name.ends_with(ext)) return {};
                return "the video is a .mp4, .gif or .webm file";
            },
            ""));
    animate->add_option("--scale", opts.scale, "Magnify every pixel to N x N")
        ->type_name("N")
        ->default_str("1")
        ->check(CLI::Range(1, raster_context::max_scale));
    add_plugins_option(*animate, opts);
    add_app_option(*animate, opts);

    CLI::App *serve = app.add_subcommand("serve", "Show SCENE in a web page to edit its attributes live, play its tracks and save it");
    add_scene_argument(*serve, opts);
    serve->add_option("--port", opts.port, "Listen on port N (0: any free port)")
        ->type_name("N")
        ->default_str("8080")
        ->check(CLI::Range(0, 65535));
    serve->add_option("--host", opts.host, "Listen on ADDR; anything but loopback lets others edit the scene files")
        ->type_name("ADDR")
        ->default_str("127.0.0.1");
    serve->add_option("--max-body", opts.max_body, "Refuse requests whose body is larger than BYTES")
        ->type_name("BYTES")
        ->default_str("1048576")
        ->check(CLI::Range(size_t(1024), size_t(1) << 30));
    add_plugins_option(*serve, opts);
    add_app_option(*serve, opts);

    CLI::App *gallery = app.add_subcommand("gallery", "Draw one picture per widget (states and main options) and its attribute reference pages into DIR");
    gallery->add_option("-o,--output", opts.gallery_dir, "Write DIR/<widget>.png, DIR/README.md and DIR/index.html (made when missing)")
        ->type_name("DIR")
        ->required();
    add_plugins_option(*gallery, opts);
    add_app_option(*gallery, opts);

    CLI::App *create = app.add_subcommand("new", "Write a starting scene: a gauge, a box, a bar, an alarm and a label that draw as they are");
    create->add_option("-o,--output", opts.new_scene, "The scene to write (never over an existing file)")
        ->type_name("SCENE.json")
        ->required();
    std::string size_text;
    create->add_option("--size", size_text, "The canvas")->type_name("WxH")->default_str("800x480")->check(canvas_size(opts));
    add_plugins_option(*create, opts);

    CLI::App *snippet = app.add_subcommand("snippet", "Print a control (JSON) for WIDGET that draws in each of its threshold states");
    snippet->add_option("WIDGET", opts.widget, "The widget's display name, as `pitwall attrs` lists it")->type_name("")->required();
    add_plugins_option(*snippet, opts);

    CLI::App *lint = app.add_subcommand("lint", "Check SCENE: values outside their range or palette, missing fonts and images, controls that will not draw and why, overlaps");
    add_scene_argument(*lint, opts);
    add_plugins_option(*lint, opts);
    add_app_option(*lint, opts);

    CLI::App *live = app.add_subcommand("run", "Show SCENE on a screen, driven by live data (UDP, standard input, a log) or its demo loop");
    add_scene_argument(*live, opts);
    live->add_option("--feed", opts.feeds, "Read live values from SOURCE instead of the scene's feeds: udp:[ADDR:]PORT[?from=ADDR], "
                                          "stdin, csv:FILE[?loop][&speed=X]; may be given more than once")
        ->type_name("SOURCE");
    live->add_option("--display", opts.display, "Where to show it: window, fullscreen, kmsdrm (a board without a desktop) or offscreen")
        ->type_name("MODE")
        ->default_str("window")
        ->check(CLI::IsMember({"window", "fullscreen", "kmsdrm", "offscreen"}));
    live->add_option("--rotate", opts.rotate, "Turn the picture clockwise, for a display mounted on its side")
        ->type_name("DEG")
        ->default_str("0")
        ->check(CLI::IsMember({0, 90, 180, 270}));
    live->add_option("--fps", opts.run_fps, "Draw at most F frames a second (default: the display's refresh)")
        ->type_name("F")
        ->check(finite_range(1, 1000));
    live->add_option("--record", opts.record, "Write every value received to FILE.csv (a telemetry log), the raw CAN frames "
                                              "to FILE.log (a candump log); never over an existing file")
        ->type_name("FILE")
        ->check(CLI::Validator(
            [](std::string &name) -> std::string {
                return name.empty() ? "the recording needs a file name" : std::string();
            },
            ""));
    live->add_option("--feed-dbc", opts.feed_dbc, "Decode the can: and candump: feeds with this signal database, over the scene's")
        ->type_name("FILE.dbc");
    live->add_flag("--stats", opts.stats, "Print once a second the frames drawn and skipped, CPU time and latency");
    live->add_option("--screenshot", opts.screenshot, "Write the last frame shown to FILE.png on the way out")
        ->type_name("FILE");
    live->add_option("--seconds", opts.seconds, "Stop after S seconds (default: until SIGINT, SIGTERM or the window closes)")
        ->type_name("S")
        ->check(finite_range(0.001, 31536000));
    add_plugins_option(*live, opts);
    add_app_option(*live, opts);

    CLI::App *dbc = app.add_subcommand("dbc", "List the messages and signals of a CAN database (DBC), or decode a candump log with it");
    dbc->add_option("FILE", opts.dbc, "The CAN database (.dbc)")->type_name("")->required();
    dbc->add_option("--decode", opts.decode_log, "Print each frame of LOG (candump -l) with its signals' values")
        ->type_name("LOG");

    for (CLI::App *cmd : {attrs, trace, render, animate, serve, gallery, create, snippet, lint, live, dbc}) add_verbosity_options(*cmd, opts);

    // After the subcommands, which would otherwise copy it into their own help.
    app.footer("Exit codes: 0 every widget drew; 1 a widget's draw failed (the output is still written);\n"
               "2 bad usage, a bad scene or an unwritable file. Run `pitwall COMMAND --help` for a command's options.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        // The help of the subcommand that asked for it, when one did.
        std::fputs(app.help().c_str(), stdout);
        line.exit_code = exit_ok;
        return line;
    } catch (const CLI::CallForVersion &e) {
        std::printf("%s\n", e.what());
        line.exit_code = exit_ok;
        return line;
    } catch (const CLI::ParseError &e) {
        std::string name = command_name(app);
        std::fprintf(stderr, "%s: %s\nRun `%s --help` for the options.\n", name.c_str(), e.what(), name.c_str());
        line.exit_code = exit_usage;
        return line;
    }

    const std::pair<const CLI::App *, int (*)(const options &)> commands[] = {
        {attrs, cmd_attrs}, {trace, cmd_trace}, {render, cmd_render}, {animate, cmd_animate}, {serve, cmd_serve}, {gallery, cmd_gallery},
        {create, cmd_new}, {snippet, cmd_snippet}, {lint, cmd_lint}, {live, cmd_run}, {dbc, cmd_dbc}};
    for (const auto &[cmd, run] : commands)
        if (cmd->parsed()) line.run = run;
    set_verbosity(opts.verbosity);
    if (!line.run) {
        std::fputs(app.help().c_str(), stderr);
        line.exit_code = exit_usage;
    }
    return line;
}

} // namespace pitwall::cli
