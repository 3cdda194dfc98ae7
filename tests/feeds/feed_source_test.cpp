// Feeds as the command line names them: every form read into its fields, every mistake refused
// naming the source and listing the forms; and the feeds they open, or why not.
#include "feed_files.h"
#include "pitwall/feed_source.h"
#include "pitwall/udp_feed.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include <string>

namespace pitwall::testing {
namespace {

using kind = feed_source::kind;

TEST(feed_source, forms_are_read_into_their_fields) {
    const struct {
        std::string text;
        kind what;
        std::string address;
        uint16_t port;
        std::string from, file;
        bool loop;
        double speed;
        std::string iface = {};
    } cases[] = {
        {"udp:20777", kind::udp, "0.0.0.0", 20777, "", "", false, 1},
        {"udp:127.0.0.1:1", kind::udp, "127.0.0.1", 1, "", "", false, 1},
        {"udp:0", kind::udp, "0.0.0.0", 0, "", "", false, 1}, // a free port the system picks
        {"udp:[::1]:65535", kind::udp, "::1", 65535, "", "", false, 1},
        {"udp:[fe80::2:3]:9000?from=fe80::7", kind::udp, "fe80::2:3", 9000, "fe80::7", "", false, 1},
        {"udp:10.0.0.1:20777?from=10.0.0.2", kind::udp, "10.0.0.1", 20777, "10.0.0.2", "", false, 1},
        {"udp:20777?from=[::1]", kind::udp, "0.0.0.0", 20777, "::1", "", false, 1},
        {"stdin", kind::stdin_lines, "0.0.0.0", 0, "", "", false, 1},
        {"csv:lap.csv", kind::csv, "0.0.0.0", 0, "", "lap.csv", false, 1},
        {"csv:logs/lap 3:2.csv?loop", kind::csv, "0.0.0.0", 0, "", "logs/lap 3:2.csv", true, 1},
        {"csv:/tmp/l.csv?speed=2.5&loop", kind::csv, "0.0.0.0", 0, "", "/tmp/l.csv", true, 2.5},
        {"csv:l.csv?speed=1e3", kind::csv, "0.0.0.0", 0, "", "l.csv", false, 1000},
        {"candump:day.log", kind::candump, "0.0.0.0", 0, "", "day.log", false, 1},
        {"candump:logs/a:b.log?loop&speed=0.5", kind::candump, "0.0.0.0", 0, "", "logs/a:b.log", true, 0.5},
        {"can:can0", kind::can, "0.0.0.0", 0, "", "", false, 1, "can0"},
        {"can:vcan_1.2-x", kind::can, "0.0.0.0", 0, "", "", false, 1, "vcan_1.2-x"},
        {"can:abcdefghijklmno", kind::can, "0.0.0.0", 0, "", "", false, 1, "abcdefghijklmno"}, // 15, the most
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        std::string why;
        const std::optional<feed_source> source = parse_feed_source(c.text, &why);
        ASSERT_TRUE(source) << why;
        EXPECT_EQ(source->what, c.what);
        EXPECT_EQ(source->address, c.address);
        EXPECT_EQ(source->port, c.port);
        EXPECT_EQ(source->from, c.from);
        EXPECT_EQ(source->file, c.file);
        EXPECT_EQ(source->loop, c.loop);
        EXPECT_EQ(source->speed, c.speed);
        EXPECT_EQ(source->iface, c.iface);
        EXPECT_EQ(source->text, c.text);
    }
}

TEST(feed_source, mistakes_name_the_spec_and_list_the_forms) {
    const std::string nul(1, '\0');
    const struct {
        std::string text, cause;
    } cases[] = {
        {"", "nothing given"},
        {"CAN:can0", "unknown kind \"CAN\""},
        {"can", "no interface"},
        {"can:", "no interface"},
        {"can:abcdefghijklmnop", "interface \"abcdefghijklmnop\" is not 1 to 15 letters, digits, '_', '.' or '-'"},
        {"can:can 0", "interface \"can 0\" is not 1 to 15 letters, digits, '_', '.' or '-'"},
        {"can:../can0", "interface \"../can0\" is not 1 to 15 letters, digits, '_', '.' or '-'"},
        {"can:can0?loop", "unknown option \"loop\" (a can feed takes none)"},
        {"candump:", "no file"},
        {"candump:d.log?lop", "unknown option \"lop\" (a candump feed takes loop and speed=N)"},
        {"candump:d.log?speed=1001", "speed \"1001\" is not a number above 0 and at most 1000"},
        {"candump:d.log?from=1.2.3.4", "unknown option \"from=1.2.3.4\" (a candump feed takes loop and speed=N)"},
        {"UDP:20777", "unknown kind \"UDP\""},
        {"udp", "no port"},
        {"udp:", "port \"\" is not a number from 0 to 65535"},
        {"udp:65536", "port \"65536\" is not a number from 0 to 65535"},
        {"udp:abc", "port \"abc\" is not a number from 0 to 65535"},
        {"udp:-1", "port \"-1\" is not a number from 0 to 65535"},
        {"udp:20777 ", "port \"20777 \" is not a number from 0 to 65535"},
        {"udp:127.0.0.1:", "port \"\" is not a number from 0 to 65535"},
        {"udp:localhost:20777", "\"localhost\" is not a numeric IPv4 address"},
        {"udp:300.1.1.1:20777", "\"300.1.1.1\" is not a numeric IPv4 address"},
        {"udp:::1:20777", "an IPv6 address goes in brackets: udp:[::1]:PORT"},
        {"udp:[::1:20777", "the IPv6 address after '[' has no ']'"},
        {"udp:[::1]20777", "no :PORT after [::1]"},
        {"udp:[1.2.3.4]:20777", "\"1.2.3.4\" is not a numeric IPv6 address"},
        {"udp:20777?from=car", "from \"car\" is not a numeric address"},
        {"udp:20777?from=", "from \"\" is not a numeric address"},
        {"udp:20777?from", "unknown option \"from\" (a udp feed takes from=ADDRESS)"},
        {"udp:20777?loop", "unknown option \"loop\" (a udp feed takes from=ADDRESS)"},
        {"udp:20777?", "an empty option"},
        {"udp:20777?from=1.2.3.4&from=1.2.3.5", "option \"from\" given twice"},
        {"stdin:0", "nothing follows stdin"},
        {"stdin?loop", "unknown option \"loop\" (stdin takes none)"},
        {"csv:", "no file"},
        {"csv:?loop", "no file"},
        {"csv:l.csv?lop", "unknown option \"lop\" (a csv feed takes loop and speed=N)"},
        {"csv:l.csv?loop=1", "unknown option \"loop=1\" (a csv feed takes loop and speed=N)"},
        {"csv:l.csv?loop&", "an empty option"},
        {"csv:l.csv?speed=0", "speed \"0\" is not a number above 0 and at most 1000"},
        {"csv:l.csv?speed=-2", "speed \"-2\" is not a number above 0 and at most 1000"},
        {"csv:l.csv?speed=nan", "speed \"nan\" is not a number above 0 and at most 1000"},
        {"csv:l.csv?speed=inf", "speed \"inf\" is not a number above 0 and at most 1000"},
        {"csv:l.csv?speed=1001", "speed \"1001\" is not a number above 0 and at most 1000"},
        {"csv:l.csv?speed=2x", "speed \"2x\" is not a number above 0 and at most 1000"},
        {"csv:l.csv?speed=", "speed \"\" is not a number above 0 and at most 1000"},
        {"csv:l.csv?speed=2&speed=3", "option \"speed\" given twice"},
        {"udp:2" + nul + "0", "port \"2" + nul + "0\" is not a number from 0 to 65535"},
        {"udp:1.2.3.4" + nul + ":9", "is not a numeric IPv4 address"},
    };
    const std::string forms = "; a feed is udp:PORT, udp:ADDRESS:PORT or udp:[IPV6]:PORT (each with ?from=ADDRESS "
                              "to take one sender only), stdin, csv:FILE or candump:FILE (with ?loop, ?speed=N, or "
                              "?loop&speed=N), or can:IFACE";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        std::string why;
        EXPECT_FALSE(parse_feed_source(c.text, &why));
        EXPECT_EQ(why.rfind("feed \"" + c.text + "\": ", 0), 0u) << why;
        EXPECT_NE(why.find(c.cause + forms), std::string::npos) << why;
    }
    EXPECT_FALSE(parse_feed_source("udp:65536", nullptr)); // no reason asked for
}

class open_feed_test : public feed_files {};

TEST_F(open_feed_test, specs_open_their_feeds_or_say_why_not) {
    std::string why;
    // Port 0: one the system picks, which the description names.
    const std::unique_ptr<live_feed> listening =
        open_feed(*parse_feed_source("udp:127.0.0.1:0?from=127.0.0.2", nullptr), &why);
    ASSERT_TRUE(listening) << why;
    const std::string description = listening->describe();
    EXPECT_EQ(description.rfind("udp 127.0.0.1:", 0), 0u) << description;
    EXPECT_NE(description.find(" from 127.0.0.2"), std::string::npos) << description;
    const auto *bound = dynamic_cast<const udp_feed *>(listening.get());
    ASSERT_NE(bound, nullptr);
    const std::string taken = "udp:127.0.0.1:" + std::to_string(bound->port());
    EXPECT_FALSE(open_feed(*parse_feed_source(taken, nullptr), &why));
    EXPECT_EQ(why.rfind("feed \"" + taken + "\": cannot listen on 127.0.0.1 port", 0), 0u) << why;

    if (::fcntl(0, F_GETFL) >= 0) { // the test's own standard input, when it has one
        const std::unique_ptr<live_feed> lines = open_feed(*parse_feed_source("stdin", nullptr), &why);
        ASSERT_TRUE(lines) << why;
        EXPECT_EQ(lines->describe(), "stdin");
    }

    const std::string log = write("lap.csv", "t,rpm\n0,1\n");
    const std::unique_ptr<live_feed> replay = open_feed(*parse_feed_source("csv:" + log + "?loop", nullptr), &why);
    ASSERT_TRUE(replay) << why;
    EXPECT_EQ(replay->describe(), "csv " + log + " looped");
    const std::string missing = "csv:" + dir + "/none.csv";
    EXPECT_FALSE(open_feed(*parse_feed_source(missing, nullptr), &why));
    EXPECT_EQ(why, "feed \"" + missing + "\": " + dir + "/none.csv: No such file or directory");
}

} // namespace
} // namespace pitwall::testing
