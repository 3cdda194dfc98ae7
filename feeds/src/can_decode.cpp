// Where a signal's bits lie, worked out once; a table of the wanted signals by frame id.
#include "pitwall/can_decode.h"

#include "pitwall/attribute_catalog.h"

#include <unordered_map>

namespace pitwall::can {

bit_plan plan_bits(const signal &s) {
    bit_plan p;
    if (s.length == 0 || s.length > 64 || s.start_bit >= 512) return p;
    const unsigned length = s.length;
    // `place`: the first bit's place in its byte counted from where the signal's bits start
    // (little-endian: from bit 0 upwards; big-endian: from bit 7 downwards).
    unsigned first = 0, place = 0;
    if (s.order == byte_order::little_endian) {
        first = s.start_bit / 8u;
        place = s.start_bit % 8u;
    } else {
        const unsigned msb = s.start_bit / 8u * 8u + 7u - s.start_bit % 8u; // bytes read as one big-endian number
        first = msb / 8u;
        place = msb % 8u;
    }
    const unsigned count = (place + length + 7u) / 8u;
    p.first = uint8_t(first);
    p.count = uint8_t(count);
    p.needed = uint8_t(first + count);
    p.length = uint8_t(length);
    p.mask = length == 64 ? ~uint64_t(0) : (uint64_t(1) << length) - 1;
    if (s.order == byte_order::little_endian) {
        p.shift = int8_t(-int(place));
        p.step = 8;
    } else {
        const unsigned below = 8u * count - place - length; // bits of the last byte after the signal's least significant
        p.shift = int8_t(int(8u * (count - 1u)) - int(below));
        p.step = -8;
    }
    return p;
}

bool extract_raw(const signal &s, const uint8_t *data, size_t length, uint64_t &raw) {
    const bit_plan p = plan_bits(s);
    if (p.count == 0 || p.needed > length) return false;
    raw = read_bits(p, data);
    return true;
}

bool decode_signal(const signal &s, const uint8_t *data, size_t length, double &value) {
    if ((s.type == value_type::ieee_float && s.length != 32) || (s.type == value_type::ieee_double && s.length != 64))
        return false;
    uint64_t raw = 0;
    if (!extract_raw(s, data, length, raw)) return false;
    value = raw_number(s.type, uint8_t(s.length), raw) * s.factor + s.offset;
    return true;
}

frame_decoder &frame_decoder::operator=(const frame_decoder &other) {
    if (this != &other) {
        entries_ = other.entries_;
        plans_ = other.plans_;
        short_.store(other.short_.load(std::memory_order_relaxed), std::memory_order_relaxed);
    }
    return *this;
}

std::string frame_decoder::build(const database &db, const std::vector<wanted_signal> &wanted) {
    entries_.clear();
    plans_.clear();
    short_.store(0, std::memory_order_relaxed);

    struct found {
        uint32_t key;
        size_t order;
        const message *m;
        plan p;
    };
    // Names looked up through maps, so that wanting every signal of a large database stays linear.
    std::unordered_map<std::string_view, const message *> messages;
    for (const message &each : db.messages) messages.emplace(each.name, &each);
    std::unordered_map<const message *, std::unordered_map<std::string_view, const signal *>> signals_of;
    std::vector<found> all;
    all.reserve(wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        const wanted_signal &w = wanted[i];
        const auto named = messages.find(w.message);
        const message *m = named == messages.end() ? nullptr : named->second;
        if (!m) {
            std::vector<std::string> names;
            for (const message &each : db.messages) names.push_back(each.name);
            return "no message \"" + w.message + "\"" + did_you_mean(w.message, names);
        }
        auto [by_name, fresh] = signals_of.try_emplace(m);
        if (fresh)
            for (const signal &each : m->signals) by_name->second.emplace(each.name, &each);
        const auto found_signal = by_name->second.find(w.signal);
        const signal *s = found_signal == by_name->second.end() ? nullptr : found_signal->second;
        if (!s) {
            std::vector<std::string> names;
            for (const signal &each : m->signals) names.push_back(each.name);
            return "message \"" + m->name + "\" has no signal \"" + w.signal + "\"" + did_you_mean(w.signal, names);
        }
        plan p;
        p.bits = plan_bits(*s);
        p.type = s->type;
        p.multiplexed = s->mux == multiplex::multiplexed;
        p.mux_value = s->mux_value;
        p.factor = s->factor;
        p.offset = s->offset;
        p.channel = w.channel;
        all.push_back({key_of(m->id, m->extended), i, m, p});
    }
    std::sort(all.begin(), all.end(),
              [](const found &a, const found &b) { return a.key != b.key ? a.key < b.key : a.order < b.order; });
    std::vector<entry> entries;
    std::vector<plan> plans;
    plans.reserve(all.size());
    for (const found &f : all) {
        if (entries.empty() || entries.back().key != f.key) {
            entry e;
            e.key = f.key;
            e.first = uint32_t(plans.size());
            if (const signal *mux = f.m->multiplexor()) e.mux = plan_bits(*mux);
            entries.push_back(e);
        }
        entries.back().has_mux |= f.p.multiplexed;
        ++entries.back().count;
        plans.push_back(f.p);
    }
    entries_ = std::move(entries);
    plans_ = std::move(plans);
    return {};
}

std::vector<std::pair<uint32_t, bool>> frame_decoder::identifiers() const {
    std::vector<std::pair<uint32_t, bool>> ids;
    ids.reserve(entries_.size());
    for (const entry &e : entries_) ids.emplace_back(e.key & 0x7FFFFFFFu, (e.key & 0x80000000u) != 0);
    return ids;
}

} // namespace pitwall::can
