// attribute_catalog.h - one description of every attribute of the fifteen widgets, by display name:
// its kind, the range in which the widget does what the name says, its unit, the names a scene may
// write instead of a number (alignments, pictograms, palette colours, modes), what it does and its
// default. The scene reader resolves names and checks values with it; `pitwall attrs`, `lint`, the
// gallery and the workbench describe attributes from it. Besides the project's own descriptions,
// built in, it takes those that plug-ins ship in description files, read at run time.
#ifndef PITWALL_ATTRIBUTE_CATALOG_H
#define PITWALL_ATTRIBUTE_CATALOG_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pitwall {

enum class attribute_kind {
    integer,  // a whole number
    number,   // a 32-bit float
    flag,     // 0 off, anything else on; true and false are written as 1 and 0
    text,     // a string drawn or formatted
    font,     // a font resource name; empty means the default font
    image,    // an image file relative to the application directory
    rgb,      // a colour 0xRRGGBB, written "#rrggbb" or as a number
    argb,     // a colour 0xAARRGGBB whose top byte is the opacity
    palette,  // a 1-based index into a palette of themed image sets
    choice,   // a number with named values (alignment, mode, pictogram)
    ticks,    // a tick list "position;value;label|..."
    ignored,  // accepted, not kept
};

// "integer", "palette", ... as the reference pages print the kind.
std::string_view kind_name(attribute_kind k);

// A name a scene may write for a number. `rgb` is the swatch of a palette colour (0 elsewhere).
struct named_value {
    std::string name;
    int64_t value;
    uint32_t rgb = 0;
};

struct attribute_info {
    std::string name;
    std::string type;         // the engine's type code: "4s1", "4u1", "4f1", "1u1" or "1s0"
    attribute_kind kind = attribute_kind::integer;
    std::string unit;         // "px", "degrees", ...; empty where there is none
    // Where the widget does what the attribute says; outside it the draw fails or the part is left
    // out (`when_invalid` says which). None: every value the type code takes.
    std::optional<std::pair<int64_t, int64_t>> range;
    std::string palette;      // the palette's name, for palette attributes
    std::vector<named_value> values; // names, in index order
    std::string what;
    std::string default_value;
    std::string when_invalid; // what a value outside the range does
    // Image files a palette colour selects, "{colour}" standing for the colour's name, relative to
    // the application directory.
    std::vector<std::string> images;

    // The number a name stands for.
    std::optional<int64_t> value_of(std::string_view word) const;
    // The name of a number, or empty.
    std::string name_of(int64_t value) const;
    // Whether a number lies in the range (always, without one).
    bool in_range(int64_t value) const { return !range || (value >= range->first && value <= range->second); }
    // "left (1), center (2), right (3)" or, for a palette, "1 white, 2 red, ...".
    std::string values_text() const;
    // The kind with its range and unit: "palette index 1 to 9", "number, degrees".
    std::string kind_text() const;
};

struct widget_info {
    std::string name; // display name
    std::string what; // one line
    std::vector<attribute_info> attributes; // in the plug-in's table order, common ones first
    // The description file it was read from; empty for the project's own widgets, described here.
    std::string source;
    const attribute_info *find(std::string_view attribute) const;
    bool built_in() const { return source.empty(); }
};

// The project's own widgets, in the order of the reference pages.
const std::vector<widget_info> &attribute_catalog();
// A widget by display name: the project's own first, then those added from description files. The
// pointer stays valid for the rest of the run.
const widget_info *find_widget_info(std::string_view display_name);
// Adds a widget read from a description file. False, with the reason in *err and the catalog as
// it was, when a widget of that name is described already.
bool add_widget_info(widget_info w, std::string *err);

// ` (did you mean "NAME"?)` for the candidate nearest to `word` by edit distance, when it is near
// enough to be a slip (case and blanks count little); empty otherwise.
std::string did_you_mean(std::string_view word, const std::vector<std::string> &candidates);

// A tick list given as a range or as value/position pairs, written as the widget's tick string.
// `from`, `to` and `step` give ticks at from, from + step, ... up to `to`, each labelled with its
// value and without a position, so that it sits where its value falls on the scale whatever the
// tick mode. The pairs give each tick's position (degrees from `angle_start` on a gauge, percent of
// the length on a bar; used from tick mode 3) and value, labelled with the value unless a third
// member gives the label.
struct tick_range {
    double from = 0, to = 0, step = 0;
};
struct tick_pair {
    double value = 0, position = 0;
    std::optional<std::string> label;
};
// The most ticks a widget keeps; a longer range is refused.
inline constexpr size_t max_ticks = 50;
std::string tick_string(const tick_range &r);
std::string tick_string(const std::vector<tick_pair> &pairs);
// A tick value as its label: the shortest form that reads back the same ("0", "12.5").
std::string tick_label(double value);

} // namespace pitwall

#endif // PITWALL_ATTRIBUTE_CATALOG_H
