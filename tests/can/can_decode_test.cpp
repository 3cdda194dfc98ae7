// Signals out of frames: values worked out by hand for both byte orders at odd start bits, sign
// extension, 64-bit and floating-point signals, factor and offset; a round trip against an encoder
// of the test's own; the frame decoder's table with multiplexing, short frames and its refusals.
#include "pitwall/can_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

using namespace pitwall::can;

signal make(uint16_t start, uint16_t length, byte_order order, value_type type = value_type::unsigned_int,
            double factor = 1, double offset = 0) {
    signal s;
    s.name = "s";
    s.start_bit = start;
    s.length = length;
    s.order = order;
    s.type = type;
    s.factor = factor;
    s.offset = offset;
    return s;
}

constexpr auto le = byte_order::little_endian;
constexpr auto be = byte_order::big_endian;

TEST(can_decode, signals_read_as_worked_out_by_hand) {
    // The bytes most cases read; each case's value is worked out in its comment.
    const std::vector<uint8_t> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    std::vector<uint8_t> float_le = {0x00, 0x00, 0xC0, 0x3F}, float_be = {0x3F, 0xC0, 0x00, 0x00}; // 1.5f
    std::vector<uint8_t> double_le = {0, 0, 0, 0, 0, 0, 0x02, 0xC0};                                // -2.25
    std::vector<uint8_t> nine = bytes;
    nine.push_back(0x0F);
    const std::vector<uint8_t> ones(8, 0xFF);
    const struct {
        const char *what;
        signal s;
        std::vector<uint8_t> data;
        uint64_t raw;
        double value;
    } cases[] = {
        {"intel, a whole byte", make(0, 8, le), bytes, 0x12, 18},
        {"intel 3|5: bits 7..3 of 0x12 = 00010", make(3, 5, le), bytes, 2, 2},
        {"intel 4|12: 0x34 above the high nibble of 0x12", make(4, 12, le), bytes, 0x341, 833},
        {"intel 13|11: 0x56 above bits 7..5 of 0x34 (001)", make(13, 11, le), bytes, 0x2B1, 689},
        {"motorola, a whole byte", make(7, 8, be), bytes, 0x12, 18},
        {"motorola 4|12: bits 4..0 of 0x12 (10010), then 7..1 of 0x34 (0011010)", make(4, 12, be), bytes, 0x91A, 2330},
        {"motorola 13|11: bits 5..0 of 0x34 (110100), then 7..3 of 0x56 (01010)", make(13, 11, be), bytes, 0x68A, 1674},
        {"motorola 2|17 over three bytes: 010, 0x34, 010101", make(2, 17, be), bytes, 36117, 36117},
        {"signed intel 56|8: 0xF0", make(56, 8, le, value_type::signed_int), bytes, 0xF0, -16},
        {"signed motorola 39|12: 0x9AB", make(39, 12, be, value_type::signed_int), bytes, 0x9AB, 2475 - 4096},
        {"signed, positive", make(7, 12, be, value_type::signed_int), bytes, 0x123, 291},
        {"signed, one bit set", make(0, 1, le, value_type::signed_int), ones, 1, -1},
        {"signed 64 bits, all ones", make(0, 64, le, value_type::signed_int), ones, ~uint64_t(0), -1},
        {"intel 0|64", make(0, 64, le), bytes, 0xF0DEBC9A78563412, double(0xF0DEBC9A78563412u)},
        {"motorola 7|64", make(7, 64, be), bytes, 0x123456789ABCDEF0, double(0x123456789ABCDEF0u)},
        {"intel 4|64 over nine bytes", make(4, 64, le), nine, 0xFF0DEBC9A7856341, double(0xFF0DEBC9A7856341u)},
        {"motorola 3|64 over nine bytes: 0x2, then 0x3456789ABCDEF0, then 0x0", make(3, 64, be), nine,
         0x23456789ABCDEF00, double(0x23456789ABCDEF00u)},
        {"float, intel", make(0, 32, le, value_type::ieee_float), float_le, 0x3FC00000, 1.5},
        {"float, motorola", make(7, 32, be, value_type::ieee_float), float_be, 0x3FC00000, 1.5},
        {"double, intel", make(0, 64, le, value_type::ieee_double), double_le, 0xC002000000000000, -2.25},
        {"factor: 0x9A78 x 0.125", make(24, 16, le, value_type::unsigned_int, 0.125), bytes, 0x9A78, 4943},
        {"factor and offset: 0x123 x 0.1 - 40", make(7, 12, be, value_type::signed_int, 0.1, -40), bytes, 0x123,
         291 * 0.1 - 40},
        {"factor of a negative raw value: -16 x 0.5 + 100", make(56, 8, le, value_type::signed_int, 0.5, 100), bytes,
         0xF0, 92},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        uint64_t raw = 0;
        ASSERT_TRUE(extract_raw(c.s, c.data.data(), c.data.size(), raw));
        EXPECT_EQ(raw, c.raw);
        double value = 0;
        ASSERT_TRUE(decode_signal(c.s, c.data.data(), c.data.size(), value));
        EXPECT_EQ(value, c.value);
        // One byte fewer than the signal needs is refused, never read past.
        const bit_plan p = plan_bits(c.s);
        EXPECT_FALSE(extract_raw(c.s, c.data.data(), p.needed - 1u, raw));
        EXPECT_FALSE(decode_signal(c.s, c.data.data(), p.needed - 1u, value));
    }
}

TEST(can_decode, bytes_needed_follow_the_byte_order) {
    const struct {
        signal s;
        unsigned needed;
    } cases[] = {
        {make(0, 8, le), 1},  {make(7, 8, be), 1},  {make(7, 9, be), 2},  {make(8, 1, le), 2},
        {make(63, 1, le), 8}, {make(63, 8, be), 8}, {make(0, 64, le), 8}, {make(1, 64, le), 9},
        {make(511, 1, le), 64}, {make(511, 8, be), 64},
        {make(56, 8, be), 9}, // bit 0 of byte 7 and on into byte 8, not byte 7 whole
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.s.start_bit) + "|" + std::to_string(c.s.length));
        EXPECT_EQ(plan_bits(c.s).needed, c.needed);
    }
    // Signals no frame can hold are never read.
    uint64_t raw = 0;
    const uint8_t data[64] = {};
    for (const signal &s : {make(0, 0, le), make(0, 65, le), make(512, 1, le)}) EXPECT_FALSE(extract_raw(s, data, 64, raw));
    double value = 0;
    EXPECT_FALSE(decode_signal(make(0, 16, le, value_type::ieee_float), data, 64, value));
    EXPECT_FALSE(decode_signal(make(0, 32, le, value_type::ieee_double), data, 64, value));
}

// The test's own encoder: bit k of the value (0 the least significant) at its place, found by
// walking the bits as the DBC numbers them, Motorola's sawtooth from the most significant.
void encode(const signal &s, uint64_t value, uint8_t *data) {
    unsigned place = s.start_bit;
    for (unsigned i = 0; i < s.length; ++i) {
        const unsigned k = s.order == le ? i : s.length - 1 - i;
        const uint8_t bit = uint8_t(1u << (place % 8));
        if (value >> k & 1) data[place / 8] |= bit;
        else data[place / 8] &= uint8_t(~bit);
        if (s.order == le) ++place;
        else place = place % 8 == 0 ? place + 15 : place - 1;
    }
}

// The last byte the walk touches, plus one: whether the signal fits `bytes`.
unsigned bytes_touched(const signal &s) {
    unsigned place = s.start_bit, last = 0;
    for (unsigned i = 0; i < s.length; ++i) {
        last = std::max(last, place / 8);
        if (s.order == le) ++place;
        else place = place % 8 == 0 ? place + 15 : place - 1;
    }
    return last + 1;
}

TEST(can_decode, random_signals_read_back_what_an_independent_encoder_wrote) {
    std::mt19937_64 random(20261209);
    size_t tried = 0;
    for (int round = 0; round < 20000; ++round) {
        const unsigned frame_bytes = round % 2 ? 8 : 64;
        const unsigned length = 1 + unsigned(random() % 64);
        const signal s = make(uint16_t(random() % (frame_bytes * 8)), uint16_t(length), random() % 2 ? le : be,
                              random() % 2 ? value_type::signed_int : value_type::unsigned_int, 0.5, -3);
        if (bytes_touched(s) > frame_bytes) continue;
        ++tried;
        uint8_t data[64];
        for (uint8_t &b : data) b = uint8_t(random()); // the other bits must not leak in
        const uint64_t mask = length == 64 ? ~uint64_t(0) : (uint64_t(1) << length) - 1;
        const uint64_t value = random() & mask;
        encode(s, value, data);
        SCOPED_TRACE(std::to_string(s.start_bit) + "|" + std::to_string(length) + (s.order == le ? "@1" : "@0") +
                     (s.type == value_type::signed_int ? "-" : "+") + " value " + std::to_string(value));
        EXPECT_EQ(plan_bits(s).needed, bytes_touched(s));
        uint64_t raw = 0;
        ASSERT_TRUE(extract_raw(s, data, frame_bytes, raw));
        ASSERT_EQ(raw, value);
        // Sign extension worked out the other way round: a negative value's magnitude is its
        // two's complement within the signal's bits.
        const bool negative = s.type == value_type::signed_int && (value >> (length - 1) & 1);
        const double whole = negative ? -double((~value + 1) & mask) : double(value);
        double decoded = 0;
        ASSERT_TRUE(decode_signal(s, data, frame_bytes, decoded));
        ASSERT_EQ(decoded, whole * 0.5 - 3);
    }
    EXPECT_GT(tried, 10000u);
}

database engine_database() {
    database db;
    message engine;
    engine.id = 0x0CF00400;
    engine.extended = true;
    engine.name = "ENGINE_1";
    engine.length = 8;
    signal speed = make(24, 16, le, value_type::unsigned_int, 0.125);
    speed.name = "EngineSpeed";
    signal gear = make(0, 4, le);
    gear.name = "Gear";
    engine.signals = {speed, gear};
    message mux;
    mux.id = 0x123;
    mux.name = "PAGES";
    mux.length = 8;
    signal page = make(0, 8, le);
    page.name = "Page";
    page.mux = multiplex::multiplexor;
    signal oil = make(8, 16, le, value_type::unsigned_int, 0.1);
    oil.name = "OilPressure";
    oil.mux = multiplex::multiplexed;
    oil.mux_value = 1;
    signal water = make(8, 8, le, value_type::signed_int);
    water.name = "WaterTemp";
    water.mux = multiplex::multiplexed;
    water.mux_value = 2;
    signal fuel = make(56, 8, le);
    fuel.name = "Fuel";
    mux.signals = {page, oil, water, fuel};
    message other;
    other.id = 0x123;
    other.extended = true; // the same number as a 29-bit id: another message
    other.name = "OTHER";
    other.length = 1;
    signal flag = make(0, 1, le);
    flag.name = "Flag";
    other.signals = {flag};
    db.messages = {engine, mux, other};
    return db;
}

TEST(can_decode, a_frame_decoder_gives_the_wanted_signals_a_frame_holds) {
    const database db = engine_database();
    frame_decoder decoder;
    ASSERT_EQ(decoder.build(db, {{"ENGINE_1", "EngineSpeed", 7}, {"PAGES", "WaterTemp", 2}, {"PAGES", "OilPressure", 1},
                                 {"PAGES", "Fuel", 3}, {"ENGINE_1", "Gear", 0}, {"OTHER", "Flag", 4}}),
              "");
    EXPECT_EQ(decoder.signals(), 6u);
    EXPECT_EQ(decoder.identifiers(), (std::vector<std::pair<uint32_t, bool>>{{0x123, false}, {0x123, true}, {0x0CF00400, true}}));

    struct given {
        size_t channel;
        double value;
        bool operator==(const given &) const = default;
    };
    const struct {
        const char *what;
        uint32_t id;
        bool extended;
        std::vector<uint8_t> data;
        std::vector<given> expected; // in the order the wanted list names them, within a message
        size_t short_frames;         // after the frame
    } frames[] = {
        {"engine: 0x4420 x 0.125 and gear 3", 0x0CF00400, true, {0x03, 0, 0, 0x20, 0x44, 0, 0, 0}, {{7, 2180}, {0, 3}}, 0},
        {"page 1: oil 0x01F4 x 0.1, fuel", 0x123, false, {1, 0xF4, 0x01, 0, 0, 0, 0, 60}, {{1, 50}, {3, 60}}, 0},
        {"page 2: water -5, fuel", 0x123, false, {2, 0xFB, 0, 0, 0, 0, 0, 61}, {{2, -5}, {3, 61}}, 0},
        {"page 3: neither", 0x123, false, {3, 0xFB, 0, 0, 0, 0, 0, 62}, {{3, 62}}, 0},
        {"the same number, extended", 0x123, true, {1}, {{4, 1}}, 0},
        {"an id nobody wants", 0x124, false, {1, 2, 3, 4, 5, 6, 7, 8}, {}, 0},
        {"a standard id of an extended message's number", 0x0400, false, {3, 0, 0, 0x20, 0x44, 0, 0, 0}, {}, 0},
        {"short: the speed's bytes missing", 0x0CF00400, true, {0x05, 0, 0}, {{0, 5}}, 1},
        {"short: page 1's oil cut", 0x123, false, {1, 0xF4}, {}, 2},
        {"short: no multiplexor byte", 0x123, false, {}, {}, 3},
    };
    for (const auto &f : frames) {
        SCOPED_TRACE(f.what);
        std::vector<given> got;
        const size_t count = decoder.decode(f.id, f.extended, f.data.data(), f.data.size(),
                                            [&](size_t channel, double value) { got.push_back({channel, value}); });
        EXPECT_EQ(count, got.size());
        EXPECT_EQ(got, f.expected);
        EXPECT_EQ(decoder.short_frames(), f.short_frames);
    }

    // A copy decodes alike and keeps the count.
    const frame_decoder copy = decoder;
    EXPECT_EQ(copy.short_frames(), 3u);
    double speed = 0;
    const uint8_t engine[8] = {0, 0, 0, 0x20, 0x44, 0, 0, 0};
    EXPECT_EQ(copy.decode(0x0CF00400, true, engine, 8, [&](size_t channel, double value) {
        if (channel == 7) speed = value;
    }), 2u);
    EXPECT_EQ(speed, 2180);
}

TEST(can_decode, a_frame_decoder_names_what_is_missing) {
    const database db = engine_database();
    const struct {
        std::vector<wanted_signal> wanted;
        std::string error;
    } cases[] = {
        {{{"ENGINE_1", "Gear", 0}, {"ENGIN_1", "Gear", 1}}, "no message \"ENGIN_1\" (did you mean \"ENGINE_1\"?)"},
        {{{"ENGINE_1", "EngineSped", 0}}, "message \"ENGINE_1\" has no signal \"EngineSped\" (did you mean \"EngineSpeed\"?)"},
        {{{"PAGES", "rpm", 0}}, "message \"PAGES\" has no signal \"rpm\""},
        {{{"BRAKES", "Pressure", 0}}, "no message \"BRAKES\""},
    };
    for (const auto &c : cases) {
        frame_decoder decoder;
        ASSERT_EQ(decoder.build(db, {{"ENGINE_1", "Gear", 0}}), "");
        EXPECT_EQ(decoder.build(db, c.wanted), c.error);
        // Left empty: nothing decodes.
        const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        EXPECT_EQ(decoder.decode(0x0CF00400, true, data, 8, [](size_t, double) {}), 0u);
        EXPECT_TRUE(decoder.identifiers().empty());
    }
}

} // namespace
} // namespace pitwall::testing
