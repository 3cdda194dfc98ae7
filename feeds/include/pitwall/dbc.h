// dbc.h - CAN signal databases (DBC files): which frames a bus carries and how each signal sits in
// a frame's bytes.
//
// Read: VERSION, NS_ (skipped), BS_, BU_, BO_ with its SG_ lines (with the multiplexer indicator
// "M" or "mN"), CM_ (skipped, strings across lines too), BA_DEF_ and BA_DEF_DEF_ (skipped), BA_
// (only "GenMsgCycleTime" of a BO_ kept), VAL_, VAL_TABLE_ (skipped), SIG_VALTYPE_; other sections
// are skipped to their ';' or to the next line that starts a known one. The pseudo message
// VECTOR__INDEPENDENT_SIG_MSG (signals on no frame) is left out with its signals.
//
// Refused, each at its line and column: signals sharing a bit (two always present, or two of the
// same multiplexor value), signals past the message's length, lengths 0 or over 64 bits, floats not
// of 32 or 64 bits, VAL_, BA_ or SIG_VALTYPE_ of a message that is not there, two messages of one
// id or one name, two signals of one name in a message, multiplexed signals without a multiplexor.
#ifndef PITWALL_DBC_H
#define PITWALL_DBC_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pitwall::can {

enum class byte_order { little_endian, big_endian };                           // @1 (Intel), @0 (Motorola)
enum class value_type { unsigned_int, signed_int, ieee_float, ieee_double };  // + / -, SIG_VALTYPE_ 1 / 2
enum class multiplex { none, multiplexor, multiplexed };                       // "", "M", "mN"

struct value_name {
    int64_t value; // the signal's raw value (before factor and offset)
    std::string name;
};

struct signal {
    std::string name;
    // As the DBC writes them: little-endian, start_bit is the least significant bit, counted
    // from bit 0 of byte 0 upwards; big-endian, it is the most significant bit in the same
    // numbering (bit 7 of byte 0 is 7, bit 0 of byte 1 is 8), the signal running towards bit 0
    // and on into bit 7 of the next byte.
    uint16_t start_bit = 0, length = 0;
    byte_order order = byte_order::little_endian;
    value_type type = value_type::unsigned_int;
    double factor = 1, offset = 0, minimum = 0, maximum = 0; // physical = raw * factor + offset
    std::string unit;
    multiplex mux = multiplex::none;
    uint64_t mux_value = 0;         // multiplexed: the multiplexor's raw value that selects it
    std::vector<value_name> values; // VAL_ of this signal, in the file's order
    size_t line = 0;                // of its SG_

    const value_name *find_value(int64_t raw) const; // nullptr: no name for it
};

struct message {
    uint32_t id = 0;       // without the extended flag
    bool extended = false; // the DBC's id has bit 31 set (a 29-bit id)
    std::string name, sender;
    uint8_t length = 0;    // bytes, 0..64 (CAN FD up to 64)
    std::vector<signal> signals;
    std::optional<double> cycle_ms; // BA_ "GenMsgCycleTime" BO_ id value
    size_t line = 0;                // of its BO_
    const signal *find(std::string_view name) const;
    const signal *multiplexor() const; // the "M" signal, nullptr when none
};

struct database {
    std::vector<message> messages; // in the file's order
    // Linear searches, for set-up and listing; frames go through a frame_decoder.
    const message *find(uint32_t id, bool extended) const;
    const message *find(std::string_view name) const;
};

// What a hostile file may make the reader hold.
constexpr size_t max_dbc_bytes = 16u << 20;
constexpr size_t max_dbc_line_bytes = 256u << 10;
constexpr size_t max_dbc_messages = 16384;
constexpr size_t max_dbc_signals = 131072;     // in all messages together
constexpr size_t max_dbc_value_names = 262144; // in all signals together

// Errors read "PATH:LINE:COLUMN: cause" (`name` is the PATH for parse_dbc). `out` is replaced only
// on success.
bool read_dbc(const std::string &path, database &out, std::string *why);
bool parse_dbc(std::string_view text, const std::string &name, database &out, std::string *why);

} // namespace pitwall::can

#endif // PITWALL_DBC_H
