// Heap exhaustion inside the plug-ins: every control of the example scenes (all fifteen widgets in
// the configurations a dashboard uses, and a few more gauge scales) goes through set, draw, clone, draw and destroy once for
// each allocation that sequence makes, with exactly that allocation failing. Each run must survive,
// say nothing but the allocation messages, leak nothing, and draw exactly as before once memory
// is back. Every allocation site reached is failed at least once.
#include "alloc_faults.h"

#include "pitwall/scene.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace {

using pitwall::testing::alloc_faults;
using strings = std::vector<std::string>;

// The example scenes, and gauge scales they lack (piecewise classic gauges, a linear modern one).
const char *const scenes[] = {"examples/demo.json", "examples/gauges.json", "examples/alarms.json",
                              "examples/labels.json", "tests/fixtures/alloc-configs.json"};

// What a widget may say when memory runs out (with or without its display name in front). Images
// are not staged here, so their loads fail and say so, with or without the path a failed copy lost.
const char *const allocation_messages[] = {
    "Failed to allocate string memory!",     "Failed to allocate tick memory!",
    "Failed to allocate memory for ellipse path (OOM)", "Failed to allocate format string memory",
    "Failed to allocate render string memory",
};

bool is_allocation_message(const std::string &text) {
    if (text.find(": Failed loading image ") != std::string::npos) return true;
    for (const char *m : allocation_messages) {
        std::string message = m;
        if (text.size() >= message.size() && text.compare(text.size() - message.size(), message.size(), message) == 0)
            return true;
    }
    return false;
}

// The drawing itself: the trace without log lines and image and font bookkeeping, which differ
// between a first draw and a redraw for reasons of their own, and without path numbers.
// The first line where two drawings part, for a readable failure.
std::string first_difference(const strings &got, const strings &want) {
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    if (i == got.size() && i == want.size()) return "";
    return "line " + std::to_string(i) + ": got \"" + (i < got.size() ? got[i] : "(end)") + "\", want \"" +
           (i < want.size() ? want[i] : "(end)") + "\"";
}

strings drawing(const strings &trace) {
    strings out;
    for (const std::string &line : trace) {
        if (line.rfind("log ", 0) == 0 || line.rfind("load_image", 0) == 0 || line.rfind("release_image", 0) == 0 ||
            line.rfind("image_info", 0) == 0 || line.rfind("res_", 0) == 0)
            continue;
        // Host path handles are numbered over the whole run.
        out.push_back(std::regex_replace(line, std::regex("path[0-9]+"), "path"));
    }
    return out;
}

struct fixture {
    pitwall::engine eng{"/app"};
    pitwall::recording_context rec{eng};
    gr_canvas_t canvas{{1600, 800}};

    fixture() {
        std::vector<pitwall::error> errors;
        eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
        for (const pitwall::error &e : errors) ADD_FAILURE() << e;
        for (const auto &p : eng.plugins()) {
            std::string why;
            EXPECT_TRUE(alloc_faults::hook(p->path(), &why)) << why;
        }
    }

    // As a scene sets them: "#rrggbb" for a number is a colour.
    void set_all(pitwall::instance &inst, const pitwall::plugin &p, const pitwall::scene_control &c) {
        for (const auto &[name, value] : c.state.attributes) {
            pitwall::attr_value v = value;
            const gr_attribute_t *a = p.find_attribute(name);
            uint32_t colour;
            if (a != nullptr && std::string_view(a->type) != GR_TYPE_STRING && std::holds_alternative<std::string>(v) &&
                pitwall::parse_colour(std::get<std::string>(v), colour))
                v = static_cast<int64_t>(colour);
            pitwall::error err = inst.set(name, v);
            EXPECT_TRUE(err.empty()) << err;
        }
    }

    // What a lost allocation leaves behind (a tick without its label, a caption not formatted)
    // stays until the widget lays out again: every string is taken away and given back, which
    // forces that without moving any threshold state.
    void relayout(pitwall::instance &inst, const pitwall::plugin &p, const pitwall::scene_control &c) {
        for (const auto &[name, value] : c.state.attributes)
            if (std::holds_alternative<std::string>(value) && inst.set(name, pitwall::null_string{}).empty())
                set_all(inst, p, c);
    }

    strings draw(pitwall::instance &inst, const pitwall::scene_control &c) {
        rec.clear_trace();
        gr_control_t ctl = pitwall::make_control(c.x, c.y, c.width, c.height, &canvas);
        inst.draw(rec.context(), ctl);
        return rec.trace();
    }
};

TEST(alloc_failure, every_allocation_of_every_plugin_fails_once_and_each_run_survives) {
    fixture f;
    ASSERT_EQ(f.eng.plugins().size(), 15u);
    std::map<std::string, int> runs_per_widget;

    for (const char *file : scenes) {
        pitwall::scene s;
        pitwall::error err;
        ASSERT_TRUE(pitwall::load_scene(std::string(PITWALL_SOURCE_DIR) + "/" + file, s, &err)) << err;
        for (const pitwall::scene_control &c : s.controls) {
            SCOPED_TRACE(std::string(file) + ": " + c.name);
            pitwall::plugin *p = f.eng.find_plugin(c.widget);
            ASSERT_NE(p, nullptr) << c.widget;

            // The sequence under test: set, draw, clone, draw the clone, lay both out again and draw.
            auto sequence = [&](std::unique_ptr<pitwall::instance> &inst, std::unique_ptr<pitwall::instance> &copy) {
                inst = p->create();
                f.set_all(*inst, *p, c);
                f.draw(*inst, c);
                copy = inst->clone();
                f.draw(*copy, c);
                f.relayout(*inst, *p, c);
                f.draw(*inst, c);
                f.relayout(*copy, *p, c);
                f.draw(*copy, c);
            };
            // Its allocations without failures, and the reference drawing.
            for (const auto &[name, font_file] : s.fonts) f.eng.fonts().map_font(name, font_file);
            f.eng.clear_log();
            alloc_faults::stop_failing();
            const long live_before = alloc_faults::live_blocks();
            strings reference;
            {
                std::unique_ptr<pitwall::instance> inst, copy;
                sequence(inst, copy);
                reference = drawing(f.draw(*inst, c));
            }
            const long sequence_allocations = alloc_faults::allocations();
            std::set<std::string> said_anyway; // errors that are not about memory (a missing font)
            for (const pitwall::log_line &l : f.eng.log())
                if (l.level == 0) said_anyway.insert(l.text);
            ASSERT_EQ(alloc_faults::live_blocks(), live_before) << "leak without any failure";

            // Each allocation fails in its own run; a run that reaches sites no run has failed yet
            // (a rebuild after a lost string) is repeated with those failing as well.
            std::set<pitwall::testing::alloc_site> also;
            for (long n = 1; n <= sequence_allocations;) {
                SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(sequence_allocations) +
                             (also.empty() ? "" : " and sites reached after it"));
                f.eng.clear_log();
                alloc_faults::fail_nth(n);
                alloc_faults::also_fail_first_at(also);
                const auto reached_before = alloc_faults::reached();
                std::unique_ptr<pitwall::instance> inst, copy;
                sequence(inst, copy);
                alloc_faults::stop_failing();
                const bool repeat = also.empty();
                also.clear();
                if (repeat)
                    for (const auto &site : alloc_faults::reached())
                        if (reached_before.count(site) == 0 && alloc_faults::failed().count(site) == 0) also.insert(site);

                for (const pitwall::log_line &l : f.eng.log())
                    EXPECT_TRUE(l.level != 0 || is_allocation_message(l.text) || said_anyway.count(l.text) != 0)
                        << l.text;

                // Memory is back: both draw as the reference once they lay out again.
                f.relayout(*inst, *p, c);
                f.draw(*inst, c);
                EXPECT_EQ(first_difference(drawing(f.draw(*inst, c)), reference), "") << "original after the failure";
                f.relayout(*copy, *p, c);
                f.draw(*copy, c);
                EXPECT_EQ(first_difference(drawing(f.draw(*copy, c)), reference), "") << "clone after the failure";
                copy.reset();
                inst.reset();
                EXPECT_EQ(alloc_faults::live_blocks(), live_before) << "blocks leaked";
                ++runs_per_widget[p->display_name()];
                if (::testing::Test::HasFailure()) return; // one broken site is enough to read
                if (also.empty()) ++n;
            }
        }
    }

    // Every site any run reached was made to fail at least once.
    std::map<std::string, int> sites_per_library;
    for (const auto &site : alloc_faults::reached()) {
        EXPECT_EQ(alloc_faults::failed().count(site), 1u)
            << site.library << "+0x" << std::hex << site.offset << " allocated but never failed";
        ++sites_per_library[site.library];
    }
    int total = 0;
    for (const auto &[library, count] : sites_per_library) {
        std::printf("alloc_failure: %s: %d allocation sites failed\n", library.c_str(), count);
        total += count;
    }
    long runs = 0;
    for (const auto &[widget, count] : runs_per_widget) runs += count;
    std::printf("alloc_failure: %d sites in %zu plug-ins, %ld failing runs\n", total, sites_per_library.size(), runs);
    EXPECT_EQ(runs_per_widget.size(), 15u) << "a widget of the examples never allocated";
}

} // namespace
