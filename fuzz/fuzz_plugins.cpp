// fuzz_plugins - random sequences of set, draw, clone and destroy on every plug-in of the build,
// through the engine with the recording context.
//
// One engine loads every libgre-plugin-*.so of the build's plug-in folder once for the whole run
// (libFuzzer cannot follow coverage counters of an unloaded library, so nothing is ever unloaded).
// The recording context's image registry holds the images the widgets ask for, and the fonts are
// registered, so that the drawing paths are reached; each input may re-stage images with other
// sizes or make them fail, make the host refuse paths, or change the text model.
//
// Input: a stream of operations (fuzz_input.h), one byte each, then its arguments:
//   @ create  A set  B set through the engine's marshalling  C draw  D clone  E destroy
//   F engine state  G stage an image  (byte % 8)
// A create names its deliverable by a fixed slot (byte % 16, k_deliverables), so that a seed keeps
// its meaning as deliverables are added; a slot whose plug-in is not built falls back to one that is.
// PITWALL_FUZZ_TRACE=1 in the environment prints each input's trace (to read a reproducer).
// Draws go through the recording context with one change: a path reaches the trace with at most
// k_traced_points of its points (and that count). Every point is still read here, so the sanitizer
// sees a count beyond the buffer; only the text of a 50 000-point band of a 32767-pixel gauge,
// which would dominate the run, is left out.
// Besides the sanitizers, every call is checked for what the engine relies on:
//   - a draw returns 0 or -1 and leaves the clip, the translation, the render attributes and the
//     path count as it found them;
//   - no image operation names a null, released or unknown image, no image is released twice;
//   - every log line has level 0..2 and names the plug-in (most begin with "<display name>: "), but
//     for the few messages the gauges' bands and caption log as they stand; a band's polygon never
//     outgrows the point limit (no gauge size comes near it);
//   - the modern gauges set the alpha several times and restore it once: for them the alpha must
//     be restored after its last set, never more often than it was set;
//   - once all instances are destroyed a plug-in holds at most one image per file (its
//     plug-in-wide cache): anything more is an instance image that was never released.
#include "fuzz_input.h"

#include "pitwall/engine.h"
#include "pitwall/recording_context.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char *k_app_dir = "/app";
constexpr size_t k_max_instances = 8;
constexpr int k_max_operations = 256;

// Font sizes whose line height an input may change (the model is reset to "line height = size"
// for these at the start of every input, so that inputs do not depend on each other).
constexpr int32_t k_font_sizes[] = {0, 8, 12, 14, 16, 20, 24, 25, 32, 48, 255, -1};

const char *const k_bar_colours[] = {"white", "red", "yellow", "orange", "green", "blue", "violet"};

// Create slots, by library name. The first four were the only plug-ins when the seeds began.
constexpr const char *k_deliverables[16] = {
    "libgre-plugin-LevelBarHorizontal", "libgre-plugin-LevelBarVertical", "libgre-plugin-SplashImage",
    "libgre-plugin-ValueBoxPlain",      "libgre-plugin-ArcGaugeLarge",    "libgre-plugin-ArcGaugeSmall",
    "libgre-plugin-DialGaugeSmall",     "libgre-plugin-DialGaugeLarge",   "libgre-plugin-TextLabel",
    "libgre-plugin-TextLabelScroll",    "libgre-plugin-TextLabelMenu",    "libgre-plugin-ValueBoxFlat",
    "libgre-plugin-ValueBoxFramed",     "libgre-plugin-AlertFlat",        "libgre-plugin-AlertFramed",
    nullptr,
};

// Messages of the gauges' shared bands and caption, logged without the display name.
const char *const k_gauge_messages[] = {
    "Failed to allocate memory for ellipse path", // the host refused the band's path
    // Angles beyond about 2^24 degrees are finite, but a step of a few degrees no longer moves
    // them in single precision: the walk then runs out of room before it reaches the end.
    "Failed to initialize all ellipse points - buffer full",
    "Failed to allocate format string memory",
    "Failed to allocate render string memory",
};

// The images the widgets of this build ask for, at their theme sizes.
struct staged_image {
    std::string path;
    pitwall::recorded_image info;
};

std::vector<staged_image> default_images() {
    std::vector<staged_image> out;
    auto plain = [&](std::string path, int16_t w, int16_t h) {
        out.push_back({std::move(path), pitwall::recorded_image{.width = w, .height = h}});
    };
    auto nine = [&](std::string path, int16_t w, int16_t h, int16_t sx, int16_t sw, int16_t sy, int16_t sh) {
        out.push_back({std::move(path), pitwall::recorded_image{
                                            .width = w, .height = h, .nine_patch = true, .sx = sx, .sw = sw, .sy = sy, .sh = sh}});
    };
    for (const char *c : k_bar_colours) {
        const std::string dir = std::string("images/CommonBar/") + c;
        nine(dir + "_fill_v.9.png", 90, 14, 4, 82, 1, 12);
        nine(dir + "_mark_v.9.png", 90, 14, 4, 82, 1, 12);
        nine(dir + "_fill.9.png", 14, 90, 1, 12, 4, 82);
        nine(dir + "_mark.9.png", 14, 90, 1, 12, 4, 82);
        plain(dir + "_shine_left.png", 11, 100);
        plain(dir + "_shine_top.png", 100, 11);
    }
    plain("images/splash/logo.png", 320, 240);
    plain("images/ModernGauge/needle_large.png", 110, 6);
    plain("images/ModernGauge/needle_cw.png", 58, 103);
    plain("images/ModernGauge/needle_ccw.png", 58, 103);
    for (const char *c : k_bar_colours) {
        plain(std::string("images/ClassicGauge/") + c + "_bg_small.png", 240, 240);
        plain(std::string("images/ClassicGauge/") + c + "_bg_large.png", 440, 440);
    }
    plain("images/ClassicGauge/needle_small.png", 32, 115);
    plain("images/ClassicGauge/needle_large.png", 10, 87);
    for (const char *c : {"white", "red", "yellow", "orange", "green", "blue", "violet", "grey"})
        for (const char *piece : {"_box1.9.png", "_box2.9.png", "_box3.9.png"})
            nine(std::string("images/ModernAlarm/") + c + piece, 21, 38, 8, 5, 16, 6);
    plain("images/ModernAlarm/white_reset.png", 20, 20);
    for (const char *c : {"white1", "white2", "red", "yellow", "orange", "green", "blue", "violet", "grey", "black1",
                          "black2"}) {
        nine(std::string("images/ClassicBox/") + c + "_box.9.png", 40, 40, 10, 20, 10, 20);
        plain(std::string("images/ClassicBox/") + c + "_line.png", 128, 1);
    }
    const char *const icon_colours[] = {"white", "red", "yellow", "orange", "green", "blue", "violet", "grey", "black"};
    for (const char *c : icon_colours) {
        nine(std::string("images/ModernBox/") + c + "_box.9.png", 40, 40, 8, 24, 8, 24);
        nine(std::string("images/ModernBox/") + c + "_title.9.png", 30, 20, 6, 18, 6, 8);
    }
    // A few pictograms at their table sizes; the others fail to load, as a missing file does.
    for (const char *c : {"white", "red", "black"}) {
        plain(std::string("images/Icons/cross_") + c + ".png", 75, 75);
        plain(std::string("images/Icons/minus_") + c + ".png", 75, 23);
        plain(std::string("images/Icons/windshield_washer_fluid_") + c + ".png", 73, 58);
    }
    return out;
}

// Strings the widgets give meaning to: image and font names, tick lists, texts.
std::vector<std::string> string_pool() {
    std::vector<std::string> pool = {
        "images/splash/logo.png",
        "fonts/CPMono_v07 Plain.otf",
        "fonts/alt.otf",
        "fonts/broken.otf",
        "fonts/missing.otf",
        "0;0;0|;50;50|;100;100",
        "100;100|0;0|50;50",
        "0;10;a|0;10;b",
        "-5;-5|105;105",
        ";5",
        "0;0||100;100",
        "0;0;low|25;25|50;50;mid|75;75|100;100;high",
        "50;50",
        "|||;;;",
        "Title",
        "RPM",
        "42.5",
        "%s%n%x%%",
        "\xc3\xa9\xff\x01",
        std::string(300, 'W'),
        std::string(190, 'p') + ".png",
        // Gauge captions and scales (explicit positions are angles from the start).
        "<channel value> km/h",
        "Load <channel value> %",
        "<channel value>/<channel value>",
        "%n<channel value>%s%%<channel value",
        "0;0;0|180;50;50|;100;100",
        "0;0;0|;25;25|;50;50|;75;75|;100;100",
        "-30;-10;under|400;50;over|;1e30;huge",
    };
    std::string many;
    for (int i = 0; i < 60; ++i) many += (i ? "|" : "") + std::to_string(i) + ";" + std::to_string(i) + ";" + std::to_string(i);
    pool.push_back(many);
    // Label texts: lines, empty lines, a trailing marker, markers cut short, and 64 KiB of lines.
    for (const char *text : {"Oil<br>Water", "<br><br>x<br>", "LAP<br", "<br", "a<b<br>r>"}) pool.emplace_back(text);
    std::string long_text;
    while (long_text.size() + 5 <= 65536) long_text += "L<br>";
    pool.push_back(long_text);
    return pool;
}

constexpr int32_t k_traced_points = 4;

gr_path_t *(*g_record_path)(gr_context_t *, int32_t, const float *, int32_t, int32_t) = nullptr;

gr_path_t *create_path_briefly(gr_context_t *ctx, int32_t kind, const float *points, int32_t count, int32_t flags) {
    float sum = 0.0f;
    for (int32_t i = 0; i < 2 * count && points != nullptr; ++i) sum += points[i];
    volatile float keep = sum; // the reads must happen
    (void)keep;
    return g_record_path(ctx, kind, points, count < k_traced_points ? count : k_traced_points, flags);
}

struct world {
    pitwall::engine eng{k_app_dir};
    pitwall::recording_context rec{eng};
    gr_render_ops_t brief_ops = *rec.context()->ops;
    gr_context_t draw_ctx = *rec.context(); // the recording context, paths traced briefly
    std::vector<pitwall::plugin *> plugins;
    std::vector<std::vector<gr_attribute_t>> attributes; // per plug-in
    std::vector<size_t> slots;                           // create slot -> plug-in, per k_deliverables
    std::vector<bool> alpha_restored_once;               // per plug-in: the modern gauges
    std::vector<staged_image> images = default_images();
    std::vector<std::string> pool = string_pool();
    // Images each plug-in loaded and has not released, by path; carried across inputs because
    // plug-in-wide caches live until the plug-in is unloaded.
    std::map<std::pair<size_t, std::string>, int> live;
    size_t seen = 0; // trace lines already checked

    world() {
        std::vector<pitwall::error> errors;
        plugins = eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
        for (const pitwall::error &e : errors) fuzz::fail("plug-in not loaded", e);
        if (plugins.empty()) fuzz::fail("no plug-ins in " PITWALL_PLUGIN_DIR);
        for (pitwall::plugin *p : plugins) {
            attributes.push_back(p->attributes());
            alpha_restored_once.push_back(p->display_name().rfind("Modern Gauge", 0) == 0);
        }
        for (size_t slot = 0; slot < std::size(k_deliverables); ++slot) {
            size_t found = slot % plugins.size();
            for (size_t p = 0; p < plugins.size() && k_deliverables[slot] != nullptr; ++p)
                if (plugins[p]->path().find(std::string("/") + k_deliverables[slot] + ".") != std::string::npos)
                    found = p;
            slots.push_back(found);
        }
        eng.fonts().add_font("fonts/CPMono_v07 Plain.otf");
        eng.fonts().add_font("fonts/alt.otf");
        eng.fonts().stage_font_failure("fonts/broken.otf");
        g_record_path = brief_ops.create_path;
        brief_ops.create_path = create_path_briefly;
        draw_ctx.ops = &brief_ops;
        rec.clear_trace();
    }

    void stage_defaults() {
        for (const staged_image &s : images) stage(s.path, s.info);
    }

    void stage(const std::string &path, const pitwall::recorded_image &i) { rec.stage_image(path, i); }
};

// The one world of the run; never destroyed (see the file comment).
world &the_world() {
    static world *w = new world();
    return *w;
}

struct live_instance {
    size_t plugin;
    std::unique_ptr<pitwall::instance> inst;
};

bool starts_with(const std::string &s, const std::string &prefix) { return s.rfind(prefix, 0) == 0; }

bool gauge_message(const world &w, size_t p, const std::string &text) {
    if (w.plugins[p]->display_name().find("Gauge") == std::string::npos) return false;
    for (const char *m : k_gauge_messages)
        if (text == m) return true;
    return false;
}

// Path of an image as a trace line names it after the operation word; fails on a bad handle.
std::string image_name(const std::string &line, size_t at) {
    size_t end = line.find(' ', at);
    std::string name = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (name == "null" || name == "unknown" || starts_with(name, "released:"))
        fuzz::fail("image operation on a bad handle", line);
    return name;
}

// Check the trace lines written since the last check, made by plug-in `p`.
void check_new_lines(world &w, size_t p) {
    const std::vector<std::string> &trace = w.rec.trace();
    const std::string prefix = w.plugins[p]->display_name() + ": ";
    for (; w.seen < trace.size(); ++w.seen) {
        const std::string &line = trace[w.seen];
        if (starts_with(line, "log ")) {
            if (line.size() < 6 || line[4] < '0' || line[4] > '2' || line[5] != ' ')
                fuzz::fail("log level", line);
            if (line.find("ellipse path (OOM)") != std::string::npos)
                fuzz::fail("a band's polygon outgrew the point limit (no gauge size comes near it)", line);
            // The text-extent message names the widget inside ("Failed to get text extent for %s ...").
            if (!starts_with(line.substr(6), prefix) && line.find(w.plugins[p]->display_name()) == std::string::npos &&
                !gauge_message(w, p, line.substr(6)))
                fuzz::fail("log line without the display name", line);
        } else if (starts_with(line, "load_image ")) {
            if (line.size() > 6 && line.compare(line.size() - 6, 6, " -> ok") == 0)
                ++w.live[{p, image_name(line, 11)}];
        } else if (starts_with(line, "release_image ")) {
            int &n = w.live[{p, image_name(line, 14)}];
            if (--n < 0) fuzz::fail("image released by a plug-in that did not load it", line);
        } else if (starts_with(line, "draw_image ") || starts_with(line, "draw_image_part ") ||
                   starts_with(line, "image_set ") || starts_with(line, "image_info ")) {
            image_name(line, line.find(' ') + 1);
        }
    }
}

// What a draw must leave as it found it.
struct context_state {
    std::optional<gr_rect_t> clip;
    int32_t tx, ty;
    int paths;
};

context_state state_of(const pitwall::recording_context &rec) {
    return {rec.clip_state(), rec.translation_x(), rec.translation_y(), rec.live_paths()};
}

bool same_clip(const std::optional<gr_rect_t> &a, const std::optional<gr_rect_t> &b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || (a->x1 == b->x1 && a->y1 == b->y1 && a->x2 == b->x2 && a->y2 == b->y2);
}

// Render attributes set during a draw must all be restored by its end. A plug-in that sets the
// alpha several times and restores it once (`alpha_restored_once`) must restore it after its last set.
void check_attributes_restored(const std::vector<std::string> &trace, size_t from, bool alpha_restored_once) {
    std::map<std::string, int> open;
    const std::string alpha = std::to_string(GR_ATTR_ALPHA);
    for (size_t i = from; i < trace.size(); ++i) {
        const std::string &line = trace[i];
        if (starts_with(line, "set_attr ")) ++open[line.substr(9, line.find(' ', 9) - 9)];
        if (starts_with(line, "restore_attr ")) {
            int &n = open[line.substr(13)];
            if (--n < 0) fuzz::fail("render attribute restored without being set", line);
            if (alpha_restored_once && line.substr(13) == alpha) n = 0;
        }
    }
    for (const auto &[id, n] : open)
        if (n != 0) fuzz::fail("render attribute left set after a draw", id);
}

int16_t coordinate(fuzz::input &in) { return static_cast<int16_t>(in.integer()); }

// A value for an attribute, by its type code, in a buffer of exactly its size (so that the
// sanitizer sees any read past it).
struct value_buffer {
    void *data = nullptr;
    ~value_buffer() { std::free(data); }
    template <typename T>
    void hold(T v) {
        data = std::malloc(sizeof v);
        std::memcpy(data, &v, sizeof v);
    }
    void hold_text(const std::string &s) {
        data = std::malloc(s.size() + 1);
        std::memcpy(data, s.c_str(), s.size() + 1);
    }
};

void choose_string(world &w, fuzz::input &in, value_buffer &v) {
    uint8_t b = in.byte();
    if (b == 0) return; // null
    if (b == 1) return v.hold_text("");
    if (b < 0x20) return v.hold_text(in.text());
    v.hold_text(w.pool[b % w.pool.size()]);
}

void op_set(world &w, fuzz::input &in, std::vector<live_instance> &live) {
    if (live.empty()) return;
    live_instance &target = live[in.byte() % live.size()];
    const std::vector<gr_attribute_t> &attrs = w.attributes[target.plugin];
    uint8_t pick = in.byte();
    value_buffer v;
    int32_t id;
    if (pick == 0xff) { // an id past the table, with a 32-bit value
        id = in.integer();
        // An id the table has takes a value of its own type from the host, never a stray integer
        // (a text attribute would be read as a string).
        if (std::any_of(attrs.begin(), attrs.end(), [id](const gr_attribute_t &a) { return a.id == id; })) return;
        v.hold(in.integer());
    } else {
        const gr_attribute_t &a = attrs[pick % attrs.size()];
        id = a.id;
        std::string type = a.type;
        if (type == GR_TYPE_STRING)
            choose_string(w, in, v);
        else if (type == GR_TYPE_FLOAT)
            v.hold(in.number());
        else if (type == GR_TYPE_UINT8)
            v.hold(in.byte());
        else
            v.hold(in.integer());
    }
    target.inst->set_raw(id, v.data);
    check_new_lines(w, target.plugin);
}

// The same through the engine's marshalling (what a scene does): a value of any kind for an
// attribute of any type; a mismatch is refused with a message and reaches no plug-in.
void op_set_marshalled(world &w, fuzz::input &in, std::vector<live_instance> &live) {
    if (live.empty()) return;
    live_instance &target = live[in.byte() % live.size()];
    const std::vector<gr_attribute_t> &attrs = w.attributes[target.plugin];
    const gr_attribute_t &a = attrs[in.byte() % attrs.size()];
    pitwall::attr_value value;
    switch (in.byte() % 6) {
    case 0: value = pitwall::null_string{}; break;
    case 1: {
        value_buffer v;
        choose_string(w, in, v);
        value = v.data != nullptr ? std::string(static_cast<const char *>(v.data)) : std::string();
        break;
    }
    case 2: value = static_cast<int64_t>(in.integer()); break;
    case 3: value = in.raw<int64_t>(); break;
    case 4: value = static_cast<double>(in.number()); break;
    default: value = in.raw<double>(); break;
    }
    const int32_t dirty = target.inst->record()->dirty;
    pitwall::error err = target.inst->set(a.id, value);
    if (!err.empty() && target.inst->record()->dirty != dirty) fuzz::fail("a refused value reached the plug-in", err);
    check_new_lines(w, target.plugin);
}

void op_draw(world &w, fuzz::input &in, std::vector<live_instance> &live) {
    if (live.empty()) return;
    live_instance &target = live[in.byte() % live.size()];
    gr_canvas_t canvas{{800, 480}};
    if (in.byte() & 1) canvas = gr_canvas_t{{coordinate(in), coordinate(in)}};
    gr_control_t control{coordinate(in), coordinate(in), coordinate(in), coordinate(in), &canvas};
    if (in.byte() & 1)
        w.rec.set_clip_state(gr_rect_t{coordinate(in), coordinate(in), coordinate(in), coordinate(in)});
    else
        w.rec.set_clip_state(std::nullopt);

    const context_state before = state_of(w.rec);
    const size_t from = w.rec.trace().size();
    int rc = target.inst->draw(&w.draw_ctx, control);
    const context_state after = state_of(w.rec);
    if (rc != 0 && rc != -1) fuzz::fail("draw returned neither 0 nor -1");
    if (!same_clip(before.clip, after.clip)) fuzz::fail("draw left the clip changed");
    if (before.tx != after.tx || before.ty != after.ty) fuzz::fail("draw left a translation");
    if (before.paths != after.paths) fuzz::fail("draw left a path unfreed");
    check_attributes_restored(w.rec.trace(), from, w.alpha_restored_once[target.plugin]);
    check_new_lines(w, target.plugin);
}

void op_clone(world &w, fuzz::input &in, std::vector<live_instance> &live) {
    if (live.empty()) return;
    size_t source = in.byte() % live.size();
    if (live.size() >= k_max_instances) return;
    auto copy = live[source].inst->clone();
    size_t plugin = live[source].plugin;
    check_new_lines(w, plugin);
    live.push_back({plugin, std::move(copy)});
}

void op_destroy(world &w, fuzz::input &in, std::vector<live_instance> &live) {
    if (live.empty()) return;
    size_t at = in.byte() % live.size();
    size_t plugin = live[at].plugin;
    live.erase(live.begin() + static_cast<std::ptrdiff_t>(at));
    check_new_lines(w, plugin);
}

// Visibility and inhibit of an instance, or the recording context's text model.
void op_state(world &w, fuzz::input &in, std::vector<live_instance> &live) {
    switch (in.byte() % 4) {
    case 0:
        if (!live.empty()) live[in.byte() % live.size()].inst->record()->visible = static_cast<uint32_t>(in.integer());
        break;
    case 1:
        if (!live.empty()) live[in.byte() % live.size()].inst->record()->inhibit = in.number();
        break;
    case 2:
        // Text metrics a font can have: a few hundred pixels at most.
        w.rec.set_text_advance(in.byte() % 64);
        w.rec.set_line_height(k_font_sizes[in.byte() % std::size(k_font_sizes)], in.integer() & 0x3ff);
        break;
    default: {
        const uint8_t b = in.byte();
        w.rec.fail_text_extent((b & 1) != 0);
        w.rec.fail_create_path((b & 2) != 0);
        break;
    }
    }
}

// Another size for one staged image (stretch bands inside it, as an engine reports them), a
// failing size query, or no such file.
void op_stage(world &w, fuzz::input &in) {
    const staged_image &s = w.images[in.byte() % w.images.size()];
    pitwall::recorded_image i = s.info;
    switch (in.byte() % 4) {
    case 0:
        w.rec.remove_image(s.path);
        return;
    case 1:
        i.size_query_fails = true;
        break;
    default: {
        i.width = static_cast<int16_t>(in.byte() % 2 == 0 ? in.byte() : in.integer() & 0x3ff);
        i.height = static_cast<int16_t>(in.byte() % 2 == 0 ? in.byte() : in.integer() & 0x3ff);
        if (i.nine_patch) {
            i.sx = static_cast<int16_t>(i.width == 0 ? 0 : in.byte() % (i.width + 1));
            i.sw = static_cast<int16_t>(in.byte() % (i.width - i.sx + 1));
            i.sy = static_cast<int16_t>(i.height == 0 ? 0 : in.byte() % (i.height + 1));
            i.sh = static_cast<int16_t>(in.byte() % (i.height - i.sy + 1));
        }
        break;
    }
    }
    w.stage(s.path, i);
}

} // namespace

// Load the plug-ins before the first input, so that their coverage counts from the start.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    the_world();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    world &w = the_world();
    fuzz::input in(data, size);
    w.stage_defaults();
    w.rec.set_text_advance(8);
    for (int32_t font_size : k_font_sizes) w.rec.set_line_height(font_size, font_size);
    w.rec.fail_text_extent(false);
    w.rec.fail_create_path(false);
    w.rec.set_clip_state(std::nullopt);

    std::vector<live_instance> live;
    for (int n = 0; n < k_max_operations && !in.empty(); ++n) {
        switch (in.byte() % 8) {
        case 0: {
            size_t p = w.slots[in.byte() % std::size(k_deliverables)];
            if (live.size() < k_max_instances) live.push_back({p, w.plugins[p]->create()});
            break;
        }
        case 1: op_set(w, in, live); break;
        case 2: op_set_marshalled(w, in, live); break;
        case 3: op_draw(w, in, live); break;
        case 4: op_clone(w, in, live); break;
        case 5: op_destroy(w, in, live); break;
        case 6: op_state(w, in, live); break;
        default: op_stage(w, in); break;
        }
    }
    while (!live.empty()) {
        size_t plugin = live.back().plugin;
        live.pop_back();
        check_new_lines(w, plugin);
    }
    for (const auto &[key, n] : w.live)
        if (n > 1) fuzz::fail("an instance image outlived its instance", key.second);

    if (std::getenv("PITWALL_FUZZ_TRACE") != nullptr) std::fputs(w.rec.trace_text().c_str(), stderr);
    w.rec.clear_trace();
    w.rec.forget_released_images(); // a handle kept past its release is now a use after free
    w.seen = 0;
    w.eng.clear_log();
    return 0;
}
