// The latest value of each channel.
#include "pitwall/latest_values.h"

#include <algorithm>
#include <cstring>

namespace pitwall {

latest_values::latest_values(std::vector<std::string> channels) {
    for (std::string &name : channels)
        if (std::find(names_.begin(), names_.end(), name) == names_.end()) names_.push_back(std::move(name));
    by_name_.resize(names_.size());
    for (size_t i = 0; i < by_name_.size(); ++i) by_name_[i] = i;
    std::sort(by_name_.begin(), by_name_.end(), [this](size_t a, size_t b) { return names_[a] < names_[b]; });
    slots_ = std::make_unique<slot[]>(names_.size());
}

int latest_values::index_of(std::string_view name) const {
    auto it = std::lower_bound(by_name_.begin(), by_name_.end(), name,
                               [this](size_t i, std::string_view n) { return std::string_view(names_[i]) < n; });
    if (it == by_name_.end() || names_[*it] != name) return -1;
    return int(*it);
}

void latest_values::store(size_t index, double value, int64_t arrived_ns) {
    if (index >= names_.size()) return;
    slot &s = slots_[index];
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    s.bits.store(bits, std::memory_order_relaxed);
    s.arrived.store(arrived_ns, std::memory_order_relaxed);
    // Published after the value: a reader that sees the new count sees this value or a later one.
    s.stored.fetch_add(1, std::memory_order_release);
    if (tap_ != nullptr) tap_->on_value(index, value, arrived_ns);
}

latest_values::reading latest_values::read(size_t index) const {
    reading r;
    if (index >= names_.size()) return r;
    const slot &s = slots_[index];
    r.stored = s.stored.load(std::memory_order_acquire);
    const uint64_t bits = s.bits.load(std::memory_order_relaxed);
    std::memcpy(&r.value, &bits, sizeof r.value);
    r.arrived_ns = s.arrived.load(std::memory_order_relaxed);
    return r;
}

} // namespace pitwall
