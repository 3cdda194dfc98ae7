// plugin_description.h - a plug-in's own description of its attributes, read from the JSON file
// beside its library (libgre-plugin-NAME.json beside libgre-plugin-NAME.so), in the same terms as
// the attribute catalog's built-in descriptions: kind, range, unit, named values, help, default.
//
//     {"widget": "Shift Lights", "what": "A row of lights ...",
//      "attributes": [{"name": "rpm", "kind": "integer", "range": [0, 20000], "unit": "rpm",
//                      "default": "0", "help": "Engine speed."},
//                     {"name": "style", "kind": "choice", "values": {"fill": 0, "flash": 1}}]}
//
// The file is checked against the loaded plug-in: `widget` is its display name and each attribute
// one of its table. Attributes of the table the file leaves out stay undescribed.
#ifndef PITWALL_PLUGIN_DESCRIPTION_H
#define PITWALL_PLUGIN_DESCRIPTION_H

#include "gre_host.h"
#include "pitwall/attribute_catalog.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pitwall {

// Bounds on what a description file may hold; it comes from whoever wrote the plug-in.
inline constexpr size_t max_description_bytes = 1 << 20;
inline constexpr size_t max_described_attributes = 512;
inline constexpr size_t max_named_values = 256;
inline constexpr size_t max_description_name = 64;   // attribute, widget and value names
inline constexpr size_t max_description_text = 2000; // what, help, unit, default, when_invalid

// The description file of a plug-in library: the same folder and stem with ".json"; empty when the
// library's name does not end in ".so".
std::string description_path(const std::string &library);

// `text` (the contents of the file `path`) as the description of the plug-in named `display_name`
// with the attribute table `table`. On failure, *err is "PATH:LINE:COLUMN: cause" and `out` is left
// as it was. The description remembers `path` as its source.
bool parse_plugin_description(const std::string &path, const std::string &text, std::string_view display_name,
                              const std::vector<gr_attribute_t> &table, widget_info &out, std::string *err);

// The same from the file itself: a regular file of at most max_description_bytes.
bool read_plugin_description(const std::string &path, std::string_view display_name,
                             const std::vector<gr_attribute_t> &table, widget_info &out, std::string *err);

} // namespace pitwall

#endif // PITWALL_PLUGIN_DESCRIPTION_H
