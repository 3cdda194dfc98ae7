// fuzz_caption - the value caption of the modern gauges with arbitrary captions, decimals and values.
//
// Input: the decimals byte (written as '0' + decimals, so that a text seed reads "1" for one
// decimal), the number of values as '0' + count (count % 8), the values as fuzz::input numbers
// (NaN, infinities and the float extremes among them), the rest is the caption. Checked:
//   - the format has the size value_format_size promised and is exactly the caption with every
//     '%' doubled and its first "<channel value>" replaced by "%.Nf", N = decimals capped at 9;
//   - so the only conversion in it is one "%.Nf" with N a digit, and every other '%' is doubled;
//   - each value's text is the first 18 characters of what the format prints, its length the
//     printed length capped at 18, terminated, with byte 19 zero, in one buffer kept across values;
//   - an unset caption fails the rebuild and leaves no format; everything is freed (leak checker).
#include "fuzz_input.h"
#include "value_caption.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char k_placeholder[] = "<channel value>";

std::string doubled(const std::string &text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

// What the format of a caption must be, written from the caption's rules alone.
std::string model_format(const std::string &caption, uint8_t decimals) {
    const size_t at = caption.find(k_placeholder);
    if (at == std::string::npos) return doubled(caption);
    const char digit = static_cast<char>('0' + (decimals > 9 ? 9 : decimals));
    return doubled(caption.substr(0, at)) + "%." + digit + "f" +
           doubled(caption.substr(at + sizeof k_placeholder - 1));
}

// Every '%' is doubled, but for at most one "%.Nf" with N a digit.
void check_conversions(const std::string &format) {
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        if (format.compare(i, 2, "%.") != 0 || i + 3 >= format.size() || format[i + 2] < '0' ||
            format[i + 2] > '9' || format[i + 3] != 'f')
            fuzz::fail("format with an invalid conversion", format);
        if (++conversions > 1) fuzz::fail("format with two conversions", format);
        i += 3;
    }
}

void check_text(const gauges::value_caption &caption, float value) {
    // The reference: the same format printed whole (the format is checked against the model first).
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#endif
    const int printed = std::snprintf(nullptr, 0, caption.value_format, static_cast<double>(value));
    if (printed < 0) fuzz::fail("reference formatting failed");
    std::string reference(static_cast<size_t>(printed) + 1, '\0');
    std::snprintf(reference.data(), reference.size(), caption.value_format, static_cast<double>(value));
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
    const char *full = reference.c_str();
    const int kept = printed > gauges::value_text_max ? gauges::value_text_max : printed;
    if (caption.value_text_len != kept) fuzz::fail("text length", full);
    if (std::memcmp(caption.value_text, full, static_cast<size_t>(kept)) != 0) fuzz::fail("text differs", full);
    if (caption.value_text[kept] != '\0') fuzz::fail("text not terminated", full);
    if (caption.value_text[gauges::value_text_size - 1] != '\0') fuzz::fail("last byte of the buffer not zero");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::input in(data, size);
    const auto decimals = static_cast<uint8_t>(in.byte() - '0');
    const int count = static_cast<uint8_t>(in.byte() - '0') % 8;
    float values[8];
    for (int i = 0; i < count; ++i) values[i] = in.number();
    const std::string text = in.rest();

    const std::string expected = model_format(text, decimals);
    if (gauges::value_format_size(text.c_str()) != static_cast<int32_t>(expected.size() + 1))
        fuzz::fail("format size", text);

    gauges::value_caption caption{};
    // Twice: a rebuild frees the format it replaces.
    for (int round = 0; round < 2; ++round)
        if (!gauges::rebuild_value_format(caption, text.c_str(), decimals, nullptr)) fuzz::fail("rebuild failed");
    if (expected != caption.value_format) fuzz::fail("format differs from the model", caption.value_format);
    check_conversions(caption.value_format);

    char *buffer = nullptr;
    for (int i = 0; i < count; ++i) {
        gauges::format_value_text(caption, values[i], nullptr);
        if (caption.value_text == nullptr || (buffer != nullptr && caption.value_text != buffer))
            fuzz::fail("text buffer not kept");
        buffer = caption.value_text;
        check_text(caption, values[i]);
    }

    if (gauges::rebuild_value_format(caption, nullptr, decimals, nullptr) || caption.value_format != nullptr)
        fuzz::fail("an unset caption left a format");
    gauges::free_value_caption(caption);
    if (caption.value_text != nullptr || caption.value_text_len != 0) fuzz::fail("caption not cleared");
    return 0;
}
