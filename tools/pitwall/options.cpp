// Flags and set-up shared by the subcommands.
#include "commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace pitwall::cli {
namespace {

bool parse_int(const char *text, int &out) {
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 1 || v > 100000) return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

bool parse_options(int argc, char **argv, options &out, std::string *err) {
    for (int i = 0; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto value = [&](const char *flag) -> const char * {
            if (i + 1 >= argc) {
                *err = std::string(flag) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        const char *v = nullptr;
        if (arg == "--plugins") {
            if (!(v = value("--plugins"))) return false;
            out.plugins = v;
        } else if (arg == "--app") {
            if (!(v = value("--app"))) return false;
            out.app = v;
        } else if (arg == "-o" || arg == "--output") {
            if (!(v = value("-o"))) return false;
            out.output = v;
        } else if (arg == "--scale") {
            if (!(v = value("--scale"))) return false;
            if (!parse_int(v, out.scale)) {
                *err = "--scale takes a whole number from 1";
                return false;
            }
        } else if (arg == "--frames") {
            if (!(v = value("--frames"))) return false;
            if (!parse_int(v, out.frames)) {
                *err = "--frames takes a whole number from 1";
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            *err = "unknown option " + std::string(arg);
            return false;
        } else {
            out.positional.emplace_back(arg);
        }
    }
    return true;
}

std::unique_ptr<engine> make_engine(const options &opts, const std::string &base_dir) {
    auto eng = std::make_unique<engine>(base_dir);
    std::vector<error> errors;
    std::string dir = opts.plugins.empty() ? default_plugin_dir() : opts.plugins;
    std::vector<plugin *> loaded = eng->load_plugin_dir(dir, &errors);
    for (const error &e : errors) std::fprintf(stderr, "pitwall: %s\n", e.c_str());
    if (loaded.empty()) {
        std::fprintf(stderr, "pitwall: no plug-in could be loaded from %s\n", dir.c_str());
        return nullptr;
    }
    return eng;
}

bool load_scene_for(const options &opts, const std::string &path, scene &out) {
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
