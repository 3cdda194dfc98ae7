// serve_guard.h - who may talk to `pitwall serve`, decided before any handler runs.
//
// The workbench writes files, so it must only ever act for its own page. A web page from another
// site can make the browser send requests to 127.0.0.1 (a form, a no-cors fetch), and a name that
// is rebound to 127.0.0.1 makes the browser treat the workbench as that site. So:
//   - the Host header must name this server (a rebound name does not);
//   - an Origin, where the browser sends one, must be this server too;
//   - every request that changes anything must say Content-Type: application/json (which a page
//     cannot send across sites without a preflight, and the server never answers one) and carry
//     the run's token, which only a page loaded from this server can read;
//   - a body must say its length, and that length must be within the limit, before it is read.
#ifndef PITWALL_TOOL_SERVE_GUARD_H
#define PITWALL_TOOL_SERVE_GUARD_H

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pitwall::cli {

// The header a changing request carries the token in.
inline constexpr const char *token_header = "X-Pitwall-Token";

// What the guard sees of a request: its method and headers (absent ones empty, no length: nullopt).
struct request_view {
    std::string method;
    std::string host;
    std::string origin;
    std::string content_type;
    std::string token;
    std::optional<size_t> content_length;
    bool chunked = false;
};

// A request turned away: the HTTP status and the words for the page. Status 0: let it through.
struct refusal {
    int status = 0;
    std::string message;
};

class serve_guard {
public:
    // For a server listening on `host` (as given to --host) and `port`, taking bodies of at most
    // `max_body` bytes. The token is made here, fresh for every run.
    serve_guard(const std::string &host, int port, size_t max_body);

    refusal check(const request_view &request) const;

    const std::string &token() const { return token_; }
    // True when --host is neither loopback nor a name of this machine alone.
    bool reachable_by_others() const { return !loopback_; }

private:
    bool host_allowed(const std::string &host) const;

    std::vector<std::string> hosts_; // "name:port", lower case
    bool loopback_ = false;
    bool any_address_ = false; // 0.0.0.0 or ::: every address literal of this machine names it
    std::string port_;
    size_t max_body_;
    std::string token_;
};

} // namespace pitwall::cli

#endif // PITWALL_TOOL_SERVE_GUARD_H
