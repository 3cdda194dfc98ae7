// One datagram of live values, read into the table.
#include "pitwall/feed_datagram.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>

namespace pitwall {
namespace {

std::string_view trimmed(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

void take(std::string_view name, double value, latest_values &into, int64_t arrived_ns, datagram_counts &counts) {
    const int index = into.index_of(name);
    if (index < 0) {
        ++counts.unknown;
    } else if (!std::isfinite(value)) {
        ++counts.bad;
    } else {
        into.store(size_t(index), value, arrived_ns);
        ++counts.stored;
    }
}

void read_json(std::string_view bytes, latest_values &into, int64_t arrived_ns, datagram_counts &counts) {
    // Parsed without exceptions: a datagram that is not JSON is counted, not thrown.
    const nlohmann::json doc = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (doc.is_discarded() || !doc.is_object() || doc.empty()) {
        counts.refused = true;
        return;
    }
    for (const auto &[name, value] : doc.items()) {
        if (value.is_number()) {
            take(name, value.get<double>(), into, arrived_ns, counts);
        } else if (into.index_of(name) < 0) {
            ++counts.unknown;
        } else {
            ++counts.bad; // a string, a boolean, null, an object or an array where a number goes
        }
    }
}

void read_pairs(std::string_view bytes, latest_values &into, int64_t arrived_ns, datagram_counts &counts) {
    size_t pairs = 0;
    while (!bytes.empty()) {
        const size_t end = bytes.find_first_of(",;\r\n");
        const std::string_view pair = trimmed(bytes.substr(0, end));
        bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
        if (pair.empty()) continue;
        ++pairs;
        const size_t equals = pair.find('=');
        if (equals == std::string_view::npos) {
            ++counts.bad;
            continue;
        }
        const std::string_view name = trimmed(pair.substr(0, equals)), text = trimmed(pair.substr(equals + 1));
        double value = 0;
        // The C locale's numbers whatever the process's locale, and the whole text or nothing.
        const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || at != text.data() + text.size()) {
            if (into.index_of(name) < 0) ++counts.unknown;
            else ++counts.bad;
            continue;
        }
        take(name, value, into, arrived_ns, counts);
    }
    if (pairs == 0) counts.refused = true;
}

} // namespace

datagram_counts read_datagram(std::string_view bytes, latest_values &into, int64_t arrived_ns) {
    datagram_counts counts;
    if (bytes.size() > max_datagram_bytes) {
        counts.refused = true;
        return counts;
    }
    const size_t first = bytes.find_first_not_of(" \t\r\n");
    const std::string_view content = first == std::string_view::npos ? std::string_view() : bytes.substr(first);
    if (!content.empty() && (content.front() == '{' || content.front() == '['))
        read_json(content, into, arrived_ns, counts);
    else
        read_pairs(content, into, arrived_ns, counts);
    return counts;
}

} // namespace pitwall
