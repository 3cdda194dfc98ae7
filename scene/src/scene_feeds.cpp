// The scene's "feeds": live data sources, channels and what they drive, stale data and the demo loop.
#include "scene_reader.h"

#include "pitwall/attribute_catalog.h"

#include <cmath>

namespace pitwall {

bool scene_reader::read_seconds(const json &j, const char *key, double &out, const std::string &what) {
    auto it = j.find(key);
    if (it == j.end()) return true;
    if (!it->is_number() || !(it->get<double>() >= 0) || it->get<double>() > scene_feeds::longest_wait)
        return fail(*it, what + ": \"" + key + "\" must be a number of seconds from 0 to 86400");
    out = it->get<double>();
    return true;
}

bool scene_reader::read_feeds(const json &j, scene_feeds &out) {
    if (!j.is_object()) return fail(j, "\"feeds\" must be an object");
    if (!only_keys(j, {"sources", "dbc", "demo_after", "timeout", "channels"}, "\"feeds\"")) return false;
    if (auto dbc = j.find("dbc"); dbc != j.end()) {
        if (!dbc->is_string() || dbc->get<std::string>().empty())
            return fail(*dbc, "\"feeds.dbc\" must name the CAN signal database, a .dbc file");
        out.dbc = absolute(folder_, dbc->get<std::string>());
    }
    if (auto src = j.find("sources"); src != j.end()) {
        if (!src->is_array()) return fail(*src, "\"feeds.sources\" must be a list of feeds such as \"udp:20777\"");
        for (const json &f : *src) {
            if (!f.is_string() || f.get<std::string>().empty())
                return fail(f, "\"feeds.sources\": a feed is a string such as \"udp:20777\" or \"stdin\"");
            out.sources.push_back(f.get<std::string>());
        }
    }
    if (!read_seconds(j, "demo_after", out.demo_after, "\"feeds\"")) return false;
    double timeout = feed_channel::default_timeout;
    if (!read_seconds(j, "timeout", timeout, "\"feeds\"")) return false;
    const bool timeout_written = j.contains("timeout");
    auto channels = j.find("channels");
    if (channels == j.end() || !channels->is_object())
        return fail(channels == j.end() ? j : *channels, "\"feeds\" needs \"channels\", channel names to controls");
    for (auto it = channels->begin(); it != channels->end(); ++it) {
        if (it.key().empty()) return fail(*it, "\"feeds.channels\": a channel needs a name");
        feed_channel channel;
        channel.timeout_written = timeout_written;
        if (!read_feed_channel(it.key(), *it, timeout, channel)) {
            if (attribute_errors_ == nullptr) return false;
            continue; // lint goes on to the next channel
        }
        out.channels.push_back(std::move(channel));
    }
    return true;
}

// A channel is one mapping, a list of them, or {"drives": mapping or list, "timeout", "stale",
// "signal", "message"}.
bool scene_reader::read_feed_channel(const std::string &name, const json &j, double timeout, feed_channel &out) {
    const std::string what = "feed channel \"" + name + "\"";
    out.name = name;
    out.timeout = timeout;
    out.where = doc_.where(j);
    const json *drives = &j;
    if (j.is_object() && !j.contains("control")) {
        if (!only_keys(j, {"drives", "timeout", "stale", "signal", "message"}, what)) return false;
        auto d = j.find("drives");
        if (d == j.end()) return fail(j, what + " needs \"control\" and \"attribute\", or \"drives\", a list of them");
        drives = &*d;
        if (!read_seconds(j, "timeout", out.timeout, what)) return false;
        out.timeout_written = out.timeout_written || j.contains("timeout");
        for (auto [key, field] : {std::pair{"signal", &out.signal}, std::pair{"message", &out.message}}) {
            auto it = j.find(key);
            if (it == j.end()) continue;
            if (!it->is_string() || it->get<std::string>().empty())
                return fail(*it, what + ": \"" + key + "\" must name a CAN " + key + " of the signal database");
            *field = it->get<std::string>();
        }
        if (!out.message.empty() && out.signal.empty())
            return fail(j["message"], what + ": \"message\" goes with \"signal\", the signal it carries");
        if (auto st = j.find("stale"); st != j.end() && !read_stale(*st, what, out)) return false;
    }
    auto add = [&](const json &m) {
        feed_mapping mapping;
        if (!read_feed_mapping(m, what, mapping)) return false;
        out.mappings.push_back(std::move(mapping));
        return true;
    };
    if (drives->is_array()) {
        if (drives->empty()) return fail(*drives, what + ": \"drives\" lists no attribute");
        for (const json &m : *drives)
            if (!add(m)) return false;
    } else if (!add(*drives)) {
        return false;
    }
    bool has_text = false;
    for (const feed_mapping &m : out.mappings) {
        const std::string *widget = nullptr;
        for (const auto &[control, w] : controls_)
            if (control == m.control) widget = &w;
        const widget_info *info = widget != nullptr ? find_widget_info(*widget) : nullptr;
        const attribute_info *a = info != nullptr ? info->find(m.attribute) : nullptr;
        has_text = has_text || m.format || (a != nullptr && a->type == "1s0");
    }
    if (out.stale_text && !has_text)
        return fail(j["stale"]["text"], what + ": \"stale.text\" is shown by text attributes, and this channel drives none");
    return true;
}

bool scene_reader::read_feed_mapping(const json &j, const std::string &what, feed_mapping &out) {
    if (!j.is_object() || !j.contains("control") || !j["control"].is_string() || !j.contains("attribute") ||
        !j["attribute"].is_string())
        return fail(j, what + " needs \"control\" and \"attribute\", names");
    if (!only_keys(j, {"control", "attribute", "scale", "offset", "format"}, what)) return false;
    out.control = j["control"].get<std::string>();
    out.attribute = j["attribute"].get<std::string>();
    out.where = doc_.where(j);
    for (auto [key, field] : {std::pair{"scale", &out.scale}, std::pair{"offset", &out.offset}}) {
        auto it = j.find(key);
        if (it == j.end()) continue;
        if (!it->is_number() || !std::isfinite(it->get<double>()))
            return fail(*it, what + ": \"" + key + "\" must be a number");
        *field = it->get<double>();
    }
    if (!read_format(j, out.format, what)) return false;
    return check_driven(j, out.control, out.attribute, nullptr, what);
}

// "stale": {"show": "hold" | "minimum" | NUMBER, "text": "--", "lamp": "CONTROL"}
bool scene_reader::read_stale(const json &j, const std::string &what, feed_channel &out) {
    if (!j.is_object()) return fail(j, what + ": \"stale\" must be an object: \"show\", \"text\", \"lamp\"");
    if (!only_keys(j, {"show", "text", "lamp"}, what + ": \"stale\"")) return false;
    if (auto show = j.find("show"); show != j.end()) {
        if (show->is_number() && std::isfinite(show->get<double>())) {
            out.show = stale_show::number;
            out.stale_number = show->get<double>();
        } else if (*show == "hold") {
            out.show = stale_show::hold;
        } else if (*show == "minimum") {
            out.show = stale_show::minimum;
        } else {
            return fail(*show, what + ": \"stale.show\" is \"hold\", \"minimum\" or a number");
        }
    }
    if (auto text = j.find("text"); text != j.end()) {
        if (!text->is_string()) return fail(*text, what + ": \"stale.text\" must be a string such as \"--\"");
        out.stale_text = text->get<std::string>();
    }
    if (auto lamp = j.find("lamp"); lamp != j.end()) {
        if (!lamp->is_string()) return fail(*lamp, what + ": \"stale.lamp\" must name a control");
        std::string widget;
        if (!known_control(*lamp, lamp->get<std::string>(), what + ": \"stale.lamp\"", &widget)) return false;
        const widget_info *info = find_widget_info(widget);
        if (info != nullptr && info->find("value") == nullptr)
            return fail(*lamp, what + ": \"stale.lamp\": control \"" + lamp->get<std::string>() + "\" (" + widget +
                                   ") has no \"value\" to light it with");
        out.stale_lamp = lamp->get<std::string>();
    }
    return true;
}

} // namespace pitwall
