// fuzz_value_format - number formats from arbitrary text, written with arbitrary numbers. The text
// reaches snprintf when it is accepted, so what is accepted is checked against a plain model.
//
// Input: one choice of number (fuzz::input), the rest is the format. Checked for every input:
//   - a refusal says why, as "format \"...\": cause";
//   - an accepted printf format has exactly one conversion, one of f F e E g G a A, and nothing
//     else after a '%' but "%%", flags, a width and a precision; its text starts with the literal
//     text before the conversion;
//   - an accepted clock pattern writes the pattern's separators in place, and its fields add up to
//     the number, rounded at the last digit; a number it cannot count is the pattern in dashes;
//   - nothing overflows (the sanitizers see that).
#include "fuzz_input.h"

#include "pitwall/value_format.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check_printf(const std::string &format, const std::string &out) {
    std::string prefix;
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            if (conversions == 0) prefix += format[i];
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == '%') {
            if (conversions == 0) prefix += '%';
            continue;
        }
        while (i < format.size() && std::strchr("-+ #0123456789.", format[i]) != nullptr) ++i;
        if (i == format.size() || std::strchr("fFeEgGaA", format[i]) == nullptr)
            fuzz::fail("a printf format with something else after a '%' was accepted");
        ++conversions;
    }
    if (conversions != 1) fuzz::fail("a printf format without exactly one conversion was accepted");
    if (out.compare(0, prefix.size(), prefix) != 0) fuzz::fail("the text before the conversion is not written first");
}

void check_clock(const std::string &format, double value, const std::string &out) {
    std::string dashes;
    for (char c : format) dashes += std::strchr("hmsS", c) != nullptr ? '-' : c;
    if (out == dashes) {
        if (std::isfinite(value) && std::fabs(value) < 1e9) fuzz::fail("a small finite number written as dashes");
        return;
    }
    if (!std::isfinite(value)) fuzz::fail("a number that is not finite written as a time");
    size_t i = out.size() > 0 && out[0] == '-' ? 1 : 0;
    const bool negative = i == 1;
    // The pattern's separators, in order, must be the output's.
    std::string separators, written;
    for (char c : format)
        if (c == ':' || c == '.') separators += c;
    double seconds = 0, unit_of_last = 1;
    const double units[] = {3600, 60, 1};
    int unit = format[0] == 'h' ? 0 : format[0] == 'm' ? 1 : 2;
    size_t decimals = 0;
    bool in_fraction = false;
    std::string field;
    auto end_field = [&] {
        if (field.empty()) fuzz::fail("an empty field in a time");
        if (in_fraction) {
            decimals = field.size();
            seconds += std::strtod(("0." + field).c_str(), nullptr);
            unit_of_last = std::pow(10.0, -double(decimals));
        } else {
            seconds += std::strtod(field.c_str(), nullptr) * units[unit];
            unit_of_last = units[unit];
        }
        field.clear();
    };
    for (; i < out.size(); ++i) {
        const char c = out[i];
        if (c >= '0' && c <= '9') {
            field += c;
        } else if (c == ':' || c == '.') {
            end_field();
            written += c;
            if (c == ':') ++unit;
            else in_fraction = true;
        } else {
            fuzz::fail("a time holds something other than digits and separators");
        }
    }
    end_field();
    if (written != separators) fuzz::fail("a time's separators differ from its pattern's");
    if (negative && seconds == 0) fuzz::fail("a negative zero time");
    const double expected = std::fabs(value);
    // Rounded at the last digit: at most half of it away, with room for the double's own error.
    if (std::fabs(seconds - expected) > unit_of_last / 2 + expected * 1e-12 + 1e-9)
        fuzz::fail("a time's fields do not add up to the number");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::input in(data, size);
    const uint8_t how = in.byte();
    double value = how < 0x20 ? in.raw<double>() : double(in.number()) * (how & 1 ? 1 : 1.0 / 1024);
    const std::string format = in.rest();
    pitwall::error why;
    const std::optional<pitwall::value_format> f = pitwall::value_format::parse(format, &why);
    if (!f) {
        if (why.rfind("format \"", 0) != 0 || why.find("\": ") == std::string::npos)
            fuzz::fail("a refusal without its format and cause");
        return 0;
    }
    const std::string out = (*f)(value);
    if (format.find('%') != std::string::npos) check_printf(format, out);
    else check_clock(format, value, out);
    return 0;
}
