// The engine and the scene as every subcommand sets them up, how the widgets' log reaches stderr,
// and the plug-ins' description files joining the attribute catalog.
#include "commands.h"
#include "plugin_descriptions.h"
#include "progress.h"

#include "pitwall/attribute_catalog.h"
#include "pitwall/default_dirs.h"
#include "pitwall/plugin_description.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <string_view>
#include <vector>

namespace pitwall::cli {
namespace {

int g_verbosity = 0;

const char *level_name(int level) {
    switch (level) {
    case 0: return "error";
    case 1: return "warning";
    case 2: return "info";
    default: return nullptr;
    }
}

// Widget lines carry attribute strings from the scene: control characters are shown as \xNN so
// that a line cannot move the cursor or change the terminal.
std::string printable(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

void print_log_line(FILE *stream, int level, const std::string &text) {
    if (level > g_verbosity + 1) return; // -1: 0 only; 0: 0 and 1; 1: all
    const progress_bar::output_pause pause;
    const std::string shown = printable(text);
    if (level < 0) {
        std::fprintf(stream, "pitwall: %s\n", shown.c_str());
    } else if (const char *name = level_name(level)) {
        std::fprintf(stream, "%s: %s\n", name, shown.c_str());
    } else {
        std::fprintf(stream, "level %d: %s\n", level, shown.c_str());
    }
}

// Libraries whose description file was looked for, by path: each is read once per run, whichever
// engine loads it first, so that its errors are printed once.
std::mutex g_described_lock;
std::set<std::string> g_described;
std::vector<description_error> g_description_errors;

void describe(const std::vector<plugin *> &loaded) {
    const std::lock_guard lock(g_described_lock);
    for (const plugin *p : loaded) {
        if (!g_described.insert(p->path()).second) continue;
        const std::string path = description_path(p->path());
        std::error_code ec;
        if (path.empty() || !std::filesystem::exists(std::filesystem::symlink_status(path, ec))) continue;
        widget_info w;
        std::string err;
        if (read_plugin_description(path, p->display_name(), p->attributes(), w, &err)) {
            if (add_widget_info(std::move(w), &err)) continue;
            err = path + ": " + err;
        }
        std::fprintf(stderr, "pitwall: %s\n", printable(err).c_str());
        // The message is the path, maybe ":LINE:COLUMN", then ": " and the cause.
        const size_t cut = err.find(": ", path.size());
        g_description_errors.push_back({p->display_name(), err.substr(0, cut), cut == std::string::npos ? err : err.substr(cut + 2)});
    }
}

} // namespace

const std::vector<description_error> &description_errors() { return g_description_errors; }

void read_plugin_descriptions(const options &opts) {
    // Once for a set of folders: a later call may come while another engine holds the libraries
    // (a reload), when they cannot be loaded again.
    static std::mutex lock;
    static std::set<std::vector<std::string>> done;
    const std::vector<std::string> dirs = plugin_dirs(opts);
    const std::lock_guard hold(lock);
    if (!done.insert(dirs).second) return;
    engine quiet(default_app_dir());
    quiet.set_log_printer([](FILE *, int, const std::string &) {});
    std::vector<error> errors, conflicts;
    // Load failures are make_engine's to print; what did load is described.
    describe(quiet.load_plugin_dirs(dirs, &errors, &conflicts));
}

void set_verbosity(int verbosity) { g_verbosity = verbosity < -1 ? -1 : verbosity > 1 ? 1 : verbosity; }
int verbosity() { return g_verbosity; }

std::vector<std::string> plugin_dirs(const options &opts) {
    std::vector<std::string> dirs;
    if (!opts.no_default_plugins) {
        std::string dir = default_plugin_dir();
        // A build or install without its own plug-in folder still runs on the folders it is given.
        std::error_code ec;
        if (opts.plugins.empty() || std::filesystem::is_directory(dir, ec)) dirs.push_back(std::move(dir));
    }
    if (const char *path = std::getenv("PITWALL_PLUGIN_PATH")) {
        std::string_view rest = path;
        while (!rest.empty()) {
            const size_t colon = rest.find(':');
            const std::string_view entry = rest.substr(0, colon);
            if (!entry.empty()) dirs.emplace_back(entry);
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    dirs.insert(dirs.end(), opts.plugins.begin(), opts.plugins.end());
    return dirs;
}

std::unique_ptr<engine> make_engine(const options &opts, const std::string &base_dir) {
    auto eng = std::make_unique<engine>(base_dir);
    eng->set_log_printer(print_log_line);
    // Text shows without a font map: the widgets' default font name falls back to the theme's.
    for (const auto &[name, file] : default_font_map()) eng->fonts().map_default_font(name, file);
    std::vector<error> errors, conflicts;
    const std::vector<std::string> dirs = plugin_dirs(opts);
    std::vector<plugin *> loaded = eng->load_plugin_dirs(dirs, &errors, &conflicts);
    for (const error &e : errors) std::fprintf(stderr, "pitwall: %s\n", e.c_str());
    for (const error &e : conflicts) std::fprintf(stderr, "pitwall: %s\n", e.c_str());
    // Which of two widgets of one name a scene would get is not for the load order to decide.
    if (!conflicts.empty()) return nullptr;
    describe(loaded);
    if (loaded.empty()) {
        std::string names;
        for (const std::string &dir : dirs) names += (names.empty() ? "" : ", ") + dir;
        std::fprintf(stderr, "pitwall: no plug-in could be loaded from %s\n", names.empty() ? "any folder" : names.c_str());
        return nullptr;
    }
    return eng;
}

bool load_scene_for(const options &opts, const std::string &path, scene &out) {
    read_plugin_descriptions(opts);
    error err;
    if (!load_scene(path, out, &err)) {
        std::fprintf(stderr, "pitwall: %s\n", err.c_str());
        return false;
    }
    if (!opts.app.empty())
        out.base_dir = opts.app;
    else if (out.base_dir.empty())
        out.base_dir = default_app_dir();
    return true;
}

} // namespace pitwall::cli
