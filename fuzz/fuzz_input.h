// fuzz_input.h - reading a fuzzer's input bytes as a stream of choices.
//
// Every read succeeds: past the end of the input a reader yields zeros, so a short input is
// simply a run that makes the first choice everywhere. Choices come from a table of interesting
// values for printable bytes and from raw bytes below 0x20, so that both the seed corpus (plain
// text) and mutated inputs reach the extremes.
#ifndef PITWALL_FUZZ_INPUT_H
#define PITWALL_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace fuzz {

class input {
public:
    input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    size_t left() const { return size_ - pos_; }

    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    template <typename T>
    T raw() {
        unsigned char bytes[sizeof(T)] = {};
        for (unsigned char &b : bytes) b = byte();
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    // A float: raw bits after a control byte, else one of the interesting values.
    float number() {
        static constexpr float inf = std::numeric_limits<float>::infinity();
        static constexpr float table[32] = {
            0.0f,     100.0f,   50.0f,     -50.0f,   1.0f,      -1.0f,     0.5f,       10.0f,
            25.0f,    75.0f,    200.0f,    -100.0f,  99.999f,   1.0e-45f,  1.17549435e-38f, 3.40282347e38f,
            -3.40282347e38f, inf, -inf,    std::numeric_limits<float>::quiet_NaN(), 1.0e30f, -1.0e30f,
            16777216.0f, 16777217.0f, 32767.0f, 32768.0f, 65535.0f, 2147483648.0f, -0.0f, 360.0f,
            270.0f,   0.1f,
        };
        uint8_t b = byte();
        if (b < 0x20) return raw<float>();
        return table[b % 32];
    }

    // A 32-bit integer: raw bits after a control byte, else one of the interesting values (79: the
    // largest size at which the large modern gauge's scale is negative).
    int32_t integer() {
        static constexpr int32_t table[32] = {
            0,      1,      2,     3,      4,         5,         6,          7,
            8,      9,      10,    -1,     79,        12,        14,         20,
            25,     100,    255,   256,    0x7fff,    0x8000,    0xffff,     0x10000,
            -32768, -32769, 1000,  -1000,  INT32_MAX, INT32_MIN, 0x7f000000, -0x01000000,
        };
        uint8_t b = byte();
        if (b < 0x20) return raw<int32_t>();
        return table[b % 32];
    }

    // A string of up to `limit` bytes, cut at a NUL byte or the end of the input. The length
    // comes first: its byte as a count, or with a control byte everything up to a NUL byte.
    std::string text(size_t limit = 512) {
        uint8_t n = byte();
        size_t want = n < 0x20 ? limit : static_cast<size_t>(n - 0x20);
        std::string out;
        while (out.size() < want && out.size() < limit && !empty()) {
            char c = static_cast<char>(byte());
            if (c == '\0') break;
            out += c;
        }
        return out;
    }

    // The rest of the input as a string, cut at the first NUL byte.
    std::string rest() {
        std::string out;
        while (!empty()) {
            char c = static_cast<char>(byte());
            if (c == '\0') break;
            out += c;
        }
        return out;
    }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

// Abort with a message: a broken invariant is a crash for the fuzzer.
[[noreturn]] inline void fail(const char *what, const std::string &detail = {}) {
    std::fprintf(stderr, "invariant broken: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::abort();
}

} // namespace fuzz

#endif // PITWALL_FUZZ_INPUT_H
