// One scene shown by `pitwall run`, with its feeds.
#include "run_session.h"

#include "pitwall/scene_tracks.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace pitwall::cli {
namespace {

std::string count_of(uint64_t n, const char *one, const char *many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "3 datagrams refused, 2 bad values, 5 unknown names, 1 from another sender", the parts that are not 0.
std::string bad_input(const feed_totals &now, const feed_totals &before) {
    std::string text;
    auto add = [&](uint64_t n, const char *one, const char *many) {
        if (n == 0) return;
        text += (text.empty() ? "" : ", ") + count_of(n, one, many);
    };
    add(now.refused - before.refused, "datagram refused (too long, not JSON or name=value)",
        "datagrams refused (too long, not JSON or name=value)");
    add(now.bad - before.bad, "bad value", "bad values");
    add(now.unknown - before.unknown, "unknown channel", "unknown channels");
    add(now.foreign - before.foreign, "datagram from another sender", "datagrams from other senders");
    add(now.errors - before.errors, "CAN error frame", "CAN error frames");
    return text;
}

} // namespace

run_session::~run_session() {
    stop_feeds();
    run_.clear();
    if (engine_) engine_->unload_all();
}

bool run_session::load_signals(feed_context &context) {
    const std::string &path = opts_.feed_dbc.empty() ? scene_.feeds.dbc : opts_.feed_dbc;
    // Without a database the signals are unread; a can: or candump: feed refuses to open then.
    if (path.empty()) return true;
    std::string why;
    if (!can::read_dbc(path, dbc_, &why)) {
        std::fprintf(stderr, "pitwall run: %s\n", why.c_str());
        return false;
    }
    context.dbc = &dbc_;
    for (feed_channel &c : scene_.feeds.channels) {
        if (c.signal.empty()) continue;
        context.signals.push_back({c.name, c.message, c.signal});
        // A message sent every 100 ms is late after 300: one lost frame is not yet stale.
        const can::message *m = nullptr;
        for (const can::message &candidate : dbc_.messages)
            if ((c.message.empty() || candidate.name == c.message) && candidate.find(c.signal) != nullptr) m = &candidate;
        if (!c.timeout_written && m != nullptr && m->cycle_ms && *m->cycle_ms > 0)
            c.timeout = std::min(3 * *m->cycle_ms / 1000, scene_feeds::longest_wait);
    }
    return true;
}

// A signal's value table names raw values; the channel carries physical ones.
void run_session::name_signal_values() {
    for (const feed_channel &c : scene_.feeds.channels) {
        if (c.signal.empty()) continue;
        for (const can::message &m : dbc_.messages) {
            const can::signal *sig = (c.message.empty() || m.name == c.message) ? m.find(c.signal) : nullptr;
            if (sig == nullptr || sig->values.empty()) continue;
            std::vector<std::pair<double, std::string>> names;
            for (const can::value_name &v : sig->values) names.emplace_back(double(v.value) * sig->factor + sig->offset, v.name);
            binding_.name_values(c.name, std::move(names));
            break;
        }
    }
}

bool run_session::open(const options &opts, scene loaded, candump_recorder *raw) {
    opts_ = opts;
    scene_ = std::move(loaded);
    feed_context context;
    context.raw = raw;
    if (!load_signals(context)) return false;
    engine_ = make_engine(opts, scene_.base_dir);
    if (!engine_ || !check_widgets("run", *engine_, scene_, opts.scene)) return false;
    engine_->set_log_echo(stderr);
    if (error e = check_tracks(*engine_, scene_); !e.empty()) {
        std::fprintf(stderr, "pitwall run: %s\n", e.c_str());
        return false;
    }
    table_ = std::make_unique<latest_values>(live_binding::channel_names(scene_));
    if (error e = binding_.bind(*engine_, scene_, *table_); !e.empty()) {
        std::fprintf(stderr, "pitwall run: %s:%s\n", opts.scene.c_str(), e.c_str());
        return false;
    }
    name_signal_values();
    // Feeds named on the command line stand in for the scene's own.
    const std::vector<std::string> &sources = opts.feeds.empty() ? scene_.feeds.sources : opts.feeds;
    for (const std::string &text : sources) {
        std::string why;
        std::optional<feed_source> source = parse_feed_source(text, &why);
        std::unique_ptr<live_feed> feed = source ? open_feed(*source, context, &why) : nullptr;
        if (!feed) {
            std::fprintf(stderr, "pitwall run: %s\n", why.c_str());
            return false;
        }
        feeds_.push_back(std::move(feed));
    }
    reported_.assign(feeds_.size(), feed_totals{});
    ended_.assign(feeds_.size(), false);

    canvas_ = std::make_unique<raster_context>(*engine_, scene_.width, scene_.height, scene_.background);
    kept_ = std::make_unique<kept_drawing_of<raster_context>>(*canvas_);
    if (error e = run_.build(*engine_, scene_); !e.empty()) {
        std::fprintf(stderr, "pitwall run: %s\n", e.c_str());
        return false;
    }
    return true;
}

void run_session::start_feeds(value_tap &tap) {
    table_->set_tap(&tap);
    for (auto &feed : feeds_) feed->start(*table_);
    started_ = true;
}

void run_session::stop_feeds() {
    if (!started_) return;
    for (auto &feed : feeds_) feed->stop();
    started_ = false;
}

void run_session::announce(const screen &display) const {
    const placement at = display.where();
    std::string feeds;
    for (const auto &feed : feeds_) feeds += (feeds.empty() ? "" : ", ") + feed->describe();
    std::fprintf(stderr, "pitwall run: %s, %dx%d, shown at %dx%d%s; %s%s\n", opts_.scene.c_str(), scene_.width,
                 scene_.height, at.width, at.height,
                 at.scale > 0 ? (" (" + std::to_string(at.scale) + "x)").c_str() : " (scaled to fit)",
                 feeds.empty() ? "no feed" : "feeds: ", feeds.c_str());
    if (scene_.feeds.channels.empty())
        std::fprintf(stderr, "pitwall run: the scene maps no channel (\"feeds\": {\"channels\": ...}); "
                             "live values change nothing\n");
}

void run_session::frame(int64_t now_ns, bool first, int &failed, std::vector<int64_t> &arrivals) {
    binding_.at(now_ns, changes_);
    for (const std::string &note : changes_.notes) std::fprintf(stderr, "pitwall run: %s\n", note.c_str());
    arrivals = changes_.arrivals;
    damage_.clear();
    if (!changes_.step.changes.empty()) {
        if (error e = run_.apply(changes_.step); !e.empty()) {
            if (e != last_error_) std::fprintf(stderr, "pitwall run: %s\n", e.c_str());
            last_error_ = e;
        }
    }
    if (first) {
        canvas_->clear(scene_.background);
        failed += run_.draw(canvas_->context());
    } else if (!changes_.step.changes.empty()) {
        auto repaint = [this](const gr_rect_t &area) { canvas_->clear(area, scene_.background); };
        failed += run_.draw_changed(canvas_->context(), repaint, {}, kept_.get());
        damage_ = run_.damage();
    }
    if (!run_.failures().empty())
        for (const draw_result &f : run_.failures())
            std::fprintf(stderr, "pitwall run: control \"%s\" (%s) failed to draw: result %d\n", f.control.c_str(),
                         f.widget.c_str(), f.result);
}

void run_session::report_feeds(bool totals) {
    for (size_t i = 0; i < feeds_.size(); ++i) {
        // What a feed tells once (a bus gone off, a log's first bad line), then its counts.
        for (const std::string &note : feeds_[i]->take_notes())
            std::fprintf(stderr, "pitwall run: %s: %s\n", feeds_[i]->describe().c_str(), note.c_str());
        const feed_totals counts = feeds_[i]->counted();
        const std::string bad = bad_input(counts, reported_[i]);
        if (!bad.empty()) std::fprintf(stderr, "pitwall run: %s: %s\n", feeds_[i]->describe().c_str(), bad.c_str());
        if (totals)
            std::fprintf(stderr, "pitwall run: %s: %s\n", feeds_[i]->describe().c_str(),
                         count_of(counts.stored - reported_[i].stored, "value", "values").c_str());
        reported_[i] = counts;
        if (feeds_[i]->finished() && !ended_[i]) {
            ended_[i] = true;
            std::fprintf(stderr, "pitwall run: %s: no more data\n", feeds_[i]->describe().c_str());
        }
    }
}

std::string run_session::summary() const {
    std::string text;
    for (const auto &feed : feeds_) {
        const feed_totals c = feed->counted();
        text += (text.empty() ? "" : "; ") + feed->describe() + ": " + count_of(c.datagrams, "datagram", "datagrams") +
                ", " + count_of(c.stored, "value", "values");
        if (std::string bad = bad_input(c, feed_totals{}); !bad.empty()) text += ", " + bad;
    }
    return text.empty() ? "no feed" : text;
}

} // namespace pitwall::cli
