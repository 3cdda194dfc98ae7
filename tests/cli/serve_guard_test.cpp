// The workbench's gatekeeper on its own: which requests reach a handler, for servers on loopback,
// on every address and on a named host. Over HTTP, tests/serve/ tries the same against the tool.
#include "serve_guard.h"

#include <gtest/gtest.h>

namespace pitwall::cli {
namespace {

TEST(serve_guard, only_the_workbenchs_own_page_gets_through) {
    const serve_guard loopback("127.0.0.1", 8080, 1 << 20);
    const serve_guard everywhere("0.0.0.0", 8080, 1 << 20);
    const serve_guard named("dash.local", 8080, 1 << 20);
    const std::string token = loopback.token();
    ASSERT_EQ(token.size(), 32u);
    EXPECT_NE(token, everywhere.token()); // fresh for every run

    // A change as the page sends it; each case alters one thing.
    auto change = [&](const serve_guard &g) {
        return request_view{"POST", "127.0.0.1:8080", "http://127.0.0.1:8080", "application/json", g.token(), 20, false};
    };
    struct {
        const char *what;
        const serve_guard &guard;
        request_view request;
        int status;
    } cases[] = {
        {"the page's own change", loopback, change(loopback), 0},
        {"its GET, with no Origin", loopback, {"GET", "localhost:8080", "", "", "", {}, false}, 0},
        {"a charset after the media type", loopback, [&] { auto r = change(loopback); r.content_type = "Application/JSON; charset=utf-8"; return r; }(), 0},
        {"through localhost", loopback, [&] { auto r = change(loopback); r.host = "localhost:8080"; r.origin = "http://LOCALHOST:8080"; return r; }(), 0},
        {"through [::1]", loopback, [&] { auto r = change(loopback); r.host = "[::1]:8080"; r.origin = ""; return r; }(), 0},
        {"a rebound name", loopback, {"GET", "evil.example:8080", "", "", "", {}, false}, 403},
        {"another port", loopback, {"GET", "127.0.0.1:9090", "", "", "", {}, false}, 403},
        {"no Host", loopback, {"GET", "", "", "", "", {}, false}, 403},
        {"another site's page", loopback, [&] { auto r = change(loopback); r.origin = "http://evil.example"; return r; }(), 403},
        {"another port's page", loopback, [&] { auto r = change(loopback); r.origin = "http://127.0.0.1:9090"; return r; }(), 403},
        {"a sandboxed page", loopback, [&] { auto r = change(loopback); r.origin = "null"; return r; }(), 403},
        {"another site's GET", loopback, {"GET", "127.0.0.1:8080", "http://evil.example", "", "", {}, false}, 403},
        {"no token", loopback, [&] { auto r = change(loopback); r.token = ""; return r; }(), 403},
        {"another run's token", loopback, [&] { auto r = change(loopback); r.token = everywhere.token(); return r; }(), 403},
        {"a form's text/plain", loopback, [&] { auto r = change(loopback); r.content_type = "text/plain"; return r; }(), 415},
        {"a form's urlencoded body", loopback, [&] { auto r = change(loopback); r.content_type = "application/x-www-form-urlencoded"; return r; }(), 415},
        {"json as a suffix", loopback, [&] { auto r = change(loopback); r.content_type = "text/plain; application/json"; return r; }(), 415},
        {"a body past the limit", loopback, [&] { auto r = change(loopback); r.content_length = (1 << 20) + 1; return r; }(), 413},
        {"a body at the limit", loopback, [&] { auto r = change(loopback); r.content_length = 1 << 20; return r; }(), 0},
        {"a body of unknown length", loopback, [&] { auto r = change(loopback); r.content_length.reset(); r.chunked = true; return r; }(), 411},
        {"another method", loopback, [&] { auto r = change(loopback); r.method = "PUT"; return r; }(), 405},
        {"every address: a LAN address", everywhere, [&] { auto r = change(everywhere); r.host = "192.168.1.20:8080"; r.origin = "http://192.168.1.20:8080"; return r; }(), 0},
        {"every address: an IPv6 one", everywhere, {"GET", "[fe80::1]:8080", "", "", "", {}, false}, 0},
        {"every address: still no names", everywhere, {"GET", "evil.example:8080", "", "", "", {}, false}, 403},
        {"every address: another port", everywhere, {"GET", "192.168.1.20:80", "", "", "", {}, false}, 403},
        {"a named host: its name", named, [&] { auto r = change(named); r.host = "dash.local:8080"; r.origin = "http://dash.local:8080"; return r; }(), 0},
        {"a named host: not loopback", named, change(named), 403},
    };
    for (const auto &c : cases) {
        const refusal r = c.guard.check(c.request);
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.message;
        EXPECT_EQ(r.message.empty(), c.status == 0) << c.what;
    }
    EXPECT_FALSE(loopback.reachable_by_others());
    EXPECT_TRUE(everywhere.reachable_by_others());
    EXPECT_TRUE(named.reachable_by_others());
}

} // namespace
} // namespace pitwall::cli
