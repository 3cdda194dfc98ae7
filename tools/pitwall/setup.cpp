// The engine and the scene as every subcommand sets them up.
#include "commands.h"

#include "pitwall/default_dirs.h"

#include <cstdio>
#include <vector>

namespace pitwall::cli {

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
