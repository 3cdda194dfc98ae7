// workbench_palette.h - the widgets the page offers to add: each with its starter control (the
// snippet `pitwall snippet` prints) and its gallery sheet drawn once as a thumbnail.
#ifndef PITWALL_TOOL_WORKBENCH_PALETTE_H
#define PITWALL_TOOL_WORKBENCH_PALETTE_H

#include "commands.h"

#include <nlohmann/json.hpp>

#include <map>
#include <string>

namespace pitwall::cli {

struct palette_widget {
    std::string png; // the gallery sheet; empty when it could not be drawn
};

// Every widget the plug-ins register, by display name, drawn on an engine of its own that is gone
// again when this returns (a plug-in library serves one engine at a time).
std::map<std::string, palette_widget> palette_widgets(const options &opts, const std::string &app_dir);

// A new control of `widget`: its gallery sheet's starter at the sheet's cell size.
nlohmann::ordered_json starter_control(const std::string &widget);

} // namespace pitwall::cli

#endif // PITWALL_TOOL_WORKBENCH_PALETTE_H
