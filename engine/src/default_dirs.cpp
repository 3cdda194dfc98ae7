// The default plug-in and theme folders, found from where libgre itself lies. Only paths relative to
// the library's folder are compiled in, so a prefix can be installed anywhere and moved.
#include "pitwall/default_dirs.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

namespace pitwall {
namespace {

// The real folder of the file this library was loaded from (symbolic links resolved, so that the
// ".." of a relative path leads where it does on disk); "." if the loader does not say.
std::filesystem::path library_dir() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&default_plugin_dir), &info) == 0 || info.dli_fname == nullptr)
        return ".";
    std::filesystem::path dir = std::filesystem::path(info.dli_fname).parent_path();
    if (dir.empty()) return ".";
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(dir, ec);
    return ec ? dir : real;
}

std::string beside_library(const char *relative) {
    return (library_dir() / relative).lexically_normal().string();
}

} // namespace

std::string default_plugin_dir() {
    const char *env = std::getenv("PITWALL_PLUGIN_DIR");
    return env != nullptr && *env != '\0' ? env : beside_library(PITWALL_PLUGINDIR_FROM_LIB);
}

std::string default_app_dir() { return beside_library(PITWALL_APPDIR_FROM_LIB); }

std::vector<std::pair<std::string, std::string>> default_font_map() {
    // The widgets' one default name is a monospaced font: DejaVu's monospaced face stands in.
    return {{"fonts/CPMono_v07 Plain.otf", std::string(PITWALL_DEFAULT_FONT_DIR) + "/DejaVuSansMono.ttf"}};
}

} // namespace pitwall
