// Live values recorded as a telemetry log.
#include "pitwall/telemetry_recorder.h"

#include "pitwall/csv_fields.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstdio>

namespace pitwall {
namespace {

// A row still gathering is written once no value has joined it for this long: a datagram's values
// all arrive within microseconds.
constexpr int64_t row_settles_ns = 50000000;

} // namespace

telemetry_recorder::~telemetry_recorder() { close(); }

std::string telemetry_recorder::open(const std::string &path, const latest_values &channels) {
    if (file_.is_open()) return "the recording is open already";
    if (channels.size() + 1 > max_csv_columns)
        return std::to_string(channels.size()) + " channels and the time make more than " +
               std::to_string(max_csv_columns) + " columns";
    // The time column takes a name no channel has.
    std::string time = "t";
    for (int n = 0; channels.index_of(time) >= 0; ++n) time = n == 0 ? "time" : "t" + std::to_string(n);
    std::string header;
    csv_field(time, header);
    for (size_t i = 0; i < channels.size(); ++i) {
        header += ',';
        if (!csv_field(channels.name(i), header))
            return "channel \"" + channels.name(i).substr(0, 64) + "\" cannot be a column: it holds a line end or " +
                   "is longer than " + std::to_string(max_csv_field_bytes) + " bytes";
    }
    header += '\n';
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        values_.assign(channels.size(), 0);
        present_.assign(channels.size(), 0);
        gathering_ = timed_ = false;
        last_us_ = 0;
        rows_ = dropped_ = 0;
        open_ = true;
    }
    // The writer writes a row nobody adds to any more.
    auto settle = [this](int64_t now) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (gathering_ && now - row_ns_ > row_settles_ns) end_row();
    };
    if (std::string why = file_.create(path, header, settle); !why.empty()) {
        const std::lock_guard<std::mutex> lock(mutex_);
        open_ = false;
        return why;
    }
    time_column_ = time;
    channels_ = channels.size();
    return {};
}

void telemetry_recorder::on_value(size_t channel, double value, int64_t arrived_ns) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || channel >= values_.size()) {
        ++dropped_;
        return;
    }
    // Another arrival, or the same channel again within one: the row so far is done.
    if (gathering_ && (arrived_ns != row_ns_ || present_[channel])) end_row();
    if (!gathering_) {
        if (!timed_) first_ns_ = arrived_ns;
        timed_ = true;
        gathering_ = true;
        row_ns_ = arrived_ns;
    }
    values_[channel] = value;
    present_[channel] = 1;
}

void telemetry_recorder::end_row() {
    if (!gathering_) return;
    gathering_ = false;
    // Feeds on other threads stamp their values a little apart: t never goes back.
    const int64_t us = std::max<int64_t>((row_ns_ - first_ns_) / 1000, last_us_);
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%" PRId64 ".%06" PRId64, us / 1000000, us % 1000000);
    row_.assign(text, size_t(length));
    for (size_t i = 0; i < values_.size(); ++i) {
        row_ += ',';
        if (!present_[i]) continue;
        // The shortest text that reads back as the same double.
        const auto written = std::to_chars(text, text + sizeof text, values_[i]);
        row_.append(text, written.ptr);
    }
    row_ += '\n';
    // A full buffer (a disk that stalls), a write error: the row's values are dropped.
    if (!file_.append(row_)) {
        dropped_ += size_t(std::count(present_.begin(), present_.end(), 1));
    } else {
        last_us_ = us;
        ++rows_;
    }
    std::fill(present_.begin(), present_.end(), 0);
}

std::string telemetry_recorder::close() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (open_) end_row();
        open_ = false;
    }
    return file_.close();
}

uint64_t telemetry_recorder::rows() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return rows_;
}

uint64_t telemetry_recorder::dropped() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

} // namespace pitwall
