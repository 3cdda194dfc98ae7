// The -o name of pitwall render: read here, character by character, and never handed to printf.
#include "frame_pattern.h"

namespace pitwall::cli {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

} // namespace

std::optional<frame_pattern> frame_pattern::parse(std::string_view text, std::string *error) {
    auto refuse = [&](std::string why) -> std::optional<frame_pattern> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    frame_pattern p;
    for (size_t i = 0; i < text.size(); ++i) {
        std::string &current = p.has_conversion_ ? p.tail_ : p.head_;
        if (text[i] != '%') {
            current += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            current += '%';
            ++i;
            continue;
        }
        // A conversion: an optional 0 flag, at most one width digit (1 to 9), then d. The digits are
        // all read first so that a width of 10 or more is reported as too wide, not as malformed.
        size_t end = i + 1;
        bool zeros = end < text.size() && text[end] == '0';
        if (zeros) ++end;
        size_t digits = end;
        while (end < text.size() && is_digit(text[end])) ++end;
        bool well_formed = end < text.size() && text[end] == 'd' && (end == digits || text[digits] != '0');
        std::string conversion(text.substr(i, end < text.size() ? end + 1 - i : end - i));
        if (!well_formed)
            return refuse("\"" + conversion +
                          "\" is not a frame number: write %d, %03d or %5d for the number, %% for a percent sign");
        if (end - digits > 1)
            return refuse("\"" + conversion + "\" is too wide: the frame number takes at most " +
                          std::to_string(max_width) + " characters");
        if (p.has_conversion_)
            return refuse("\"" + std::string(text) + "\" holds more than one frame number; write %% for a percent sign");
        p.has_conversion_ = true;
        p.pad_ = zeros ? '0' : ' ';
        p.width_ = end == digits ? 0 : text[digits] - '0';
        i = end;
    }
    return p;
}

std::string frame_pattern::file(int frame) const {
    if (!has_conversion_) return head_;
    std::string number = std::to_string(frame);
    if (number.size() < size_t(width_)) {
        // Zeros go after a minus sign, spaces before it, as printf places them.
        size_t at = pad_ == '0' && frame < 0 ? 1 : 0;
        number.insert(at, size_t(width_) - number.size(), pad_);
    }
    return head_ + number + tail_;
}

} // namespace pitwall::cli
