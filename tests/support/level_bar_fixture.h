// level_bar_fixture.h - a level bar plug-in in the harness with its image set and font staged.
//
// Every palette colour gets its images: segment and mark nine-patches of 20 x 14 (vertical) or
// 14 x 20 (horizontal) with 4-pixel borders, a continuous fill image and the shine image.
#ifndef PITWALL_TESTS_LEVEL_BAR_FIXTURE_H
#define PITWALL_TESTS_LEVEL_BAR_FIXTURE_H

#include "plugin_harness.h"

#include <string>
#include <vector>

namespace pitwall::testing {

inline const std::vector<std::string> k_bar_colours = {"white", "red", "yellow", "orange",
                                                       "green", "blue", "violet"};

struct level_bar_fixture {
    explicit level_bar_fixture(bool horizontal)
        : h(horizontal ? "libgre-plugin-LevelBarHorizontal" : "libgre-plugin-LevelBarVertical") {
        h.eng.fonts().add_font("fonts/CPMono_v07 Plain.otf");
        for (const std::string &c : k_bar_colours) {
            const std::string dir = "images/CommonBar/" + c;
            if (horizontal) {
                h.rec.add_nine_patch(dir + "_fill.9.png", 14, 20, 4, 6, 4, 12);
                h.rec.add_nine_patch(dir + "_mark.9.png", 14, 20, 4, 6, 4, 12);
                h.rec.add_nine_patch(dir + "_fill_v.9.png", 90, 3, 1, 88, 1, 1);
                h.rec.add_image(dir + "_shine_top.png", 100, 11);
            } else {
                h.rec.add_nine_patch(dir + "_fill_v.9.png", 20, 14, 4, 12, 4, 6);
                h.rec.add_nine_patch(dir + "_mark_v.9.png", 20, 14, 4, 12, 4, 6);
                h.rec.add_nine_patch(dir + "_fill.9.png", 3, 90, 1, 1, 1, 88);
                h.rec.add_image(dir + "_shine_left.png", 11, 100);
            }
        }
    }

    // A bar of the given size at (0, 0) with a 0..100 range, green (5) bar and white (1) ticks.
    std::unique_ptr<instance> make(int64_t width, int64_t height) {
        auto bar = h.make();
        h.set(*bar, "width", width);
        h.set(*bar, "height", height);
        h.set(*bar, "value_min", 0.0);
        h.set(*bar, "value_max", 100.0);
        h.set(*bar, "color_bar", int64_t{5});
        h.set(*bar, "color_tick", int64_t{1});
        return bar;
    }

    int draw(instance &bar) { return h.draw(bar, h.control(0, 0, 800, 480)); }

    // Trace lines starting with a prefix and containing a fragment.
    int count(const std::string &prefix, const std::string &fragment = "") const {
        int n = 0;
        for (const std::string &l : h.lines(prefix))
            if (l.find(fragment) != std::string::npos) ++n;
        return n;
    }

    plugin_harness h;
};

} // namespace pitwall::testing

#endif // PITWALL_TESTS_LEVEL_BAR_FIXTURE_H
