// The instance record size each plug-in's descriptor asks the engine for. On the 32-bit boards the
// engine allocates exactly these bytes and hands them zero-filled to the plug-in, so each size is
// fixed there; a 64-bit build lays its pointers out wider and only has to ask for something.
#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct record_size {
    const char *deliverable;
    uintptr_t bytes_on_32_bit;
};

constexpr record_size k_record_sizes[] = {
    {"libgre-plugin-LevelBarVertical", 340}, {"libgre-plugin-LevelBarHorizontal", 340},
    {"libgre-plugin-ArcGaugeLarge", 200},    {"libgre-plugin-DialGaugeSmall", 180},
    {"libgre-plugin-DialGaugeLarge", 180},   {"libgre-plugin-ArcGaugeSmall", 172},
    {"libgre-plugin-AlertFlat", 1408},       {"libgre-plugin-AlertFramed", 548},
    {"libgre-plugin-ValueBoxFramed", 564},   {"libgre-plugin-ValueBoxFlat", 412},
    {"libgre-plugin-ValueBoxPlain", 112},    {"libgre-plugin-TextLabel", 68},
    {"libgre-plugin-TextLabelScroll", 20},   {"libgre-plugin-TextLabelMenu", 12},
    {"libgre-plugin-SplashImage", 8},
};

TEST(record_sizes, every_built_plugin_has_a_size_in_the_table) {
    std::vector<std::string> built;
    if (DIR *d = opendir(PITWALL_PLUGIN_DIR)) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n.rfind("libgre-plugin-", 0) == 0 && n.ends_with(".so")) built.push_back(n.substr(0, n.size() - 3));
        }
        closedir(d);
    }
    std::vector<std::string> listed;
    for (const record_size &r : k_record_sizes) listed.push_back(r.deliverable);
    std::sort(built.begin(), built.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(built, listed);
}

TEST(record_sizes, each_descriptor_asks_for_its_record_size) {
    for (const record_size &r : k_record_sizes) {
        SCOPED_TRACE(r.deliverable);
        // A fresh engine each time, released before the next library loads.
        pitwall::engine eng{pitwall::testing::k_app_dir};
        pitwall::error err;
        const pitwall::plugin *p = eng.load_plugin(pitwall::testing::plugin_path(r.deliverable), &err);
        ASSERT_NE(p, nullptr) << err;
        const uintptr_t size = p->descriptor().data_size;
        if constexpr (sizeof(void *) == 4)
            EXPECT_EQ(size, r.bytes_on_32_bit);
        else
            EXPECT_GT(size, 0u);
    }
}

} // namespace
