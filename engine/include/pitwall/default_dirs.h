// default_dirs.h - where this libgre finds its plug-ins and the default theme: relative to the
// folder the library was loaded from, so the same in the build tree and in an installed prefix.
#ifndef PITWALL_DEFAULT_DIRS_H
#define PITWALL_DEFAULT_DIRS_H

#include <string>
#include <utility>
#include <vector>

namespace pitwall {

// PITWALL_PLUGIN_DIR in the environment, when set, names the plug-in folder instead.
std::string default_plugin_dir();
std::string default_app_dir();

// The default theme's fonts: the font resource names the widgets use when their `font` is empty,
// each with a font file the system has (DejaVu, from fonts-dejavu-core). The tool hands them to
// the resource manager as defaults, behind a scene's own map and the application's own files.
std::vector<std::pair<std::string, std::string>> default_font_map();

} // namespace pitwall

#endif // PITWALL_DEFAULT_DIRS_H
