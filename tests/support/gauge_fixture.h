// gauge_fixture.h - a round gauge plug-in in the harness with the default font resolvable, and the
// helpers the gauge tests share: many attributes from one list, counting trace lines, reading the
// points of a path and the placement of an image back as numbers.
#ifndef PITWALL_TESTS_GAUGE_FIXTURE_H
#define PITWALL_TESTS_GAUGE_FIXTURE_H

#include "plugin_harness.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <numbers>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace pitwall::testing {

inline constexpr const char *k_default_font = "fonts/CPMono_v07 Plain.otf";

using attr_list = std::vector<std::pair<std::string, attr_value>>;

// One value for many attributes, for example every colour of a widget.
inline attr_list all_set_to(std::initializer_list<const char *> names, const attr_value &value) {
    attr_list out;
    for (const char *n : names) out.emplace_back(n, value);
    return out;
}

struct point {
    double x, y;
};

// The point at `degrees` (0 at 3 o'clock, clockwise on screen) on a circle about (cx, cy).
inline point polar(double cx, double cy, double radius, double degrees) {
    const double r = degrees * std::numbers::pi / 180.0;
    return {cx + radius * std::cos(r), cy + radius * std::sin(r)};
}

// Trace coordinates are single-precision results; a thousandth of a pixel covers their rounding.
inline void expect_point(const point &actual, const point &expected, double tolerance = 1e-3) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

// The points of a "create_path KIND flags=F count=N [x,y x,y ...] -> pathK" line.
inline std::vector<point> path_points(const std::string &line) {
    std::vector<point> out;
    const size_t open = line.find('[');
    if (open == std::string::npos) return out;
    const char *p = line.c_str() + open + 1;
    for (;;) {
        char *next = nullptr;
        const double x = std::strtod(p, &next);
        if (next == p || *next != ',') break;
        p = next + 1;
        const double y = std::strtod(p, &next);
        if (next == p) break;
        out.push_back({x, y});
        p = next;
    }
    return out;
}

// A "draw_image IMAGE X Y WxH pivot PX PY" line, compared with tolerance on the floats.
inline void expect_image_draw(const std::string &line, const std::string &image, double x, double y, int w, int h,
                              double pivot_x, double pivot_y) {
    char name[256] = {};
    double ax = NAN, ay = NAN, apx = NAN, apy = NAN;
    int aw = 0, ah = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "draw_image %255s %lf %lf %dx%d pivot %lf %lf", name, &ax, &ay, &aw, &ah, &apx,
                          &apy),
              7)
        << line;
    EXPECT_EQ(name, image);
    EXPECT_EQ(aw, w);
    EXPECT_EQ(ah, h);
    for (auto [actual, expected] : {std::pair{ax, x}, {ay, y}, {apx, pivot_x}, {apy, pivot_y}})
        EXPECT_NEAR(actual, expected, 1e-4) << line;
}

struct gauge_fixture {
    explicit gauge_fixture(const std::string &deliverable) : h(deliverable) {
        h.eng.fonts().add_font(k_default_font);
    }

    // Stage images; a load with a requested size reports that size.
    void stage(const std::vector<std::string> &paths) {
        for (const std::string &p : paths) h.rec.add_image(p, 10, 10);
    }

    void set(instance &inst, const attr_list &attrs) {
        for (const auto &[name, value] : attrs) {
            SCOPED_TRACE(name);
            h.set(inst, name, value);
        }
    }

    std::unique_ptr<instance> make(const attr_list &attrs) {
        auto inst = h.make();
        set(*inst, attrs);
        return inst;
    }

    // Draw on a control at (x, y); the instance takes its size unless the test gave it one.
    int draw(instance &inst, int16_t width, int16_t height, int16_t x = 0, int16_t y = 0) {
        return h.draw(inst, h.control(x, y, width, height));
    }

    // Trace lines starting with a prefix and containing a fragment.
    int count(const std::string &prefix, const std::string &fragment = "") const {
        int n = 0;
        for (const std::string &l : h.lines(prefix)) n += l.find(fragment) != std::string::npos;
        return n;
    }

    // The needle angle of this draw: the first rotation set, NaN without one.
    double rotation() const {
        for (const std::string &l : h.lines("set_attr 3 ")) return std::strtod(l.c_str() + 11, nullptr);
        return NAN;
    }

    // The trace without the lines of the given prefixes, path handles written "path" (the
    // recording context numbers them on across draws).
    std::vector<std::string> trace_without(const std::vector<std::string> &prefixes) const {
        static const std::regex handle{"path[0-9]+"};
        std::vector<std::string> out;
        for (const std::string &l : h.trace()) {
            bool skip = false;
            for (const std::string &p : prefixes) skip = skip || l.rfind(p, 0) == 0;
            if (!skip) out.push_back(std::regex_replace(l, handle, "path"));
        }
        return out;
    }

    // The points of the n-th band (a polygon path) filled in `colour`, for example "#121212";
    // empty when there is none.
    std::vector<point> band(const std::string &colour, int nth = 0) const {
        const auto &t = h.trace();
        const std::string fill = " " + colour + " " + colour + " 1";
        for (size_t i = 1; i < t.size(); ++i)
            if (t[i].rfind("draw_path ", 0) == 0 && t[i].find(fill) != std::string::npos &&
                t[i - 1].rfind("create_path 2 ", 0) == 0 && nth-- == 0)
                return path_points(t[i - 1]);
        return {};
    }

    plugin_harness h;
};

} // namespace pitwall::testing

#endif // PITWALL_TESTS_GAUGE_FIXTURE_H
