// A soak: random operations over all fifteen plug-ins at once - create, clone, destroy, set any
// attribute to a random value (good, bad or absurd), move the control, draw - with a fixed seed.
// At every tenth of the run all instances are destroyed and the plug-ins' heap must be back where
// it started: memory stays flat however long it runs. PITWALL_SOAK_OPERATIONS sets the count
// (scripts/soak.sh runs a million under the sanitizers); the suite runs a shorter one.
#include "alloc_faults.h"

#include "pitwall/engine.h"
#include "pitwall/recording_context.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using pitwall::testing::alloc_faults;

long soak_operations() {
    const char *env = std::getenv("PITWALL_SOAK_OPERATIONS");
    long n = env != nullptr ? std::strtol(env, nullptr, 10) : 0;
    return n > 0 ? n : 100000;
}

struct live_instance {
    pitwall::plugin *plug;
    std::unique_ptr<pitwall::instance> inst;
    int16_t x, y, width, height;
};

class soak {
public:
    explicit soak(unsigned seed) : random_(seed) {}

    pitwall::attr_value number(std::string_view type) {
        static const double floats[] = {0,      1,       -1,       0.5,     100,     7350,  1e6,
                                        -1e6,   3.4e38,  -3.4e38,  NAN,     INFINITY, -INFINITY, FLT_MIN};
        static const int64_t integers[] = {0, 1, 2, 3, 4, 5, 8, 50, 255, 256, 32767, -1, -32768, INT_MIN, INT_MAX, UINT_MAX};
        if (type == GR_TYPE_FLOAT) {
            if (pick(3) == 0) return floats[pick(std::size(floats))];
            return std::uniform_real_distribution<double>(-200, 9000)(random_);
        }
        if (pick(4) == 0) return static_cast<int64_t>(std::uniform_int_distribution<uint32_t>()(random_));
        int64_t v = integers[pick(std::size(integers))];
        if (type == GR_TYPE_UINT8) return static_cast<int64_t>(static_cast<uint8_t>(v));
        if (type == GR_TYPE_UINT32) return static_cast<int64_t>(static_cast<uint32_t>(v));
        return static_cast<int64_t>(static_cast<int32_t>(v));
    }

    pitwall::attr_value text() {
        static const char *const texts[] = {
            "",
            "Oil",
            "<channel value> rpm",
            "%n%s%x%%",
            "0;0;0|30;1000;1|60;2000;2|90;3000;3",
            ";50;50|;75;|;100;100|;125;|;150;150",
            "||;;|;;;|abc;def;ghi|",
            "images/missing.png",
            "line one\nline two\nline three",
        };
        switch (pick(6)) {
        case 0: return pitwall::null_string{};
        case 1: return std::string(1 + pick(300), static_cast<char>('!' + pick(90)));
        case 2: { // ticks of random length
            std::string t;
            for (size_t i = 0, n = pick(80); i < n; ++i)
                t += ";" + std::to_string(static_cast<int>(pick(200)) - 20) + ";" + std::to_string(pick(9)) + "|";
            return t;
        }
        default: return std::string(texts[pick(std::size(texts))]);
        }
    }

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

private:
    std::mt19937 random_;
};

TEST(soak, random_operations_over_every_plugin_keep_memory_flat) {
    pitwall::engine eng{"/app"};
    pitwall::recording_context rec{eng};
    eng.set_render_context(rec.context());
    gr_canvas_t canvas{{800, 480}};
    std::vector<pitwall::error> errors;
    std::vector<pitwall::plugin *> plugins = eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
    ASSERT_EQ(plugins.size(), 15u);
    for (pitwall::plugin *p : plugins) {
        std::string why;
        ASSERT_TRUE(alloc_faults::hook(p->path(), &why)) << why;
    }
    rec.set_text_advance(8);
    rec.add_image("/app/images/missing.png", 32, 32); // one path that does load

    const long operations = soak_operations();
    const long baseline = alloc_faults::live_blocks();
    long peak = 0, draws = 0, failed_draws = 0;
    soak random(20261208);
    std::vector<live_instance> pool;

    for (long op = 1; op <= operations; ++op) {
        const size_t kind = pool.empty() ? 0 : random.pick(20);
        if (kind == 0 && pool.size() < 64) { // create
            pitwall::plugin *p = plugins[random.pick(plugins.size())];
            pool.push_back({p, p->create(), static_cast<int16_t>(random.pick(700)), static_cast<int16_t>(random.pick(400)),
                            static_cast<int16_t>(random.pick(400)), static_cast<int16_t>(random.pick(400))});
        } else if (kind == 1) { // destroy
            pool.erase(pool.begin() + static_cast<long>(random.pick(pool.size())));
        } else if (kind == 2 && pool.size() < 64) { // clone
            live_instance &from = pool[random.pick(pool.size())];
            pool.push_back({from.plug, from.inst->clone(), from.x, from.y, from.width, from.height});
        } else if (kind == 3) { // move and resize the control
            live_instance &l = pool[random.pick(pool.size())];
            l.width = static_cast<int16_t>(static_cast<int>(random.pick(900)) - 100);
            l.height = static_cast<int16_t>(static_cast<int>(random.pick(600)) - 100);
        } else if (kind < 8) { // draw
            live_instance &l = pool[random.pick(pool.size())];
            rec.clear_trace();
            gr_control_t ctl = pitwall::make_control(l.x, l.y, l.width, l.height, &canvas);
            ++draws;
            if (l.inst->draw(rec.context(), ctl) != 0) ++failed_draws;
        } else { // set one attribute of the widget's own table
            live_instance &l = pool[random.pick(pool.size())];
            const std::vector<gr_attribute_t> attrs = l.plug->attributes();
            const gr_attribute_t &a = attrs[random.pick(attrs.size())];
            const std::string_view type = a.type;
            l.inst->set(a.name, type == GR_TYPE_STRING ? random.text() : random.number(type));
        }
        peak = std::max(peak, alloc_faults::live_blocks() - baseline);
        eng.clear_log();

        if (op % (operations / 10 > 0 ? operations / 10 : 1) == 0) {
            pool.clear();
            ASSERT_EQ(alloc_faults::live_blocks(), baseline) << "after " << op << " operations";
        }
    }
    pool.clear();
    EXPECT_EQ(alloc_faults::live_blocks(), baseline);
    std::printf("soak: %ld operations, %ld draws (%ld failed as specified), plug-in heap peak %ld blocks, "
                "back to %ld at every tenth\n",
                operations, draws, failed_draws, peak, baseline);
}

} // namespace
