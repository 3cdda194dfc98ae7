// fuzz_ticks - the tick-list parse of kit/ticks with arbitrary texts and scales.
//
// Input: the scale first (tick_mode byte, then value_min, value_max, lower and upper threshold
// and the gauge span as fuzz::input numbers, then one byte for the position unit), the rest is
// the `ticks` text. Each parse is checked against a plain model of the format:
//   - at most 50 ticks, sorted ascending, no two equal values;
//   - exactly the first 50 in-range entries of the text, the earlier of two equal values kept
//     with its label;
//   - every value finite and inside [value_min, value_max], every position finite;
//   - the limit message logged exactly when 50 ticks remain and entries were left unread;
//   - labels owned by the list and freed with it (the leak checker sees the rest).
#include "fuzz_input.h"
#include "ticks.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

int g_too_many = 0;
int g_other_messages = 0;

constexpr kit::tick_messages k_messages{
    [](gr_application_t *) { ++g_other_messages; },
    [](gr_application_t *, unsigned limit) {
        if (limit != kit::tick_limit) fuzz::fail("limit message with a wrong count");
        ++g_too_many;
    },
    [](gr_application_t *) { ++g_other_messages; },
};

struct model_tick {
    float value;
    std::optional<std::string> label;
};

// Split keeping empty fields: "a||b" -> a, "", b; "" -> one empty field.
std::vector<std::string> split(const std::string &text, char separator) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            out.push_back(text.substr(start));
            return out;
        }
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// What the parse must keep, in order, and whether the limit message is due.
std::vector<model_tick> model(const std::string &text, const kit::tick_scale &scale, bool *too_many) {
    std::vector<model_tick> walked;
    bool unread = false;
    for (const std::string &entry : split(text, '|')) {
        if (walked.size() == kit::tick_limit) {
            unread = true;
            break;
        }
        std::vector<std::string> fields = split(entry, ';');
        if (fields.size() < 2) continue; // no value field: nothing to place
        float value = static_cast<float>(std::atof(fields[1].c_str()));
        if (!std::isfinite(value) || !(value >= scale.value_min && value <= scale.value_max)) continue;
        walked.push_back({value, fields.size() >= 3 ? std::optional<std::string>(fields[2]) : std::nullopt});
    }
    std::vector<model_tick> kept;
    for (const model_tick &t : walked) {
        size_t at = 0;
        while (at < kept.size() && kept[at].value < t.value) ++at;
        if (at < kept.size() && kept[at].value == t.value) continue; // the earlier one wins
        kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(at), t);
    }
    *too_many = kept.size() == kit::tick_limit && unread;
    return kept;
}

void check(const std::string &text, const kit::tick_scale &scale) {
    g_too_many = 0;
    g_other_messages = 0;
    int32_t n = kit::parse_ticks(text.c_str(), scale, nullptr, k_messages);
    if (n < 0 || static_cast<uint32_t>(n) > kit::tick_limit) fuzz::fail("tick count out of range");
    // Scratch slots past the kept ones hold no label (moved or freed).
    for (uint32_t i = static_cast<uint32_t>(n); i < kit::tick_limit; ++i)
        if (kit::tick_scratch()[i].label != nullptr) fuzz::fail("stale label in the scratch");

    kit::tick_entry *list = kit::take_ticks<kit::tick_entry>(n, nullptr, k_messages);
    if (n > 0 && list == nullptr) fuzz::fail("take_ticks failed");
    for (int32_t i = 0; i < n; ++i)
        if (kit::tick_scratch()[i].label != nullptr) fuzz::fail("label left in the scratch after take_ticks");

    bool too_many = false;
    std::vector<model_tick> expected = model(text, scale, &too_many);
    if (static_cast<size_t>(n) != expected.size()) fuzz::fail("tick count differs from the model");
    if ((g_too_many == 1) != too_many || g_too_many > 1) fuzz::fail("limit message");
    if (g_other_messages != 0) fuzz::fail("allocation failure reported");

    const bool nan_thresholds = std::isnan(scale.lower_threshold) || std::isnan(scale.upper_threshold);
    for (int32_t i = 0; i < n; ++i) {
        const kit::tick_entry &t = list[i];
        if (!std::isfinite(t.value) || t.value < scale.value_min || t.value > scale.value_max)
            fuzz::fail("tick value outside the range");
        if (i > 0 && !(list[i - 1].value < t.value)) fuzz::fail("ticks not strictly ascending");
        if (t.value != expected[static_cast<size_t>(i)].value) fuzz::fail("tick value differs from the model");
        const std::optional<std::string> &label = expected[static_cast<size_t>(i)].label;
        if (label.has_value() != (t.label != nullptr) || (label && *label != t.label))
            fuzz::fail("tick label differs from the model");
        if (!std::isfinite(t.pos)) fuzz::fail("tick position not finite");
        if (!scale.explicit_positions && t.pos != -1.0f && !(t.pos >= 0.0f && t.pos <= 100.001f))
            fuzz::fail("computed position outside 0..100");
        if (t.zone > 2) fuzz::fail("zone out of range");
        if (!nan_thresholds) {
            uint8_t zone = t.value >= scale.upper_threshold ? 2 : t.value <= scale.lower_threshold ? 0 : 1;
            if (t.zone != zone) fuzz::fail("zone differs from the thresholds");
        }
    }
    kit::free_tick_list(&list, &n);
    if (list != nullptr || n != 0) fuzz::fail("free_tick_list left the list");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::input in(data, size);
    kit::tick_scale scale{};
    const uint8_t tick_mode = in.byte();
    scale.explicit_positions = (tick_mode % 8) >= 3;
    scale.value_min = in.number();
    scale.value_max = in.number();
    scale.lower_threshold = in.number();
    scale.upper_threshold = in.number();
    scale.span = in.number();
    scale.unit = (in.byte() & 1) != 0 ? kit::tick_position_unit::span : kit::tick_position_unit::percent;
    check(in.rest(), scale);
    return 0;
}
