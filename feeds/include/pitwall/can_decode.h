// can_decode.h - signals out of CAN frames, as a DBC describes them: where a signal's bits lie is
// worked out once (a bit_plan), so that decoding a frame reads at most nine bytes per signal and
// allocates nothing.
//
// Big-endian (Motorola) signals are the trap: the DBC's start bit is their most significant bit in
// the "sawtooth" numbering, byte 0 holding bits 7..0, byte 1 bits 15..8, and the signal runs from
// there towards bit 0 of its byte and on into bit 7 of the next byte:
//
//     byte 0, bits   7 6 5 4 3 2 1 0     byte 1, bits  15 14 13 12 11 10  9  8
//     4|12@0+        . . . M x x x x                    x  x  x  x  x  x  L  .
//
// (M the most significant bit, the start bit 4; L the least, bit 9.)
//
// Read as one big-endian number of the bytes, the signal is `length` bits from the most
// significant bit's place; little-endian (Intel) signals are `length` bits upwards from the start
// bit in the bytes read as one little-endian number.
#ifndef PITWALL_CAN_DECODE_H
#define PITWALL_CAN_DECODE_H

#include "pitwall/dbc.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace pitwall::can {

// Where a signal's bits are: the bytes read, and where each lands in the raw value.
struct bit_plan {
    uint8_t first = 0;  // the first byte read
    uint8_t count = 0;  // bytes read, first onwards (1..9)
    uint8_t needed = 0; // bytes the frame must have: first + count
    uint8_t length = 0; // bits
    int8_t shift = 0;   // where bit 0 of the first byte lands in the raw value; negative: below it
    int8_t step = 0;    // the next byte's shift: +8 little-endian, -8 big-endian
    uint64_t mask = 0;  // the signal's `length` low bits
};

// The plan of a signal whose start bit and length fit 64 bytes and 1..64 bits (as read_dbc
// checks); count 0 (nothing is ever read) otherwise.
bit_plan plan_bits(const signal &s);

// The raw bits; the caller has checked that the frame has p.needed bytes.
inline uint64_t read_bits(const bit_plan &p, const uint8_t *data) {
    uint64_t raw = 0;
    int shift = p.shift;
    for (unsigned k = 0; k < p.count; ++k, shift += p.step) {
        const uint64_t byte = data[p.first + k];
        raw |= shift >= 0 ? byte << shift : byte >> -shift;
    }
    return raw & p.mask;
}

// A signed signal's raw bits of `length` (1..64) as the number they are.
inline int64_t sign_extended(uint64_t raw, uint8_t length) {
    if (length < 64 && (raw >> (length - 1) & 1)) raw |= ~uint64_t(0) << length;
    return int64_t(raw);
}

// The raw bits as a number: sign-extended for signed integers, reinterpreted for floats (a float's
// raw value must be of 32 bits, a double's of 64: read_dbc refuses others).
inline double raw_number(value_type type, uint8_t length, uint64_t raw) {
    switch (type) {
    case value_type::signed_int:
        return double(sign_extended(raw, length));
    case value_type::ieee_float: {
        const uint32_t bits = uint32_t(raw);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return double(f);
    }
    case value_type::ieee_double: {
        double d;
        std::memcpy(&d, &raw, sizeof d);
        return d;
    }
    case value_type::unsigned_int:
        break;
    }
    return double(raw);
}

// Raw bits of a signal from a frame's bytes; false when the frame is shorter than the signal needs
// (or the signal cannot be in a frame).
bool extract_raw(const signal &s, const uint8_t *data, size_t length, uint64_t &raw);
// The physical value: the raw bits sign-extended or reinterpreted per type, times factor plus
// offset. False as extract_raw, and for a float not of 32 bits or a double not of 64.
bool decode_signal(const signal &s, const uint8_t *data, size_t length, double &value);

// A signal a caller wants, by message and signal name, and the channel its values go to.
struct wanted_signal {
    std::string message, signal;
    size_t channel;
};

// Many signals of many messages to channel indices: built once (keeping no reference to the
// database), then decode() looks the frame's id up in a sorted table and hands over each wanted
// signal the frame holds, without allocating.
class frame_decoder {
public:
    frame_decoder() = default;
    frame_decoder(const frame_decoder &other) { *this = other; }
    frame_decoder &operator=(const frame_decoder &other);

    // Empty on success, else which message or signal is missing, with the nearest name:
    // `no message "ENGIN_1" (did you mean "ENGINE_1"?)`, `message "ENGINE_1" has no signal "rpm"`.
    // The decoder is left empty then.
    std::string build(const database &db, const std::vector<wanted_signal> &wanted);

    // Calls out(channel, value) for each wanted signal of the frame's message that the frame
    // holds, multiplexed ones only when the frame's multiplexor selects them; returns how many.
    // A frame shorter than a wanted signal needs is counted in short_frames() (once a frame).
    // Any thread; several at once.
    template <class Out>
    size_t decode(uint32_t id, bool extended, const uint8_t *data, size_t length, Out &&out) const {
        const uint32_t key = key_of(id, extended);
        const auto at = std::lower_bound(entries_.begin(), entries_.end(), key,
                                         [](const entry &e, uint32_t k) { return e.key < k; });
        if (at == entries_.end() || at->key != key) return 0;
        const entry &e = *at;
        bool cut = false, selected = false;
        uint64_t mux = 0;
        if (e.has_mux) {
            selected = e.mux.needed <= length;
            if (selected) mux = read_bits(e.mux, data);
        }
        size_t given = 0;
        for (size_t i = e.first; i < e.first + e.count; ++i) {
            const plan &p = plans_[i];
            if (p.multiplexed && (!selected || mux != p.mux_value)) {
                cut |= !selected;
                continue;
            }
            if (p.bits.needed > length) {
                cut = true;
                continue;
            }
            out(p.channel, raw_number(p.type, p.bits.length, read_bits(p.bits, data)) * p.factor + p.offset);
            ++given;
        }
        if (cut) short_.fetch_add(1, std::memory_order_relaxed);
        return given;
    }

    // The identifiers the wanted signals live in, (id, extended), each once: for a kernel filter.
    std::vector<std::pair<uint32_t, bool>> identifiers() const;
    // Frames of a wanted message shorter than one of its wanted signals needs, since build().
    size_t short_frames() const { return size_t(short_.load(std::memory_order_relaxed)); }
    size_t signals() const { return plans_.size(); }

private:
    static uint32_t key_of(uint32_t id, bool extended) { return id | (extended ? 0x80000000u : 0); }

    struct plan {
        bit_plan bits;
        value_type type = value_type::unsigned_int;
        bool multiplexed = false;
        uint64_t mux_value = 0;
        double factor = 1, offset = 0;
        size_t channel = 0;
    };
    struct entry {
        uint32_t key = 0;             // id, bit 31 set when extended
        uint32_t first = 0, count = 0; // its plans
        bool has_mux = false;         // a wanted signal is multiplexed: mux is the multiplexor's plan
        bit_plan mux;
    };
    std::vector<entry> entries_; // sorted by key
    std::vector<plan> plans_;    // by entry
    mutable std::atomic<uint64_t> short_{0};
};

} // namespace pitwall::can

#endif // PITWALL_CAN_DECODE_H
