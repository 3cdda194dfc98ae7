// Number formats: parsed once when a scene or a request names them, written at every frame.
#include "pitwall/value_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace pitwall {
namespace {

constexpr double unit_seconds[3] = {3600, 60, 1};
constexpr int64_t powers_of_ten[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
// Counts beyond this are not exact in a double: the value is shown as out of range.
constexpr double max_count = 9007199254740992.0; // 2^53

bool is_unit(char c) { return c == 'h' || c == 'm' || c == 's'; }
int unit_of(char c) { return c == 'h' ? 0 : c == 'm' ? 1 : 2; }

std::string shown(std::string_view text) {
    std::string out = "format \"";
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

bool refuse(std::string_view text, const std::string &why, error *err) {
    if (err != nullptr) *err = shown(text) + ": " + why;
    return false;
}

// A whole number of at most two digits from text[i], at most `limit`.
bool read_bounded(std::string_view text, size_t &i, int limit, int &out) {
    out = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (++digits > 2) return false;
        out = out * 10 + (text[i] - '0');
        ++i;
    }
    return out <= limit;
}

// A count that is never negative, with zeros in front up to `width` digits.
void append_padded(std::string &out, int64_t count, int width) {
    const std::string digits = std::to_string(count);
    if (int(digits.size()) < width) out.append(size_t(width) - digits.size(), '0');
    out += digits;
}

} // namespace

std::optional<value_format> value_format::parse(std::string_view text, error *why) {
    value_format f;
    f.text_ = std::string(text);
    if (text.empty()) {
        refuse(text, "empty; write a clock pattern such as m:ss.SSS or a printf conversion such as %.1f", why);
        return std::nullopt;
    }
    if (text.size() > max_length) {
        refuse(text.substr(0, 32), "longer than " + std::to_string(max_length) + " bytes", why);
        return std::nullopt;
    }
    if (text.find('\0') != std::string_view::npos) {
        refuse(text, "holds a NUL byte", why);
        return std::nullopt;
    }

    if (text.find('%') != std::string_view::npos) {
        f.kind_ = kind::printf;
        if (!check_printf(text, why)) return std::nullopt;
    } else if (!f.read_clock(text, why)) {
        return std::nullopt;
    }
    return f;
}

// One floating conversion with its flags, width and precision, literal text and "%%" around it.
bool value_format::check_printf(std::string_view text, error *why) {
    int conversions = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (++i == text.size()) {
            return refuse(text, "ends in a lone '%' (write %% for a percent sign)", why);
        }
        if (text[i] == '%') continue;
        std::string flags;
        while (i < text.size() && std::strchr("-+ #0", text[i]) != nullptr) {
            if (flags.find(text[i]) != std::string::npos) {
                return refuse(text, std::string("the flag '") + text[i] + "' is given twice", why);
            }
            flags += text[i++];
        }
        int width = 0, precision = 0;
        if (!read_bounded(text, i, max_width, width)) {
            return refuse(text, "a width is at most " + std::to_string(max_width), why);
        }
        if (i < text.size() && text[i] == '.') {
            ++i;
            if (!read_bounded(text, i, max_precision, precision)) {
                return refuse(text, "a precision is at most " + std::to_string(max_precision), why);
            }
        }
        if (i == text.size()) {
            return refuse(text, "a conversion is not finished: end it with f, e, g or a", why);
        }
        const char c = text[i];
        if (std::strchr("fFeEgGaA", c) != nullptr) {
            if (++conversions > 1) {
                return refuse(text, "more than one conversion; a format writes one number", why);
            }
            continue;
        }
        std::string cause;
        if (c == '*') cause = "a width or precision from an argument (*) is not taken";
        else if (c == 'n') cause = "%n is not allowed";
        else if (c == 's' || c == 'c' || c == 'p' || c == 'm') cause = std::string("%") + c + " does not write a number: use %f, %e or %g";
        else if (std::strchr("diuoxX", c) != nullptr) cause = std::string("%") + c + " writes an integer argument; the number is a fraction: use %.0f";
        else if (std::strchr("hlLqjzt", c) != nullptr) cause = "a length modifier is not taken: the number is a double, write %f";
        else if (c == '$' || (c >= '1' && c <= '9')) cause = "a numbered argument ($) is not taken";
        else cause = std::string("'%") + c + "' is not a conversion: use %f, %e or %g";
        return refuse(text, cause, why);
    }
    if (conversions == 0)
        return refuse(text, "no conversion for the number: write %f, %e or %g (%% is a percent sign)", why);
    return true;
}

// A clock pattern: units from the largest down, ':' between them, ".S..." after the seconds.
bool value_format::read_clock(std::string_view text, error *why) {
    size_t i = 0;
    int previous = -1;
    for (;;) {
        if (i == text.size() || !is_unit(text[i])) {
            const std::string what = i == text.size() ? std::string("ends after ':'")
                                                      : std::string("'") + text[i] + "' is not part of a clock pattern";
            return refuse(text, what + " (h, m, s, ':', '.' and S, as in m:ss.SSS; a printf format holds a '%')", why);
        }
        const int unit = unit_of(text[i]);
        size_t run = 0;
        while (i < text.size() && text[i] == "hms"[unit]) {
            ++run;
            ++i;
        }
        if (run > 2) {
            return refuse(text, std::string("at most two '") + "hms"[unit] + "' a unit", why);
        }
        if (previous >= 0 && unit != previous + 1) {
            return refuse(text, "the units go from hours to minutes to seconds, none left out or repeated", why);
        }
        if (previous < 0) first_unit_ = unit;
        last_unit_ = previous = unit;
        digits_[unit] = int(run);
        if (i == text.size()) return true;
        if (text[i] == ':') {
            ++i;
            continue;
        }
        if (text[i] != '.' || unit != 2) {
            return refuse(text, std::string("'") + text[i] + "' after " + "hms"[unit] +
                             ": units are separated by ':', and only seconds take decimals (.S to .SSSSSS)", why);
        }
        ++i;
        size_t decimals = 0;
        while (i < text.size() && text[i] == 'S') {
            ++decimals;
            ++i;
        }
        if (decimals == 0 || decimals > size_t(max_decimals) || i != text.size()) {
            return refuse(text, "the seconds' decimals are one to six S at the end (.S to .SSSSSS)", why);
        }
        decimals_ = int(decimals);
        return true;
    }
}

void value_format::write(double value, std::string &out) const {
    if (kind_ == kind::clock) {
        write_clock(value, out);
        return;
    }
    // parse() let through one floating conversion and nothing that reads another argument.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    char small[128];
    const int n = std::snprintf(small, sizeof small, text_.c_str(), value);
    if (n < 0) {
        out.clear();
        return;
    }
    if (size_t(n) < sizeof small) {
        out.assign(small, size_t(n));
    } else {
        out.resize(size_t(n) + 1);
        std::snprintf(out.data(), out.size(), text_.c_str(), value);
        out.resize(size_t(n));
    }
#pragma GCC diagnostic pop
}

void value_format::write_clock(double value, std::string &out) const {
    out.clear();
    // Counted in the smallest unit written, rounded there, so that carries happen before the split.
    // Scaled up by a power of ten first (exact), so that 83.4565 s is 83456.5 ms, not a hair below.
    const double count = std::round(std::fabs(value) * double(powers_of_ten[decimals_]) / unit_seconds[last_unit_]);
    if (!(count < max_count)) {
        for (char c : text_) out += (is_unit(c) || c == 'S') ? '-' : c;
        return;
    }
    auto whole = static_cast<int64_t>(count);
    if (whole != 0 && value < 0) out += '-';
    const int64_t fraction = whole % powers_of_ten[decimals_];
    whole /= powers_of_ten[decimals_];
    int64_t parts[3] = {0, 0, 0};
    for (int unit = last_unit_; unit > first_unit_; --unit) {
        parts[unit] = whole % 60;
        whole /= 60;
    }
    parts[first_unit_] = whole;
    for (int unit = first_unit_; unit <= last_unit_; ++unit) {
        if (unit != first_unit_) out += ':';
        append_padded(out, parts[unit], digits_[unit]);
    }
    if (decimals_ > 0) {
        out += '.';
        append_padded(out, fraction, decimals_);
    }
}

} // namespace pitwall
