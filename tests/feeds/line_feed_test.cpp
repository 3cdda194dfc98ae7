// Live values from lines of standard input, here a pipe: each line one datagram, a line too long
// refused and skipped to its end, junk counted, blank lines skipped, and the end of the input
// taking the last line and finishing the feed.
#include "feed_files.h"
#include "pitwall/line_feed.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace pitwall::testing {
namespace {

struct pipe_ends {
    int read = -1, write = -1;
    pipe_ends() {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        read = fds[0];
        write = fds[1];
    }
    ~pipe_ends() {
        if (read >= 0) ::close(read);
        close_write();
    }
    void close_write() {
        if (write >= 0) ::close(write);
        write = -1;
    }
    // All of `bytes`, however the feed takes them: a pipe holds less than the longest line.
    void send(const std::string &bytes) {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(write, bytes.data() + done, bytes.size() - done);
            ASSERT_GT(n, 0);
            done += size_t(n);
        }
    }
};

TEST(stdin_feed, lines_through_a_pipe_until_its_end) {
    // Each row is followed by a good line "rpm=N": once the feed has taken it, the row is in.
    const std::string longest = "rpm=1," + std::string(max_datagram_bytes - 6, ' ');
    const struct {
        const char *what;
        std::string bytes;
        feed_totals added; // datagrams, stored, unknown, bad, refused, foreign
        double water;      // after the row; the row's rpm is always followed by the sentinel's
    } rows[] = {
        {"a JSON object", R"({"rpm": 8720, "water": 92.4})" "\n", {1, 2, 0, 0, 0, 0}, 92.4},
        {"pairs ending in CRLF", "water=90,oil=3\r\n", {1, 1, 1, 0, 0, 0}, 90},
        {"blank lines, uncounted", "\n \r\n\t\n", {0, 0, 0, 0, 0, 0}, 90},
        {"the longest line, in several reads", longest + "\n", {1, 1, 0, 0, 0, 0}, 90},
        {"a line one byte too long, skipped to its end", "water=1," + std::string(max_datagram_bytes - 7, ' ') + "\n",
         {1, 0, 0, 0, 1, 0}, 90},
        {"a line of a megabyte", "water=2" + std::string(1 << 20, 'x') + "\n", {1, 0, 0, 0, 1, 0}, 90},
        {"binary junk", std::string("\0\xff\x01water=\x80\n\x7f\x1b[2J\n", 17), {2, 0, 1, 1, 0, 0}, 90},
        {"JSON cut short", "{\"water\": 8\n", {1, 0, 0, 0, 1, 0}, 90},
        {"a value that is no number", "water=hot\n", {1, 0, 0, 1, 0, 0}, 90},
    };
    latest_values table({"rpm", "water"});
    pipe_ends in;
    stdin_feed feed(in.read);
    EXPECT_EQ(feed.check(), "");
    EXPECT_EQ(feed.describe(), "fd " + std::to_string(in.read));
    feed.start(table);
    int sentinel = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const feed_totals before = feed.counted();
        in.send(row.bytes + "rpm=" + std::to_string(++sentinel) + "\n");
        ASSERT_TRUE(wait_until([&] { return feed.counted().datagrams >= before.datagrams + row.added.datagrams + 1; }));
        feed_totals added = row.added;
        ++added.datagrams;
        ++added.stored;
        expect_added(before, feed.counted(), added);
        EXPECT_EQ(table.read(0).value, sentinel);
        EXPECT_EQ(table.read(1).value, row.water);
        EXPECT_FALSE(feed.finished());
    }
    // The last line needs no line end: the end of the input ends it, and the feed is finished.
    in.send("water=77");
    in.close_write();
    ASSERT_TRUE(wait_until([&] { return feed.finished(); }));
    EXPECT_EQ(table.read(1).value, 77);
    feed.stop();
}

TEST(stdin_feed, stops_while_waiting_and_refuses_a_descriptor_it_cannot_read) {
    latest_values table({"rpm"});
    pipe_ends in;
    stdin_feed quiet(in.read);
    quiet.start(table);
    quiet.stop(); // nothing came: it returns all the same
    EXPECT_FALSE(quiet.finished());
    EXPECT_EQ(quiet.counted().datagrams, 0u);

    EXPECT_EQ(stdin_feed(in.write).check(), "fd " + std::to_string(in.write) + " is not open for reading");
    const int closed = ::dup(in.read);
    ::close(closed);
    EXPECT_EQ(stdin_feed(closed).check(), "fd " + std::to_string(closed) + " is not open");
    EXPECT_EQ(stdin_feed().describe(), "stdin");
}

} // namespace
} // namespace pitwall::testing
