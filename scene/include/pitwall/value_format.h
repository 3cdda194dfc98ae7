// value_format.h - a number written as text, so that a track, a telemetry channel or a workbench
// value can drive a text attribute (a box's render_text showing a lap time or a speed).
//
// Two kinds of format:
//   a clock pattern, the number being seconds:   "m:ss.SSS" 83.4567 -> "1:23.457"
//     h, m, s: hours, minutes, seconds, one or two letters (two: at least two digits, zero-padded);
//     from the largest unit written to s (or to m, or h), each after a ':'; the largest unit is not
//     wrapped ("ss.S" of 83.45 is "83.5"). ".S" to ".SSSSSS" after s: that many decimals. The value
//     is rounded (half away from zero) to the last digit written, then split, so 59.9996 is
//     "1:00.000". A negative value gets a '-'; a value that is not a finite number, or too large to
//     count in the pattern's smallest unit, is the pattern with every letter a '-' ("-:--.---").
//   printf style, with literal text around one conversion:  "%+.3f" "%.0f km/h" "%5.1f%%"
//     exactly one of %f %F %e %E %g %G %a %A, with flags from "-+ #0", a width of at most
//     max_width and a precision of at most max_precision; "%%" is a percent sign. Anything else
//     after a '%' (%s, %n, %d, '*', length modifiers) is refused: the text comes from a scene file
//     or a web page and is handed to snprintf.
#ifndef PITWALL_VALUE_FORMAT_H
#define PITWALL_VALUE_FORMAT_H

#include "pitwall/engine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pitwall {

class value_format {
public:
    static constexpr size_t max_length = 256;     // bytes of a format
    static constexpr int max_width = 64;          // printf field width
    static constexpr int max_precision = 17;      // printf precision (a double's digits)
    static constexpr int max_decimals = 6;        // S letters of a clock pattern

    // The format a text describes, or nothing with why it is refused in *why.
    static std::optional<value_format> parse(std::string_view text, error *why);

    // The number as this format writes it, into `out` (replaced; its capacity is reused).
    void write(double value, std::string &out) const;
    std::string operator()(double value) const {
        std::string out;
        write(value, out);
        return out;
    }

    const std::string &text() const { return text_; } // as parsed

private:
    enum class kind { clock, printf };
    value_format() = default;
    static bool check_printf(std::string_view text, error *why);
    bool read_clock(std::string_view text, error *why);
    void write_clock(double value, std::string &out) const;

    kind kind_ = kind::clock;
    std::string text_;
    // Clock: the units written, largest first (0 hours, 1 minutes, 2 seconds), each with its
    // digit count, and the decimals after the seconds.
    int first_unit_ = 0, last_unit_ = 0;
    int digits_[3] = {0, 0, 0};
    int decimals_ = 0;
};

} // namespace pitwall

#endif // PITWALL_VALUE_FORMAT_H
