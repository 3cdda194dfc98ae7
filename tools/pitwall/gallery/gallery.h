// gallery.h - `pitwall gallery`: one picture per widget (its threshold states side by side, one row
// per main option) and a reference page of every attribute table, with its descriptions.
#ifndef PITWALL_TOOL_GALLERY_H
#define PITWALL_TOOL_GALLERY_H

#include "pitwall/engine.h"
#include "pitwall/scene.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pitwall::cli {

using attribute_list = std::vector<std::pair<std::string, attr_value>>;

// One row of a sheet: a main option, set over the sheet's base attributes.
struct sheet_row {
    std::string caption;
    attribute_list attributes;
};

// How a widget is shown: every row drawn once per state column.
struct sheet {
    std::string widget;       // display name
    int16_t cell_width = 0, cell_height = 0;
    attribute_list base;      // limits, colours and texts every cell shares
    // The values below the lower limit, between the limits and above the upper one; none for
    // widgets without a value (one column).
    std::optional<std::array<double, 3>> values;
    // When set, this attribute gets each column's value as text, between the prefix and the suffix
    // (the boxes and labels draw their text as given, they do not format `value`).
    std::string value_text_attribute;
    std::string value_prefix, value_suffix;
    std::vector<sheet_row> rows;
};

// The sheet of a widget; a generic one-row sheet for a widget this tool does not know.
sheet sheet_for(const std::string &widget);

// The picture's scene: captions (drawn by the Label widget when it is loaded) and the cells.
scene sheet_scene(const sheet &s, bool with_captions);

// The picture's file name: the plug-in library's name without "libgre-plugin-" and ".so".
std::string picture_name(const plugin &p);

// The reference pages, README.md and index.html, in `dir`, described by the attribute catalog:
// the engine-wide attributes once, then per widget its picture, its snippet (as `pitwall snippet`
// prints it) and its own attributes; index.html filters them by a search box. Returns the
// attributes it does not describe as "Widget: name" lines (they are marked in the pages too).
struct gallery_entry {
    const plugin *widget;
    std::string picture; // file name inside the gallery folder
};
std::vector<std::string> write_gallery_pages(const std::string &dir, const std::vector<gallery_entry> &entries,
                                             std::string *why);

} // namespace pitwall::cli

#endif // PITWALL_TOOL_GALLERY_H
