// The scene's CAN signals decoded from frames, and error frames said once per kind.
#include "pitwall/can_signals.h"

#include "pitwall/attribute_catalog.h"

#include <linux/can.h>
#include <linux/can/error.h>

#include <algorithm>
#include <cstdio>

namespace pitwall {
namespace {

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The message a signal named alone lives in; empty with `why` when none or several have it.
std::string message_of(const can::database &db, const std::string &signal, std::string &why) {
    std::vector<std::string> holders, names;
    for (const can::message &m : db.messages) {
        if (m.find(signal) != nullptr) holders.push_back(m.name);
        for (const can::signal &s : m.signals) names.push_back(s.name);
    }
    if (holders.size() == 1) return holders.front();
    if (holders.empty()) {
        why = "no message has a signal " + quoted(signal) + did_you_mean(signal, names);
    } else {
        why = "signal " + quoted(signal) + " is in more than one message (" + quoted(holders[0]) + ", " +
              quoted(holders[1]) + (holders.size() > 2 ? ", ..." : "") + "): name its message";
    }
    return {};
}

struct error_kind {
    uint32_t bit;
    const char *name;
};
constexpr error_kind error_classes[] = {
    {CAN_ERR_BUSOFF, "bus off"},
    {CAN_ERR_TX_TIMEOUT, "transmit timeout"},
    {CAN_ERR_LOSTARB, "arbitration lost"},
    {CAN_ERR_CRTL, "controller problem"},
    {CAN_ERR_PROT, "protocol violation"},
    {CAN_ERR_TRX, "transceiver problem"},
    {CAN_ERR_ACK, "no acknowledgement"},
    {CAN_ERR_BUSERROR, "bus error"},
    {CAN_ERR_RESTARTED, "controller restarted"},
};
// A controller problem's detail, in data[1].
constexpr error_kind controller_states[] = {
    {CAN_ERR_CRTL_RX_OVERFLOW, "receive buffer overflow"}, {CAN_ERR_CRTL_TX_OVERFLOW, "transmit buffer overflow"},
    {CAN_ERR_CRTL_RX_WARNING, "receive error warning"},    {CAN_ERR_CRTL_TX_WARNING, "transmit error warning"},
    {CAN_ERR_CRTL_RX_PASSIVE, "receive error passive"},    {CAN_ERR_CRTL_TX_PASSIVE, "transmit error passive"},
    {CAN_ERR_CRTL_ACTIVE, "back to error active"},
};

// Class bits, and a controller problem's detail above them: one mask of what a frame says.
uint64_t kinds_of(uint32_t error_class, const uint8_t *data, size_t length) {
    uint64_t kinds = error_class & CAN_ERR_MASK;
    if ((error_class & CAN_ERR_CRTL) && length > 1) kinds |= uint64_t(data[1]) << 32;
    return kinds;
}

std::string describe_kinds(uint64_t kinds) {
    std::string text;
    for (const error_kind &k : error_classes) {
        if (!(kinds & k.bit)) continue;
        text += (text.empty() ? "" : ", ") + std::string(k.name);
        if (k.bit != CAN_ERR_CRTL) continue;
        std::string detail;
        for (const error_kind &d : controller_states)
            if (kinds >> 32 & d.bit) detail += (detail.empty() ? "" : ", ") + std::string(d.name);
        if (!detail.empty()) text += " (" + detail + ")";
    }
    // Bits no name covers (a newer kernel's), said as they are.
    const uint32_t named = CAN_ERR_BUSOFF | CAN_ERR_TX_TIMEOUT | CAN_ERR_LOSTARB | CAN_ERR_CRTL | CAN_ERR_PROT |
                           CAN_ERR_TRX | CAN_ERR_ACK | CAN_ERR_BUSERROR | CAN_ERR_RESTARTED;
    if (const uint32_t other = uint32_t(kinds) & ~named; other != 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", unsigned(other));
        text += (text.empty() ? "class " : ", class ") + std::string(hex);
    }
    return text.empty() ? "no class given" : text;
}

} // namespace

std::string can_signal_reader::build(const can::database &db, const std::vector<signal_channel> &signals) {
    std::vector<can::wanted_signal> wanted;
    std::vector<std::string> channels;
    for (size_t i = 0; i < signals.size(); ++i) {
        const signal_channel &s = signals[i];
        std::string message = s.message, why;
        if (message.empty()) message = message_of(db, s.signal, why);
        if (message.empty()) return "channel " + quoted(s.channel) + ": " + why;
        wanted.push_back({message, s.signal, i});
        channels.push_back(s.channel);
    }
    can::frame_decoder decoder;
    if (std::string why = decoder.build(db, wanted); !why.empty()) {
        // Which channel: each signal alone says.
        for (size_t i = 0; i < wanted.size(); ++i)
            if (std::string alone = can::frame_decoder().build(db, {wanted[i]}); !alone.empty())
                return "channel " + quoted(signals[i].channel) + ": " + alone;
        return why;
    }
    std::vector<uint32_t> known;
    known.reserve(db.messages.size());
    for (const can::message &m : db.messages) known.push_back(key_of(m.id, m.extended));
    std::sort(known.begin(), known.end());
    decoder_ = std::move(decoder);
    channels_ = std::move(channels);
    known_ = std::move(known);
    table_index_.assign(channels_.size(), -1);
    return {};
}

void can_signal_reader::resolve(const latest_values &table) {
    table_index_.resize(channels_.size());
    for (size_t i = 0; i < channels_.size(); ++i) table_index_[i] = table.index_of(channels_[i]);
}

void can_signal_reader::take(uint32_t id, bool extended, const uint8_t *data, size_t length, int64_t arrived,
                             latest_values &table, feed_counters &counts) const {
    if (!std::binary_search(known_.begin(), known_.end(), key_of(id, extended))) {
        counts.unknown.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    uint64_t stored = 0, unknown = 0;
    const size_t short_before = decoder_.short_frames();
    decoder_.decode(id, extended, data, length, [&](size_t wanted, double value) {
        const int index = table_index_[wanted];
        if (index < 0) {
            ++unknown;
            return;
        }
        table.store(size_t(index), value, arrived);
        ++stored;
    });
    if (stored != 0) counts.stored.fetch_add(stored, std::memory_order_relaxed);
    if (unknown != 0) counts.unknown.fetch_add(unknown, std::memory_order_relaxed);
    if (const size_t cut = decoder_.short_frames() - short_before; cut != 0)
        counts.bad.fetch_add(cut, std::memory_order_relaxed);
}

void can_error_notes::take(uint32_t error_class, const uint8_t *data, size_t length, feed_counters &counts) {
    counts.errors.fetch_add(1, std::memory_order_relaxed);
    const uint64_t kinds = kinds_of(error_class, data, length);
    const std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t fresh = kinds & ~seen_;
    if (fresh == 0 && (kinds != 0 || seen_none_)) return;
    if (kinds == 0) seen_none_ = true;
    seen_ |= kinds;
    // A controller's new detail is said with its class.
    notes_.push_back("error frame: " + describe_kinds(fresh | (fresh >> 32 != 0 ? CAN_ERR_CRTL : 0)));
}

void can_error_notes::note_once(const std::string &note) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(said_.begin(), said_.end(), note) != said_.end()) return;
    said_.push_back(note);
    notes_.push_back(note);
}

std::vector<std::string> can_error_notes::take_notes() {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> notes;
    notes.swap(notes_);
    return notes;
}

std::string describe_can_error(uint32_t error_class, const uint8_t *data, size_t length) {
    return describe_kinds(kinds_of(error_class, data, length));
}

} // namespace pitwall
