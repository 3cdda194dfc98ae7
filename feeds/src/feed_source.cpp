// Feeds as the command line names them.
#include "pitwall/feed_source.h"

#include "pitwall/can_feed.h"
#include "pitwall/candump_feed.h"
#include "pitwall/csv_feed.h"
#include "pitwall/line_feed.h"
#include "pitwall/udp_feed.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace pitwall {
namespace {

constexpr const char *forms = "a feed is udp:PORT, udp:ADDRESS:PORT or udp:[IPV6]:PORT (each with ?from=ADDRESS to "
                              "take one sender only), stdin, csv:FILE or candump:FILE (with ?loop, ?speed=N, or "
                              "?loop&speed=N), or can:IFACE";

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool is_address(std::string_view text, int family) {
    const std::string address(text); // inet_pton reads up to a NUL
    unsigned char bytes[16];
    return address.find('\0') == std::string::npos && ::inet_pton(family, address.c_str(), bytes) == 1;
}

// 0 lets the system pick a free port, which the feed then describes (tests, a second bench feed).
bool parse_port(std::string_view text, uint16_t &port) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 65535)
        return false;
    port = uint16_t(value);
    return true;
}

// "PORT", "ADDRESS:PORT" or "[IPV6]:PORT" into the source; empty, or what is wrong.
std::string read_udp(std::string_view where, feed_source &source) {
    std::string_view port = where;
    if (!where.empty() && where.front() == '[') {
        const size_t close = where.find(']');
        if (close == std::string_view::npos) return "the IPv6 address after '[' has no ']'";
        const std::string_view address = where.substr(1, close - 1);
        if (!is_address(address, AF_INET6)) return quoted(address) + " is not a numeric IPv6 address";
        if (where.substr(close + 1, 1) != ":") return "no :PORT after [" + std::string(address) + "]";
        source.address = address;
        port = where.substr(close + 2);
    } else if (const size_t colon = where.rfind(':'); colon != std::string_view::npos) {
        const std::string_view address = where.substr(0, colon);
        if (address.find(':') != std::string_view::npos) return "an IPv6 address goes in brackets: udp:[::1]:PORT";
        if (!is_address(address, AF_INET)) return quoted(address) + " is not a numeric IPv4 address";
        source.address = address;
        port = where.substr(colon + 1);
    }
    if (!parse_port(port, source.port)) return "port " + quoted(port) + " is not a number from 0 to 65535";
    return {};
}

// A network interface's name as the kernel takes it: 1 to 15 bytes (IFNAMSIZ less its NUL), and
// here only letters, digits, '_', '.' and '-'.
bool is_interface(std::string_view name) {
    return !name.empty() && name.size() <= 15 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
               c == '-';
    });
}

bool is_replay(feed_source::kind kind) { return kind == feed_source::kind::csv || kind == feed_source::kind::candump; }

// One option, "NAME" or "NAME=VALUE", into the source; empty, or what is wrong.
std::string read_option(std::string_view option, feed_source &source) {
    const size_t equals = option.find('=');
    const std::string_view name = option.substr(0, equals);
    const std::string_view value = equals == std::string_view::npos ? std::string_view() : option.substr(equals + 1);
    const bool valued = equals != std::string_view::npos;
    if (source.what == feed_source::kind::udp && name == "from" && valued) {
        std::string_view address = value;
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
        if (!is_address(address, AF_INET) && !is_address(address, AF_INET6))
            return "from " + quoted(value) + " is not a numeric address";
        source.from = address;
        return {};
    }
    if (is_replay(source.what) && name == "loop" && !valued) {
        source.loop = true;
        return {};
    }
    if (is_replay(source.what) && name == "speed" && valued) {
        double speed = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), speed);
        if (value.empty() || error != std::errc() || end != value.data() + value.size() || !std::isfinite(speed) ||
            speed <= 0 || speed > csv_feed::max_speed)
            return "speed " + quoted(value) + " is not a number above 0 and at most " +
                   std::to_string(int(csv_feed::max_speed));
        source.speed = speed;
        return {};
    }
    const char *takes = source.what == feed_source::kind::udp       ? "a udp feed takes from=ADDRESS"
                        : source.what == feed_source::kind::csv     ? "a csv feed takes loop and speed=N"
                        : source.what == feed_source::kind::candump ? "a candump feed takes loop and speed=N"
                        : source.what == feed_source::kind::can     ? "a can feed takes none"
                                                                : "stdin takes none";
    return "unknown option " + quoted(option) + " (" + takes + ")";
}

std::string no_database(const char *kind) {
    return std::string("a ") + kind + ": feed needs a signal database: --feed-dbc FILE or \"dbc\" in the scene's feeds";
}

} // namespace

std::optional<feed_source> parse_feed_source(std::string_view text, std::string *why) {
    auto fail = [&](const std::string &what) -> std::optional<feed_source> {
        if (why != nullptr) *why = "feed " + quoted(text) + ": " + what + "; " + forms;
        return std::nullopt;
    };
    if (text.empty()) return fail("nothing given");
    feed_source source;
    source.text = text;
    const size_t question = text.find('?');
    const std::string_view body = text.substr(0, question);
    const size_t colon = body.find(':');
    const std::string_view kind = body.substr(0, colon);
    const std::string_view rest = colon == std::string_view::npos ? std::string_view() : body.substr(colon + 1);
    if (kind == "udp") {
        if (colon == std::string_view::npos) return fail("no port");
        source.what = feed_source::kind::udp;
        if (std::string e = read_udp(rest, source); !e.empty()) return fail(e);
    } else if (kind == "stdin") {
        if (colon != std::string_view::npos) return fail("nothing follows stdin");
        source.what = feed_source::kind::stdin_lines;
    } else if (kind == "csv") {
        if (rest.empty()) return fail("no file");
        source.what = feed_source::kind::csv;
        source.file = rest;
    } else if (kind == "candump") {
        if (rest.empty()) return fail("no file");
        source.what = feed_source::kind::candump;
        source.file = rest;
    } else if (kind == "can") {
        if (rest.empty()) return fail("no interface");
        if (!is_interface(rest))
            return fail("interface " + quoted(rest) + " is not 1 to 15 letters, digits, '_', '.' or '-'");
        source.what = feed_source::kind::can;
        source.iface = rest;
    } else {
        return fail("unknown kind " + quoted(kind));
    }
    if (question == std::string_view::npos) return source;
    std::vector<std::string_view> seen;
    for (std::string_view options = text.substr(question + 1);;) {
        const size_t amp = options.find('&');
        const std::string_view option = options.substr(0, amp);
        if (option.empty()) return fail("an empty option");
        const std::string_view name = option.substr(0, option.find('='));
        for (std::string_view before : seen)
            if (before == name) return fail("option " + quoted(name) + " given twice");
        seen.push_back(name);
        if (std::string e = read_option(option, source); !e.empty()) return fail(e);
        if (amp == std::string_view::npos) break;
        options = options.substr(amp + 1);
    }
    return source;
}

std::unique_ptr<live_feed> open_feed(const feed_source &source, std::string *why) {
    return open_feed(source, feed_context{}, why);
}

std::unique_ptr<live_feed> open_feed(const feed_source &source, const feed_context &context, std::string *why) {
    auto fail = [&](const std::string &what) -> std::unique_ptr<live_feed> {
        if (why != nullptr) *why = "feed " + quoted(source.text) + ": " + what;
        return nullptr;
    };
    switch (source.what) {
    case feed_source::kind::udp: {
        auto feed = std::make_unique<udp_feed>();
        if (std::string e = feed->open(source.address, source.port); !e.empty()) return fail(e);
        if (!source.from.empty())
            if (std::string e = feed->allow_only(source.from); !e.empty()) return fail(e);
        return feed;
    }
    case feed_source::kind::stdin_lines: {
        auto feed = std::make_unique<stdin_feed>(0);
        if (std::string e = feed->check(); !e.empty()) return fail(e);
        return feed;
    }
    case feed_source::kind::csv: {
        auto feed = std::make_unique<csv_feed>();
        if (std::string e = feed->open(source.file, source.loop, source.speed); !e.empty()) return fail(e);
        return feed;
    }
    case feed_source::kind::can: {
        if (context.dbc == nullptr) return fail(no_database("can"));
        auto feed = std::make_unique<can_feed>();
        if (std::string e = feed->want(*context.dbc, context.signals, context.raw); !e.empty()) return fail(e);
        if (std::string e = feed->open(source.iface); !e.empty()) return fail(e);
        return feed;
    }
    case feed_source::kind::candump: {
        if (context.dbc == nullptr) return fail(no_database("candump"));
        auto feed = std::make_unique<candump_feed>();
        if (std::string e = feed->want(*context.dbc, context.signals, context.raw); !e.empty()) return fail(e);
        if (std::string e = feed->open(source.file, source.loop, source.speed); !e.empty()) return fail(e);
        return feed;
    }
    }
    return fail("unknown kind");
}

} // namespace pitwall
