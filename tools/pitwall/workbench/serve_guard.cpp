// The workbench's gatekeeper: see serve_guard.h.
#include "serve_guard.h"

#include "pitwall/file_write.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

namespace pitwall::cli {
namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool is_ipv4(const std::string &text) {
    in_addr a{};
    return inet_pton(AF_INET, text.c_str(), &a) == 1;
}

bool is_ipv6(const std::string &text) {
    in6_addr a{};
    return inet_pton(AF_INET6, text.c_str(), &a) == 1;
}

// The host as a URL writes it: an IPv6 address in brackets.
std::string url_host(const std::string &host) { return is_ipv6(host) ? "[" + host + "]" : host; }

bool is_loopback(const std::string &host) {
    if (host == "localhost" || host == "::1") return true;
    in_addr a{};
    return inet_pton(AF_INET, host.c_str(), &a) == 1 && (ntohl(a.s_addr) >> 24) == 127;
}

// "host:port" split at the last colon outside brackets; false when there is no port.
bool split_host_port(const std::string &text, std::string &host, std::string &port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || text.find(']', colon) != std::string::npos) return false;
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    return true;
}

// The media type of a Content-Type value, without parameters such as charset.
std::string media_type(const std::string &content_type) {
    std::string type = content_type.substr(0, content_type.find(';'));
    const size_t first = type.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return lower(type.substr(first, type.find_last_not_of(" \t") - first + 1));
}

// Compares every byte, so that the time taken says nothing about how much of a guess was right.
bool same_token(const std::string &a, const std::string &b) {
    if (a.size() != b.size() || a.empty()) return false;
    unsigned char differ = 0;
    for (size_t i = 0; i < a.size(); ++i) differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

} // namespace

serve_guard::serve_guard(const std::string &host, int port, size_t max_body)
    : port_(std::to_string(port)), max_body_(max_body), token_(random_hex(16)) {
    const std::string name = lower(host);
    loopback_ = is_loopback(name);
    any_address_ = name == "0.0.0.0" || name == "::" || name.empty();
    hosts_.push_back(url_host(name) + ":" + port_);
    // The names a browser on this machine reaches a loopback or every-address server by.
    if (loopback_ || any_address_)
        for (const char *local : {"localhost", "127.0.0.1", "[::1]"}) hosts_.push_back(std::string(local) + ":" + port_);
}

bool serve_guard::host_allowed(const std::string &host_header) const {
    const std::string host = lower(host_header);
    if (std::find(hosts_.begin(), hosts_.end(), host) != hosts_.end()) return true;
    // Listening on every address, any address literal of this port will do: a rebinding attack
    // needs a name of the attacker's, never a bare address.
    std::string name, port;
    if (!any_address_ || !split_host_port(host, name, port) || port != port_) return false;
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') return is_ipv6(name.substr(1, name.size() - 2));
    return is_ipv4(name);
}

refusal serve_guard::check(const request_view &r) const {
    if (!host_allowed(r.host))
        return {403, "this workbench answers only to its own address (Host \"" + r.host + "\" is not it)"};
    if (!r.origin.empty() && !host_allowed(lower(r.origin).starts_with("http://") ? r.origin.substr(7) : ""))
        return {403, "requests from other web pages are refused (Origin \"" + r.origin + "\")"};
    if (r.method == "GET" || r.method == "HEAD") return {};
    if (r.method != "POST") return {405, "only GET and POST are served"};
    if (!same_token(r.token, token_))
        return {403, std::string("a change needs the token of the workbench's own page in ") + token_header};
    if (media_type(r.content_type) != "application/json") return {415, "a change is sent as application/json"};
    if (r.chunked) return {411, "a change must give its Content-Length"};
    if (r.content_length && *r.content_length > max_body_)
        return {413, "the request is larger than " + std::to_string(max_body_) + " bytes (--max-body)"};
    return {};
}

} // namespace pitwall::cli
