// snippet.h - controls written as scene JSON for `pitwall snippet` and `pitwall new`: a widget's
// gallery sheet (its shared attributes, its first option and its normal state) as one control.
#ifndef PITWALL_TOOL_SNIPPET_H
#define PITWALL_TOOL_SNIPPET_H

#include "gallery/gallery.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace pitwall::cli {

// The control for a sheet at (x, y) of (width, height): colours written "#rrggbb", the value of
// the normal state last, and for widgets with threshold states a comment key "_states" giving the
// value of each state (and, for widgets that show their text as given, the text to set with it).
nlohmann::ordered_json snippet_control(const sheet &s, const std::string &name, int16_t x, int16_t y, int16_t width,
                                       int16_t height);

// What `pitwall snippet WIDGET` prints (without its last newline): the control of the widget's
// sheet at its own size, indented by two. The gallery's pages show the same text.
std::string snippet_text(const std::string &widget);

} // namespace pitwall::cli

#endif // PITWALL_TOOL_SNIPPET_H
