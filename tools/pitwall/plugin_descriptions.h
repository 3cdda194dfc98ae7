// plugin_descriptions.h - the description files of the loaded plug-ins, read into the attribute
// catalog once per run, before the first scene is read, so that a scene's names for a described
// plug-in resolve as they do for the project's own.
#ifndef PITWALL_CLI_PLUGIN_DESCRIPTIONS_H
#define PITWALL_CLI_PLUGIN_DESCRIPTIONS_H

#include "commands.h"

#include <string>
#include <vector>

namespace pitwall::cli {

// Loads the plug-ins `opts` names into an engine of its own, quietly, and reads their description
// files (make_engine does the same for its own plug-ins; a library is read once per run either way).
void read_plugin_descriptions(const options &opts);

// The description files that could not be used this run, each as it was printed: a plug-in with
// a broken file stays undescribed.
struct description_error {
    std::string widget; // the plug-in's display name
    std::string where;  // "PATH:LINE:COLUMN", or "PATH" for a file that could not be read
    std::string cause;
};
const std::vector<description_error> &description_errors();

} // namespace pitwall::cli

#endif // PITWALL_CLI_PLUGIN_DESCRIPTIONS_H
