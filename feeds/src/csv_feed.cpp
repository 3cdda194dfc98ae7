// A telemetry log replayed at its own pace.
#include "pitwall/csv_feed.h"

#include "pitwall/attribute_catalog.h"
#include "pitwall/csv_fields.h"
#include "pitwall/file_read.h"

#include <algorithm>

namespace pitwall {
namespace {

const auto skip = [](size_t, std::string_view) {};

} // namespace

std::string csv_feed::open(const std::string &path, bool loop, double speed, const std::string &time_column) {
    if (!text_.empty()) return "the feed is open already";
    if (std::string e = check_replay_speed(speed); !e.empty()) return e;
    std::string text, why;
    if (!read_regular_file(path, max_csv_bytes, text, &why)) return path + ": " + why;

    // A recording cut off mid-row replays up to its last whole row, and says so once.
    std::vector<std::string> header;
    csv_reader head(text, path, &why);
    if (!read_csv_header(head, header)) return why;
    bool cut = false;
    text.resize(without_cut_row(text, header.size(), cut).size());
    if (cut) cut_note_ = "the last row is cut short (a recording stopped mid-write?) and left out";

    // First the shape, then the times: a number in every row, never going back.
    csv_reader shape(text, path, &why);
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

std::vector<std::string> csv_feed::take_notes() {
    std::vector<std::string> notes;
    if (!cut_note_.empty()) notes.push_back(std::move(cut_note_));
    cut_note_.clear();
    return notes;
}

std::string csv_feed::describe() const { return "csv " + path_ + replay_options(loop_, speed_); }

void csv_feed::start(latest_values &table) {
    if (text_.empty() || thread_.joinable() || finished_.load()) return;
    wait_.arm();
    fields_.assign(header_.size(), std::string());
    thread_ = std::thread([this, &table] { run(table); });
}

void csv_feed::stop() {
    wait_.stop();
    if (thread_.joinable()) thread_.join();
}

void csv_feed::run(latest_values &table) {
    // Each column's channel in the table; -1: none (counted as unknown), -2: the time.
    std::vector<int> channel_of(header_.size());
    for (size_t i = 0; i < header_.size(); ++i) channel_of[i] = i == time_column_ ? -2 : table.index_of(header_[i]);
    const int64_t pass_ns = replay_pass_ns(duration(), rows_, speed_);
    auto keep = [this](size_t column, std::string_view value) {
        if (column < fields_.size()) fields_[column].assign(value);
    };
    for (int64_t pass_began = feed_clock_ns();; pass_began += pass_ns) {
        csv_reader rows(text_, path_, nullptr);
        rows.next(skip); // the header
        while (rows.next(keep)) {
            double seconds = first_time_;
            parse_csv_number(fields_[time_column_], seconds); // checked when opened
            if (!wait_.until(pass_began + replay_ns(seconds - first_time_, speed_))) return;
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
