// frame_pattern.h - the file name `pitwall render -o` writes, which may stand for a series of frames.
//
// The name may hold one conversion for the frame number, written like printf's but read here and
// never handed to printf: %d, %Nd (padded with spaces to N characters) or %0Nd (padded with zeros),
// N from 1 to 9. %% is a percent sign; any other % is refused, so that a name cannot smuggle in
// %s or %n.
#ifndef PITWALL_TOOL_FRAME_PATTERN_H
#define PITWALL_TOOL_FRAME_PATTERN_H

#include <optional>
#include <string>
#include <string_view>

namespace pitwall::cli {

class frame_pattern {
public:
    // The pattern of `text`; nothing, with the reason in *error (when given), if it is malformed.
    static std::optional<frame_pattern> parse(std::string_view text, std::string *error);

    // True when the name holds a frame number conversion; a plain name is its own frame 0.
    bool is_pattern() const { return has_conversion_; }

    // The file name of frame `frame` (0 or more): the conversion replaced, %% made %.
    std::string file(int frame) const;

    static constexpr int max_width = 9;

private:
    std::string head_, tail_; // the text around the conversion, its %% already made %
    int width_ = 0;           // the number is padded to this many characters (0: not padded)
    char pad_ = ' ';
    bool has_conversion_ = false;
};

} // namespace pitwall::cli

#endif // PITWALL_TOOL_FRAME_PATTERN_H
