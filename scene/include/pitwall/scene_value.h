// scene_value.h - an attribute value as a scene file writes it, from a parsed JSON value: null,
// true or false (1, 0), a number or a string. The scene reader and the workbench's page share it,
// so a value reads the same from a file and from a form. Any nlohmann JSON type will do.
#ifndef PITWALL_SCENE_VALUE_H
#define PITWALL_SCENE_VALUE_H

#include "pitwall/engine.h"

#include <cstdint>
#include <string>

namespace pitwall {

// False for arrays and objects.
template <typename Json>
bool attr_value_from_json(const Json &j, attr_value &out) {
    if (j.is_null()) out = null_string{};
    else if (j.is_boolean()) out = static_cast<int64_t>(j.template get<bool>() ? 1 : 0);
    // Unsigned first (an unsigned number is an integer too): beyond int64_t it stays a number that
    // no integer attribute accepts, instead of wrapping to a negative value.
    else if (j.is_number_unsigned() && j.template get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
        out = static_cast<double>(j.template get<uint64_t>());
    else if (j.is_number_integer()) out = j.template get<int64_t>();
    else if (j.is_number_float()) out = j.template get<double>();
    else if (j.is_string()) out = j.template get<std::string>();
    else return false;
    return true;
}

} // namespace pitwall

#endif // PITWALL_SCENE_VALUE_H
