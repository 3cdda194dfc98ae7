// A DBC file read into a database: the tokens, then one statement after another, then each
// message's layout checked as a whole.
#include "pitwall/dbc.h"

#include "pitwall/attribute_catalog.h"
#include "pitwall/can_decode.h"
#include "pitwall/file_read.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <deque>
#include <unordered_map>
#include <unordered_set>

namespace pitwall::can {
namespace {

enum class kind { end, ident, number, string, punct };

struct token {
    kind type = kind::end;
    std::string_view text; // a string's bytes between its quotes, escapes still in
    size_t line = 0, column = 0;
    bool first = false; // the first token of its line
};

bool is_ident_start(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_ident_char(char c) { return is_ident_start(c) || is_digit(c); }

class lexer {
public:
    explicit lexer(std::string_view text) : text_(text) {
        if (text_.starts_with("\xEF\xBB\xBF")) at_ = line_start_ = 3; // a UTF-8 byte order mark
    }

    // The next token; false with `cause` and its place on a byte no token starts with or a string
    // that never ends.
    bool next(token &t, std::string &cause) {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '\n') {
                ++line_;
                line_start_ = ++at_;
                line_begins_ = true;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++at_;
            } else {
                break;
            }
        }
        t = token();
        t.line = line_;
        t.column = at_ - line_start_ + 1;
        t.first = line_begins_;
        line_begins_ = false;
        if (at_ >= text_.size()) return true;
        const size_t begin = at_;
        const char c = text_[at_];
        const auto digit_at = [this](size_t i) { return i < text_.size() && is_digit(text_[i]); };
        if (is_ident_start(c)) {
            while (at_ < text_.size() && is_ident_char(text_[at_])) ++at_;
            t.type = kind::ident;
        } else if (is_digit(c) || (c == '.' && digit_at(at_ + 1)) ||
                   ((c == '-' || c == '+') && (digit_at(at_ + 1) || (text_.substr(at_ + 1).starts_with(".") && digit_at(at_ + 2))))) {
            ++at_;
            while (at_ < text_.size() && (is_digit(text_[at_]) || text_[at_] == '.')) ++at_;
            if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
                size_t exp = at_ + 1;
                if (exp < text_.size() && (text_[exp] == '-' || text_[exp] == '+')) ++exp;
                if (digit_at(exp)) {
                    at_ = exp;
                    while (digit_at(at_)) ++at_;
                }
            }
            t.type = kind::number;
        } else if (c == '"') {
            ++at_;
            const size_t line = line_, column = t.column;
            while (at_ < text_.size() && text_[at_] != '"') {
                if (text_[at_] == '\\' && at_ + 1 < text_.size() && text_[at_ + 1] != '\n') ++at_;
                if (text_[at_] == '\n') {
                    ++line_;
                    line_start_ = at_ + 1;
                }
                ++at_;
            }
            if (at_ >= text_.size()) {
                t.line = line;
                t.column = column;
                cause = "a string that never ends";
                return false;
            }
            t.type = kind::string;
            t.text = text_.substr(begin + 1, at_ - begin - 1);
            ++at_;
            return true;
        } else if (std::string_view(":;|@()[],+-").find(c) != std::string_view::npos) {
            ++at_;
            t.type = kind::punct;
        } else {
            char what[48];
            if (c >= 0x20 && c < 0x7f) std::snprintf(what, sizeof what, "unexpected character '%c'", c);
            else std::snprintf(what, sizeof what, "unexpected byte 0x%02X", unsigned(static_cast<unsigned char>(c)));
            cause = what;
            return false;
        }
        t.text = text_.substr(begin, at_ - begin);
        return true;
    }

private:
    std::string_view text_;
    size_t at_ = 0, line_ = 1, line_start_ = 0;
    bool line_begins_ = true; // no token yet on the line
};

std::string unescaped(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) ++i;
        out += s[i];
    }
    return out;
}

// The keywords a skipped section ends at when it has no ';'.
bool is_keyword(std::string_view word) {
    static constexpr std::array<std::string_view, 35> words = {
        "VERSION", "NS_", "BS_", "BU_", "BO_", "SG_", "CM_", "BA_DEF_", "BA_DEF_DEF_", "BA_", "VAL_",
        "VAL_TABLE_", "SIG_VALTYPE_", "BO_TX_BU_", "EV_", "ENVVAR_DATA_", "SGTYPE_", "SGTYPE_VAL_",
        "SIG_GROUP_", "SG_MUL_VAL_", "SIG_TYPE_REF_", "SIGTYPE_VALTYPE_", "BA_DEF_SGTYPE_", "BA_SGTYPE_",
        "BA_DEF_REL_", "BA_REL_", "BA_DEF_DEF_REL_", "BU_SG_REL_", "BU_EV_REL_", "BU_BO_REL_", "CAT_DEF_",
        "CAT_", "FILTER", "EV_DATA_", "NS_DESC_"};
    return std::find(words.begin(), words.end(), word) != words.end();
}

// The pseudo message that holds signals no frame carries.
constexpr std::string_view independent_signals = "VECTOR__INDEPENDENT_SIG_MSG";

class parser {
public:
    parser(std::string_view text, const std::string &name) : lex_(text), name_(name) {}

    bool run(database &db, std::string &error) {
        db_ = &db;
        error_ = &error;
        while (true) {
            if (!peek(0)) return false;
            const token t = look_[0];
            if (t.type == kind::end) break;
            if (t.type != kind::ident) return fail(t, "expected a section such as BO_ or SG_, not \"" + std::string(t.text) + "\"");
            take();
            bool ok = true;
            if (t.text == "VERSION") ok = take_kind(kind::string, "the version string");
            else if (t.text == "NS_") ok = skip_new_symbols();
            else if (t.text == "BS_" || t.text == "BU_") ok = skip_line();
            else if (t.text == "BO_") ok = read_message(t);
            else if (t.text == "SG_") ok = read_signal(t);
            else if (t.text == "BA_") ok = read_attribute();
            else if (t.text == "VAL_") ok = read_values();
            else if (t.text == "SIG_VALTYPE_") ok = read_value_type();
            else ok = skip_statement(); // CM_, BA_DEF_, BA_DEF_DEF_, VAL_TABLE_ and the rest
            if (!ok || !error.empty()) return false;
            if (t.text != "BO_" && t.text != "SG_") {
                current_ = none;
                skipping_ = false;
            }
        }
        for (size_t m = 0; m < db.messages.size(); ++m)
            if (!check_layout(db.messages[m], columns_[m])) return false;
        return true;
    }

private:
    static constexpr size_t none = size_t(-1);

    // Looks `k` tokens ahead (0 or 1); false on a lexing error.
    bool peek(size_t k) {
        while (look_.size() <= k) {
            token t;
            std::string cause;
            if (!lex_.next(t, cause)) return fail(t, cause);
            look_.push_back(t);
        }
        return true;
    }
    token take() { // after a peek(0) that succeeded
        const token t = look_.front();
        look_.pop_front();
        last_ = t;
        return t;
    }
    // The next token, when it is of the kind (and, for punctuation, the character).
    bool next_is(kind type, char c = 0) {
        if (!peek(0)) return false;
        return look_[0].type == type && (c == 0 || look_[0].text[0] == c);
    }
    // True at a line's end, and on a lexing error (which error_ holds), so that no loop takes on.
    bool line_ends() { return !peek(0) || look_[0].type == kind::end || look_[0].first; }

    bool fail(const token &at, const std::string &cause) {
        if (error_->empty())
            *error_ = name_ + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " + cause;
        return false;
    }
    // The place for a missing token: the next one, or the end of the last one's line.
    bool fail_next(const std::string &cause) {
        if (!peek(0)) return false;
        token at = look_[0];
        if (at.type == kind::end || at.first) {
            at.line = last_.line;
            at.column = last_.column + last_.text.size() + (last_.type == kind::string ? 2 : 0);
        }
        return fail(at, cause + (at.type == kind::end || at.first ? " at the end of the line"
                                                                  : ", not \"" + std::string(at.text) + "\""));
    }
    bool take_kind(kind type, const char *what, char c = 0) {
        if (!next_is(type, c)) return error_->empty() && fail_next(std::string("expected ") + what);
        take();
        return true;
    }
    bool take_punct(char c) {
        const char what[] = {'\'', c, '\'', 0};
        return take_kind(kind::punct, what, c);
    }

    bool take_unsigned(const char *what, uint64_t &out, token *where = nullptr) {
        if (!next_is(kind::number)) return error_->empty() && fail_next(std::string("expected ") + what);
        const token t = take();
        if (where) *where = t;
        const auto [end, err] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), out);
        if (err != std::errc() || end != t.text.data() + t.text.size())
            return fail(t, std::string(what) + " \"" + std::string(t.text) + "\" is not a whole number from 0 to 2^64-1");
        return true;
    }
    bool take_integer(const char *what, int64_t &out) {
        if (!next_is(kind::number)) return error_->empty() && fail_next(std::string("expected ") + what);
        const token t = take();
        std::string_view text = t.text;
        if (text.starts_with("+")) text.remove_prefix(1);
        const auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), out);
        if (err == std::errc() && end == text.data() + text.size()) return true;
        uint64_t big = 0; // a 64-bit raw value written unsigned
        const auto [end2, err2] = std::from_chars(text.data(), text.data() + text.size(), big);
        if (err2 == std::errc() && end2 == text.data() + text.size()) {
            out = int64_t(big);
            return true;
        }
        return fail(t, std::string(what) + " \"" + std::string(t.text) + "\" is not a whole number");
    }
    bool take_number(const char *what, double &out) {
        if (!next_is(kind::number)) return error_->empty() && fail_next(std::string("expected ") + what);
        const token t = take();
        std::string_view text = t.text;
        if (text.starts_with("+")) text.remove_prefix(1);
        const auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), out);
        if (err != std::errc() || end != text.data() + text.size())
            return fail(t, std::string(what) + " \"" + std::string(t.text) + "\" is not a number");
        return true;
    }

    bool skip_line() {
        while (!line_ends()) take();
        return error_->empty();
    }
    // To its ';', or to the next line that begins with a section keyword.
    bool skip_statement() {
        while (true) {
            if (!peek(0)) return false;
            const token t = look_[0];
            if (t.type == kind::end) return true;
            if (t.first && t.type == kind::ident && is_keyword(t.text)) return true;
            take();
            if (t.type == kind::punct && t.text == ";") return true;
        }
    }
    // NS_ : then the symbols, each alone on its line, up to the first line that is not one.
    bool skip_new_symbols() {
        if (!skip_line()) return false;
        while (true) {
            if (!peek(0) || !peek(1)) return false;
            const token &t = look_[0];
            if (t.type != kind::ident || !t.first || t.text == "BS_" || t.text == "BU_" || t.text == "BO_") return true;
            if (!(look_[1].type == kind::end || look_[1].first)) return true;
            take();
        }
    }

    // BO_ ID NAME: LENGTH SENDER
    bool read_message(const token &keyword) {
        uint64_t raw_id = 0;
        token id_at;
        if (!take_unsigned("the message's id", raw_id, &id_at)) return false;
        if (!next_is(kind::ident)) return error_->empty() && fail_next("expected the message's name");
        const token name = take();
        uint64_t length = 0;
        token length_at;
        if (!take_punct(':') || !take_unsigned("the message's length in bytes", length, &length_at)) return false;
        std::string sender;
        if (!line_ends()) {
            if (!next_is(kind::ident)) return error_->empty() && fail_next("expected the sending node");
            sender = take().text;
        }
        if (!line_ends()) return error_->empty() && fail_next("expected the end of the message's line");

        current_ = none;
        skipping_ = false;
        if (name.text == independent_signals) { // signals on no frame: left out
            skipping_ = true;
            ignored_ids_.insert(raw_id);
            return true;
        }
        if (raw_id > 0xFFFFFFFFu) return fail(id_at, "id " + std::string(id_at.text) + " is over 32 bits");
        const bool extended = (raw_id & 0x80000000u) != 0;
        const uint32_t id = uint32_t(raw_id & 0x7FFFFFFFu);
        char hex[64];
        if (extended && id > 0x1FFFFFFFu) {
            std::snprintf(hex, sizeof hex, "0x%X", unsigned(id));
            return fail(id_at, std::string("extended id ") + hex + " is over 29 bits");
        }
        if (!extended && id > 0x7FFu) {
            std::snprintf(hex, sizeof hex, "0x%X", unsigned(id));
            return fail(id_at, std::string("id ") + hex + " is over 0x7FF: a 29-bit id is written with bit 31 set (" +
                                   std::to_string(uint64_t(id) | 0x80000000u) + ")");
        }
        if (length > 64) return fail(length_at, "a message is at most 64 bytes, not " + std::string(length_at.text));
        if (db_->messages.size() >= max_dbc_messages)
            return fail(keyword, "more than " + std::to_string(max_dbc_messages) + " messages");
        if (const auto at = by_id_.find(raw_id); at != by_id_.end())
            return fail(id_at, "message \"" + std::string(name.text) + "\" has the id of \"" +
                                   db_->messages[at->second].name + "\" (line " +
                                   std::to_string(db_->messages[at->second].line) + ")");
        if (const auto at = by_name_.find(std::string(name.text)); at != by_name_.end())
            return fail(name, "a second message \"" + std::string(name.text) + "\" (the first is on line " +
                                  std::to_string(db_->messages[at->second].line) + ")");
        message m;
        m.id = id;
        m.extended = extended;
        m.name = name.text;
        m.sender = std::move(sender);
        m.length = uint8_t(length);
        m.line = keyword.line;
        current_ = db_->messages.size();
        by_id_.emplace(raw_id, current_);
        by_name_.emplace(m.name, current_);
        db_->messages.push_back(std::move(m));
        columns_.emplace_back();
        signal_index_.emplace_back();
        return true;
    }

    // SG_ NAME [M|mN] : START|LENGTH@ORDER SIGN (FACTOR,OFFSET) [MIN|MAX] "UNIT" RECEIVERS
    bool read_signal(const token &keyword) {
        if (current_ == none && !skipping_) return fail(keyword, "a signal outside a message (SG_ goes under its BO_)");
        if (!next_is(kind::ident)) return error_->empty() && fail_next("expected the signal's name");
        const token name = take();
        signal s;
        s.name = name.text;
        s.line = keyword.line;
        if (next_is(kind::ident)) {
            const token mux = take();
            const std::string_view m = mux.text;
            size_t digits = 0;
            while (1 + digits < m.size() && is_digit(m[1 + digits])) ++digits;
            if (m == "M") {
                s.mux = multiplex::multiplexor;
            } else if (m[0] == 'm' && digits > 0 && digits + 1 == m.size()) {
                s.mux = multiplex::multiplexed;
                const auto [end, err] = std::from_chars(m.data() + 1, m.data() + m.size(), s.mux_value);
                if (err != std::errc()) return fail(mux, "multiplexor value " + std::string(m.substr(1)) + " is over 64 bits");
            } else if (m[0] == 'm' && digits > 0 && digits + 2 == m.size() && m.back() == 'M') {
                return fail(mux, "\"" + std::string(m) + "\": a signal both multiplexed and multiplexor (extended multiplexing) is not supported");
            } else {
                return fail(mux, "expected ':' or a multiplexer indicator (M, m0, m1...), not \"" + std::string(m) + "\"");
            }
        }
        uint64_t start = 0, length = 0, order = 0;
        token start_at, length_at, order_at;
        if (!take_punct(':') || !take_unsigned("the start bit", start, &start_at) || !take_punct('|') ||
            !take_unsigned("the length in bits", length, &length_at) || !take_punct('@') ||
            !take_unsigned("the byte order (0 or 1)", order, &order_at))
            return false;
        if (order > 1) return fail(order_at, "the byte order is 1 (little-endian) or 0 (big-endian), not " + std::string(order_at.text));
        if (!next_is(kind::punct, '+') && !next_is(kind::punct, '-'))
            return error_->empty() && fail_next("expected '+' (unsigned) or '-' (signed)");
        s.type = take().text == "-" ? value_type::signed_int : value_type::unsigned_int;
        if (!take_punct('(') || !take_number("the factor", s.factor) || !take_punct(',') ||
            !take_number("the offset", s.offset) || !take_punct(')') || !take_punct('[') ||
            !take_number("the minimum", s.minimum) || !take_punct('|') || !take_number("the maximum", s.maximum) ||
            !take_punct(']') || !take_kind(kind::string, "the unit (a string)"))
            return false;
        s.unit = unescaped(last_.text);
        if (!skip_line()) return false; // the receiving nodes
        if (skipping_) return true;

        if (length == 0 || length > 64)
            return fail(length_at, "signal \"" + s.name + "\" is " + std::string(length_at.text) + " bits: a signal is 1 to 64");
        if (start >= 512) return fail(start_at, "start bit " + std::string(start_at.text) + " is past 64 bytes");
        s.start_bit = uint16_t(start);
        s.length = uint16_t(length);
        s.order = order == 1 ? byte_order::little_endian : byte_order::big_endian;
        message &m = db_->messages[current_];
        const bit_plan bits = plan_bits(s);
        if (bits.needed > m.length)
            return fail(start_at, "signal \"" + s.name + "\" (" + std::to_string(start) + "|" + std::to_string(length) + "@" +
                                      std::to_string(order) + ") needs " + std::to_string(bits.needed) + " bytes, message \"" +
                                      m.name + "\" has " + std::to_string(m.length));
        if (s.mux == multiplex::multiplexor)
            if (const signal *other = m.multiplexor())
                return fail(name, "a second multiplexor \"" + s.name + "\" in message \"" + m.name + "\" (the first is \"" +
                                      other->name + "\")");
        if (signal_count_ >= max_dbc_signals)
            return fail(keyword, "more than " + std::to_string(max_dbc_signals) + " signals");
        if (!signal_index_[current_].emplace(s.name, m.signals.size()).second)
            return fail(name, "a second signal \"" + s.name + "\" in message \"" + m.name + "\"");
        ++signal_count_;
        columns_[current_].push_back(name.column);
        m.signals.push_back(std::move(s));
        return true;
    }

    // The message an attribute, value names or a value type speak of: an index, `none` for the
    // left-out pseudo message, false for one not in the file.
    bool find_message(const token &id_at, uint64_t raw_id, const char *section, size_t &out) {
        if (ignored_ids_.count(raw_id)) {
            out = none;
            return true;
        }
        const auto at = by_id_.find(raw_id);
        if (at == by_id_.end()) return fail(id_at, std::string(section) + " of message " + std::string(id_at.text) + ", which no BO_ defines");
        out = at->second;
        return true;
    }
    bool find_signal(const token &name, size_t m, const char *section, signal *&out) {
        const auto at = signal_index_[m].find(std::string(name.text));
        if (at == signal_index_[m].end()) {
            std::vector<std::string> names;
            for (const signal &s : db_->messages[m].signals) names.push_back(s.name);
            return fail(name, std::string(section) + " of signal \"" + std::string(name.text) + "\", which message \"" +
                                  db_->messages[m].name + "\" does not have" + did_you_mean(name.text, names));
        }
        out = &db_->messages[m].signals[at->second];
        return true;
    }

    // BA_ "NAME" [BU_ NODE | BO_ ID | SG_ ID SIGNAL | EV_ VAR] VALUE ;
    bool read_attribute() {
        if (!take_kind(kind::string, "the attribute's name (a string)")) return false;
        const std::string_view attribute = last_.text;
        if (!next_is(kind::ident, 0) || (look_[0].text != "BO_" && look_[0].text != "SG_")) return skip_statement();
        const bool of_signal = take().text == "SG_";
        uint64_t raw_id = 0;
        token id_at;
        if (!take_unsigned("the message's id", raw_id, &id_at)) return false;
        size_t m = none;
        if (!find_message(id_at, raw_id, "BA_", m)) return false;
        if (of_signal) {
            if (!take_kind(kind::ident, "the signal's name")) return false;
            signal *s = nullptr;
            if (m != none && !find_signal(last_, m, "BA_", s)) return false;
        } else if (attribute == "GenMsgCycleTime" && m != none) {
            double cycle = 0;
            if (!take_number("the cycle time", cycle)) return false;
            db_->messages[m].cycle_ms = cycle;
        }
        return skip_statement();
    }

    // VAL_ ID SIGNAL VALUE "NAME" ... ;  (VAL_ of an environment variable, without an id, skipped)
    bool read_values() {
        if (!next_is(kind::number)) return skip_statement();
        uint64_t raw_id = 0;
        token id_at;
        if (!take_unsigned("the message's id", raw_id, &id_at)) return false;
        size_t m = none;
        if (!find_message(id_at, raw_id, "VAL_", m) || !take_kind(kind::ident, "the signal's name")) return false;
        signal *s = nullptr;
        if (m != none && !find_signal(last_, m, "VAL_", s)) return false;
        std::vector<value_name> values;
        while (!next_is(kind::punct, ';')) {
            if (!error_->empty()) return false;
            if (next_is(kind::end)) return fail_next("expected ';' after the value names");
            value_name v;
            if (!take_integer("the value", v.value) || !take_kind(kind::string, "the value's name (a string)")) return false;
            if (value_count_ >= max_dbc_value_names)
                return fail(last_, "more than " + std::to_string(max_dbc_value_names) + " value names");
            ++value_count_;
            v.name = unescaped(last_.text);
            values.push_back(std::move(v));
        }
        take();
        if (s) s->values = std::move(values);
        return true;
    }

    // SIG_VALTYPE_ ID SIGNAL : 0|1|2 ;
    bool read_value_type() {
        uint64_t raw_id = 0, type = 0;
        token id_at, type_at;
        if (!take_unsigned("the message's id", raw_id, &id_at)) return false;
        size_t m = none;
        if (!find_message(id_at, raw_id, "SIG_VALTYPE_", m) || !take_kind(kind::ident, "the signal's name")) return false;
        const token name = last_;
        signal *s = nullptr;
        if (m != none && !find_signal(name, m, "SIG_VALTYPE_", s)) return false;
        if (next_is(kind::punct, ':')) take();
        if (!take_unsigned("the value type (0 integer, 1 float, 2 double)", type, &type_at)) return false;
        if (type > 2) return fail(type_at, "the value type is 0 (integer), 1 (float) or 2 (double), not " + std::string(type_at.text));
        if (s && type > 0) {
            const unsigned bits = type == 1 ? 32 : 64;
            if (s->length != bits)
                return fail(name, "signal \"" + s->name + "\" is " + std::to_string(s->length) + " bits: a " +
                                      (type == 1 ? "float" : "double") + " is " + std::to_string(bits));
            s->type = type == 1 ? value_type::ieee_float : value_type::ieee_double;
        }
        return take_punct(';');
    }

    // The bits a signal covers, in the DBC's numbering (byte * 8 + bit), in its own order.
    template <class Each> static void each_bit(const signal &s, Each &&each) {
        unsigned bit = s.start_bit;
        for (unsigned i = 0; i < s.length; ++i) {
            each(bit);
            if (s.order == byte_order::little_endian) ++bit;
            else bit = bit % 8 == 0 ? bit + 15 : bit - 1; // on into the next byte's bit 7
        }
    }

    // Multiplexed signals have their multiplexor; no bit is two signals' that can be in one frame.
    bool check_layout(const message &m, const std::vector<size_t> &columns) {
        const auto at = [&](size_t i) {
            token t;
            t.line = m.signals[i].line;
            t.column = columns[i];
            return t;
        };
        const bool has_mux = m.multiplexor() != nullptr;
        std::array<int32_t, 512> always;
        always.fill(-1);
        std::vector<size_t> multiplexed;
        const auto mark = [&](std::array<int32_t, 512> &owner, size_t i) {
            bool ok = true;
            each_bit(m.signals[i], [&](unsigned bit) {
                if (!ok) return;
                if (owner[bit] >= 0) {
                    const signal &other = m.signals[size_t(owner[bit])];
                    ok = fail(at(i), "signal \"" + m.signals[i].name + "\" shares bit " + std::to_string(bit) + " with \"" +
                                         other.name + "\" (line " + std::to_string(other.line) + ") in message \"" + m.name + "\"");
                }
                owner[bit] = int32_t(i);
            });
            return ok;
        };
        for (size_t i = 0; i < m.signals.size(); ++i) {
            if (m.signals[i].mux == multiplex::multiplexed) {
                if (!has_mux)
                    return fail(at(i), "signal \"" + m.signals[i].name + "\" is multiplexed but message \"" + m.name +
                                           "\" has no multiplexor (M)");
                multiplexed.push_back(i);
            } else if (!mark(always, i)) {
                return false;
            }
        }
        std::stable_sort(multiplexed.begin(), multiplexed.end(),
                         [&](size_t a, size_t b) { return m.signals[a].mux_value < m.signals[b].mux_value; });
        std::array<int32_t, 512> owner;
        for (size_t k = 0; k < multiplexed.size(); ++k) {
            if (k == 0 || m.signals[multiplexed[k]].mux_value != m.signals[multiplexed[k - 1]].mux_value) owner = always;
            if (!mark(owner, multiplexed[k])) return false;
        }
        return true;
    }

    lexer lex_;
    const std::string &name_;
    database *db_ = nullptr;
    std::string *error_ = nullptr;
    std::deque<token> look_;
    token last_;
    size_t current_ = none; // the message SG_ lines go to
    bool skipping_ = false; // under the left-out pseudo message
    std::unordered_map<uint64_t, size_t> by_id_;
    std::unordered_map<std::string, size_t> by_name_;
    std::unordered_set<uint64_t> ignored_ids_;
    std::vector<std::vector<size_t>> columns_;                         // of each signal's name, by message
    std::vector<std::unordered_map<std::string, size_t>> signal_index_; // by message
    size_t signal_count_ = 0, value_count_ = 0;
};

} // namespace

const value_name *signal::find_value(int64_t raw) const {
    for (const value_name &v : values)
        if (v.value == raw) return &v;
    return nullptr;
}

const signal *message::find(std::string_view signal_name) const {
    for (const signal &s : signals)
        if (s.name == signal_name) return &s;
    return nullptr;
}

const signal *message::multiplexor() const {
    for (const signal &s : signals)
        if (s.mux == multiplex::multiplexor) return &s;
    return nullptr;
}

const message *database::find(uint32_t id, bool extended) const {
    for (const message &m : messages)
        if (m.id == id && m.extended == extended) return &m;
    return nullptr;
}

const message *database::find(std::string_view message_name) const {
    for (const message &m : messages)
        if (m.name == message_name) return &m;
    return nullptr;
}

bool parse_dbc(std::string_view text, const std::string &name, database &out, std::string *why) {
    // Lines are bounded before anything else, so that no token can be longer.
    size_t line = 1, begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) end = text.size();
        if (end - begin > max_dbc_line_bytes) {
            if (why)
                *why = name + ":" + std::to_string(line) + ":" + std::to_string(max_dbc_line_bytes + 1) +
                       ": a line longer than " + std::to_string(max_dbc_line_bytes) + " bytes";
            return false;
        }
        begin = end + 1;
        ++line;
    }
    database db;
    std::string error;
    parser p(text, name);
    if (!p.run(db, error)) {
        if (why) *why = error;
        return false;
    }
    out = std::move(db);
    return true;
}

bool read_dbc(const std::string &path, database &out, std::string *why) {
    std::string text, cause;
    if (!read_regular_file(path, max_dbc_bytes, text, &cause)) {
        if (why) *why = path + ": " + cause;
        return false;
    }
    return parse_dbc(text, path, out, why);
}

} // namespace pitwall::can
