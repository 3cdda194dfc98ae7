// default_dirs.h - where this libgre finds its plug-ins and the default theme: relative to the
// folder the library was loaded from, so the same in the build tree and in an installed prefix.
#ifndef PITWALL_DEFAULT_DIRS_H
#define PITWALL_DEFAULT_DIRS_H

#include <string>

namespace pitwall {

// PITWALL_PLUGIN_DIR in the environment, when set, names the plug-in folder instead.
std::string default_plugin_dir();
std::string default_app_dir();

} // namespace pitwall

#endif // PITWALL_DEFAULT_DIRS_H
