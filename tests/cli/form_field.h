// form_field.h - one attribute's field of the workbench's control form, by name, for the tests that
// read what the form says of an attribute.
#ifndef PITWALL_TESTS_FORM_FIELD_H
#define PITWALL_TESTS_FORM_FIELD_H

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

namespace pitwall::testing {

// The field named `name` in the form's "attributes"; a test failure and an empty object without one.
inline nlohmann::json form_field(const nlohmann::json &form, const std::string &name) {
    for (const auto &f : form["attributes"])
        if (f["name"] == name) return f;
    ADD_FAILURE() << "no field " << name;
    return nlohmann::json{};
}

} // namespace pitwall::testing

#endif // PITWALL_TESTS_FORM_FIELD_H
