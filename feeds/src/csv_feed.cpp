// A telemetry log replayed at its own pace.
#include "pitwall/csv_feed.h"

#include "pitwall/attribute_catalog.h"
#include "pitwall/csv_fields.h"
#include "pitwall/file_read.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace pitwall {
namespace {

// Seconds of log as nanoseconds of replay, bounded so that a log's absurd times wait (until the
// feed stops) instead of overflowing.
int64_t replay_ns(double seconds, double speed) {
    const double ns = seconds / speed * 1e9;
    return ns >= 1e18 ? int64_t(1e18) : int64_t(ns);
}

// A pass of a looped log never takes less, so that a log of one instant cannot spin.
constexpr int64_t shortest_pass_ns = 1000000;

const auto skip = [](size_t, std::string_view) {};

} // namespace

std::string csv_feed::open(const std::string &path, bool loop, double speed, const std::string &time_column) {
    if (!text_.empty()) return "the feed is open already";
    if (!(speed > 0 && speed <= max_speed)) {
        char text[64];
        std::snprintf(text, sizeof text, "%g", speed);
        return std::string("speed ") + text + " is not above 0 and at most " + std::to_string(int(max_speed));
    }
    std::string text, why;
    if (!read_regular_file(path, max_csv_bytes, text, &why)) return path + ": " + why;

    // First the shape, then the times: a number in every row, never going back.
    csv_reader shape(text, path, &why);
    std::vector<std::string> header;
    if (!read_csv_header(shape, header)) return why;
    const auto at = std::find(header.begin(), header.end(), time_column);
    if (at == header.end())
        return path + ": no time column \"" + time_column + "\"" + did_you_mean(time_column, header);
    const size_t time = size_t(at - header.begin());
    size_t rows = 0;
    if (!count_csv_rows(shape, header.size(), max_csv_rows, "more than " + std::to_string(max_csv_rows) + " rows",
                        rows))
        return why;
    if (rows == 0) return path + ": no rows after the header";
    csv_reader times(text, path, &why);
    times.next(skip);
    std::string field;
    auto keep = [&](size_t column, std::string_view value) {
        if (column == time) field.assign(value);
    };
    csv_time clock;
    double first = 0, seconds = 0;
    for (size_t row = 0; times.next(keep); ++row) {
        if (!clock.take(times, field, time_column, seconds)) return why;
        if (row == 0) first = seconds;
    }

    path_ = path;
    text_ = std::move(text);
    header_ = std::move(header);
    time_column_ = time;
    rows_ = rows;
    first_time_ = first;
    last_time_ = seconds;
    loop_ = loop;
    speed_ = speed;
    return {};
}

std::string csv_feed::describe() const {
    std::string text = "csv " + path_;
    if (loop_) text += " looped";
    if (speed_ != 1) {
        char speed[64];
        std::snprintf(speed, sizeof speed, " at speed %g", speed_);
        text += speed;
    }
    return text;
}

void csv_feed::start(latest_values &table) {
    if (text_.empty() || thread_.joinable() || finished_.load()) return;
    stopping_ = false;
    fields_.assign(header_.size(), std::string());
    thread_ = std::thread([this, &table] { run(table); });
}

void csv_feed::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool csv_feed::wait_until(int64_t due_ns) {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::chrono::steady_clock::time_point due{std::chrono::nanoseconds(due_ns)};
    return !wake_.wait_until(lock, due, [this] { return stopping_; });
}

void csv_feed::run(latest_values &table) {
    // Each column's channel in the table; -1: none (counted as unknown), -2: the time.
    std::vector<int> channel_of(header_.size());
    for (size_t i = 0; i < header_.size(); ++i) channel_of[i] = i == time_column_ ? -2 : table.index_of(header_[i]);
    // After the last row the next pass begins one row interval later, the log's own rhythm.
    const double interval = rows_ > 1 && duration() > 0 ? duration() / double(rows_ - 1) : 0.1;
    const int64_t pass_ns = std::max(replay_ns(duration() + interval, speed_), shortest_pass_ns);
    auto keep = [this](size_t column, std::string_view value) {
        if (column < fields_.size()) fields_[column].assign(value);
    };
    for (int64_t pass_began = feed_clock_ns();; pass_began += pass_ns) {
        csv_reader rows(text_, path_, nullptr);
        rows.next(skip); // the header
        while (rows.next(keep)) {
            double seconds = first_time_;
            parse_csv_number(fields_[time_column_], seconds); // checked when opened
            if (!wait_until(pass_began + replay_ns(seconds - first_time_, speed_))) return;
            play_row(channel_of, feed_clock_ns(), table);
        }
        if (!loop_) break;
    }
    finished_ = true;
}

void csv_feed::play_row(const std::vector<int> &channel_of, int64_t arrived, latest_values &table) {
    datagram_counts counts;
    for (size_t column = 0; column < fields_.size(); ++column) {
        const std::string &field = fields_[column];
        if (field.empty() || channel_of[column] == -2) continue; // no value here, or the time
        double value = 0;
        if (channel_of[column] < 0) {
            ++counts.unknown;
        } else if (!parse_csv_number(field, value)) {
            ++counts.bad;
        } else {
            table.store(size_t(channel_of[column]), value, arrived);
            ++counts.stored;
        }
    }
    counts_.add(counts);
    counts_.taken();
}

} // namespace pitwall
