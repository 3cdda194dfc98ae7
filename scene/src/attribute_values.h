// attribute_values.h - a scene's attribute value read for a widget the catalog describes: names
// turned into numbers, tick ranges and pairs into tick strings, and every value the widget's
// attribute cannot take refused before any plug-in sees it.
#ifndef PITWALL_ATTRIBUTE_VALUES_H
#define PITWALL_ATTRIBUTE_VALUES_H

#include "located_json.h"
#include "pitwall/attribute_catalog.h"
#include "pitwall/engine.h"

#include <string>
#include <utility>
#include <vector>

namespace pitwall {

struct resolved_value {
    std::string attribute;
    attr_value value;
};

// Appends what `value` sets on `widget`'s attribute `name`: one value, or two for a tick range
// with "minor" (the ticks, then `subsections`). On failure returns false with `why` and `at`, the
// part of `value` to blame.
bool resolve_attribute(const widget_info &widget, const std::string &name, const json &value,
                       std::vector<resolved_value> &out, std::string &why, const json *&at);

} // namespace pitwall

#endif // PITWALL_ATTRIBUTE_VALUES_H
