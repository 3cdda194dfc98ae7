// Live values recorded as a telemetry log: values that arrived together share a row, other
// channels' fields empty, time never going back; names quoted as CSV needs; only a new file, never
// an existing one or a link; and what is recorded reads back through a scene's telemetry as the
// same values at the same times.
#include "feed_files.h"
#include "pitwall/file_read.h"
#include "pitwall/line_feed.h"
#include "pitwall/scene.h"
#include "pitwall/telemetry_recorder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pitwall::testing {
namespace {

constexpr int64_t ms = 1000000;

// An hour from now: the writer never takes a row for finished while the test still adds to it.
int64_t later() { return feed_clock_ns() + 3600'000 * ms; }

class recorder_test : public feed_files {};

TEST_F(recorder_test, values_arriving_together_share_a_row) {
    latest_values table({"rpm", "water", "gear"});
    telemetry_recorder recorder;
    const std::string path = dir + "/rec.csv";
    ASSERT_EQ(recorder.open(path, table), "");
    EXPECT_EQ(recorder.time_column(), "t");
    EXPECT_EQ(recorder.channels(), 3u);
    table.set_tap(&recorder);
    const int64_t t0 = later();
    table.store(0, 8720, t0); // one datagram: one row
    table.store(1, 92.4, t0);
    table.store(2, 3, t0 + 16700000);
    table.store(0, 8750, t0 + 33400000); // the same channel twice in one datagram: a row each
    table.store(0, 8760, t0 + 33400000);
    table.store(1, 0.1, t0 + 20 * ms);  // stamped before the row above by another feed: no going back
    table.store(1, 1.0 / 3, t0 + 2500 * ms + 999);
    table.store(0, 1e300, t0 + 3000 * ms);
    table.store(2, -2.5e10, t0 + 3000 * ms);
    table.store(2, 123456789012345678.0, t0 + 3001 * ms);
    EXPECT_EQ(recorder.close(), "");
    EXPECT_EQ(recorder.rows(), 8u);
    EXPECT_EQ(read(path), "t,rpm,water,gear\n"
                          "0.000000,8720,92.4,\n"
                          "0.016700,,,3\n"
                          "0.033400,8750,,\n"
                          "0.033400,8760,,\n"
                          "0.033400,,0.1,\n"
                          "2.500000,,0.3333333333333333,\n"
                          "3.000000,1e+300,,-2.5e+10\n"
                          "3.001000,,,123456789012345680\n");
    // After close, values are dropped: the feeds may outlive the recording by a moment.
    table.store(0, 1, t0 + 4000 * ms);
    EXPECT_EQ(recorder.dropped(), 1u);
    EXPECT_EQ(recorder.close(), "");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

TEST_F(recorder_test, names_are_quoted_as_csv_needs) {
    latest_values table({"rpm", "oil, hot", " lead", "say \"hi\"", "t", ""});
    telemetry_recorder recorder;
    ASSERT_EQ(recorder.open(dir + "/names.csv", table), "");
    EXPECT_EQ(recorder.time_column(), "time"); // a channel is called t
    EXPECT_EQ(recorder.close(), "");
    EXPECT_EQ(read(dir + "/names.csv"), "time,rpm,\"oil, hot\",\" lead\",\"say \"\"hi\"\"\",t,\n");

    const struct {
        const char *what;
        std::string name;
    } unwritable[] = {
        {"a line end", "oil\ntemp"}, {"a carriage return", "oil\r"}, {"too long", std::string(4097, 'n')}};
    for (const auto &c : unwritable) {
        SCOPED_TRACE(c.what);
        latest_values odd({"rpm", c.name});
        EXPECT_NE(telemetry_recorder().open(dir + "/odd.csv", odd).find("cannot be a column: it holds a line end or is "
                                                                         "longer than 4096 bytes"),
                  std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir + "/odd.csv"));
    }
}

TEST_F(recorder_test, only_a_new_file_is_written) {
    const std::string precious = write("lap.csv", "t,rpm\n0,1\n");
    std::filesystem::create_symlink(precious, dir + "/link.csv");
    std::filesystem::create_symlink(dir + "/nowhere.csv", dir + "/dangling.csv");
    const struct {
        std::string name, message; // after the path
    } cases[] = {
        {"lap.csv", " exists already: a recording goes to a new file only"},
        {"link.csv", " is a symbolic link: a recording goes to a new file only"},
        {"dangling.csv", " is a symbolic link: a recording goes to a new file only"},
        {".", " exists already: a recording goes to a new file only"},
        {"no/such/folder.csv", ": No such file or directory"},
    };
    latest_values table({"rpm"});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        telemetry_recorder recorder;
        EXPECT_EQ(recorder.open(dir + "/" + c.name, table), dir + "/" + c.name + c.message);
        EXPECT_EQ(recorder.close(), "");
    }
    EXPECT_EQ(read(precious), "t,rpm\n0,1\n");
    EXPECT_FALSE(std::filesystem::exists(dir + "/nowhere.csv"));
    telemetry_recorder twice;
    ASSERT_EQ(twice.open(dir + "/new.csv", table), "");
    EXPECT_EQ(twice.open(dir + "/other.csv", table), "the recording is open already");
}

// Lines of a pipe recorded as the stdin feed stores them: each line's values in a row of their own.
TEST_F(recorder_test, a_feed_is_recorded_line_by_line) {
    latest_values table({"rpm", "water"});
    telemetry_recorder recorder;
    ASSERT_EQ(recorder.open(dir + "/lines.csv", table), "");
    table.set_tap(&recorder);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    stdin_feed feed(ends[0]);
    feed.start(table);
    const std::string lines = "rpm=8720,water=92.4\nrpm=8750\nboost=1\n{\"water\": 93, \"rpm\": 8800}\n";
    ASSERT_EQ(::write(ends[1], lines.data(), lines.size()), ssize_t(lines.size()));
    ::close(ends[1]);
    ASSERT_TRUE(wait_until([&] { return feed.finished(); }));
    feed.stop();
    ::close(ends[0]);
    ASSERT_EQ(recorder.close(), "");
    const std::string text = read(dir + "/lines.csv");
    // The times are the feed's own; the rest is known.
    std::istringstream rows(text);
    std::string row, fields;
    std::getline(rows, row);
    EXPECT_EQ(row, "t,rpm,water");
    for (std::string expected : {",8720,92.4", ",8750,", ",8800,93"}) {
        ASSERT_TRUE(std::getline(rows, row)) << text;
        EXPECT_EQ(row.substr(row.find(',')), expected) << text;
        fields += row.substr(0, row.find(',')) + " ";
    }
    EXPECT_FALSE(std::getline(rows, row)) << text;
    EXPECT_EQ(fields.substr(0, 9), "0.000000 ");
    EXPECT_EQ(recorder.rows(), 3u);
}

// Recorded values read back through a scene's telemetry: the same numbers at the same times, and a
// channel that never came has no track while the others play.
TEST_F(recorder_test, a_recording_plays_back_as_the_same_values) {
    latest_values table({"rpm", "water", "gear", "boost"});
    const struct {
        int64_t at_us;
        size_t channel;
        double value;
    } sent[] = {{0, 0, 8720},       {0, 1, 92.4},      {10000, 2, 3},     {20000, 0, 0.1},
                {20000, 1, 1.0 / 3}, {30001, 2, 1e-300}, {1500000, 0, -2.5e10}, {1500000, 2, 123456789012345678.0}};
    telemetry_recorder recorder;
    ASSERT_EQ(recorder.open(dir + "/lap.csv", table), "");
    table.set_tap(&recorder);
    const int64_t t0 = later();
    for (const auto &s : sent) table.store(s.channel, s.value, t0 + s.at_us * 1000);
    ASSERT_EQ(recorder.close(), "");

    const std::string json = R"({"controls": [{"widget": "Basic Box", "name": "rpm"},
        {"widget": "Basic Box", "name": "water"}, {"widget": "Basic Box", "name": "gear"},
        {"widget": "Basic Box", "name": "boost"}],
        "telemetry": {"file": "lap.csv", "channels": {"rpm": {"control": "rpm", "attribute": "value"},
        "water": {"control": "water", "attribute": "value"}, "gear": {"control": "gear", "attribute": "value"},
        "boost": {"control": "boost", "attribute": "value"}}}})";
    scene s;
    error err;
    ASSERT_TRUE(parse_scene(json, dir, s, &err)) << err;
    ASSERT_EQ(s.tracks.size(), 3u); // boost never came
    for (const track &t : s.tracks) {
        SCOPED_TRACE(t.control);
        const size_t channel = size_t(table.index_of(t.control));
        std::vector<std::pair<double, double>> expected, got;
        for (const auto &v : sent)
            if (v.channel == channel) expected.emplace_back(double(v.at_us) / 1e6, v.value);
        for (const track_key &k : t.keys)
            got.emplace_back(k.time, std::holds_alternative<int64_t>(k.value) ? double(std::get<int64_t>(k.value))
                                                                              : std::get<double>(k.value));
        EXPECT_EQ(got, expected);
    }

    // The same recording cut off by a power loss in the middle of its last row still plays, up to
    // the row before.
    std::string text;
    ASSERT_TRUE(read_regular_file(dir + "/lap.csv", 1 << 20, text, nullptr));
    text.resize(text.find_last_of(',') - 1);
    std::ofstream(dir + "/lap.csv", std::ios::trunc) << text;
    scene cut;
    ASSERT_TRUE(parse_scene(json, dir, cut, &err)) << err;
    ASSERT_EQ(cut.tracks.size(), 3u);
    for (const track &t : cut.tracks) EXPECT_LT(t.keys.back().time, 1.5) << t.control;
}

} // namespace
} // namespace pitwall::testing
