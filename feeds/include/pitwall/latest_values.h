// latest_values.h - the latest value of each named channel, written by feeds on their own
// threads as data arrives and read by the frame loop at the start of a frame, with no lock either
// side waits on.
//
// A burst of values for one channel keeps only the last: a slot holds one value, its arrival
// time and a count of the values stored so far, which a reader compares with the count it saw
// last to tell whether anything new came.
#ifndef PITWALL_LATEST_VALUES_H
#define PITWALL_LATEST_VALUES_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pitwall {

// Told of every value stored (a recorder), on the storing feed's thread, after the table has it.
class value_tap {
public:
    virtual void on_value(size_t channel, double value, int64_t arrived_ns) = 0;

protected:
    ~value_tap() = default;
};

class latest_values {
public:
    // The channels, by name; their order gives their indices. Names repeated keep the first.
    explicit latest_values(std::vector<std::string> channels);

    size_t size() const { return names_.size(); }
    const std::string &name(size_t index) const { return names_[index]; }
    // The channel's index, or -1 for a name that is not one.
    int index_of(std::string_view name) const;

    // A value arrived at `arrived_ns` (a steady clock's nanoseconds). Any thread.
    void store(size_t index, double value, int64_t arrived_ns);

    struct reading {
        double value = 0;
        int64_t arrived_ns = 0;
        uint64_t stored = 0; // values stored so far; 0: none yet
    };
    // The channel's latest value. A value and its time may come from two writes that raced; the
    // count never runs ahead of the value.
    reading read(size_t index) const;

    // Set before any feed starts (a thread's start publishes it); nullptr: none.
    void set_tap(value_tap *tap) { tap_ = tap; }

private:
    struct slot {
        std::atomic<uint64_t> bits{0};
        std::atomic<int64_t> arrived{0};
        std::atomic<uint64_t> stored{0};
    };
    std::vector<std::string> names_;
    std::vector<size_t> by_name_; // indices sorted by name, for index_of
    std::unique_ptr<slot[]> slots_;
    value_tap *tap_ = nullptr;
};

} // namespace pitwall

#endif // PITWALL_LATEST_VALUES_H
