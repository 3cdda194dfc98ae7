// CAN frames decoded through a DBC's table as a can: or candump: feed decodes them: a million
// frames of a dashboard's bus (four messages, both byte orders, multiplexed pages, a 64-byte CAN FD
// frame, ids nobody wants among them) a pass, every signal given to its channel. Frames a second
// are the items/s; "allocs/frame" is the heap allocations a frame costs (none).
#include "alloc_counter.h"

#include "pitwall/can_decode.h"
#include "pitwall/candump_log.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

using namespace pitwall::can;

const char *const bus_dbc = R"(
BO_ 2364540158 ENGINE_1: 8 ECU
 SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] "rpm" DASH
 SG_ Gear : 0|4@1- (1,0) [-1|8] "" DASH
 SG_ WaterTemp : 15|10@0+ (0.1,-40) [-40|62.3] "degC" DASH
 SG_ Torque : 47|13@0- (0.5,0) [-2048|2047.5] "Nm" DASH
BO_ 291 PAGES: 8 DASH
 SG_ Page M : 0|8@1+ (1,0) [0|255] "" ECU
 SG_ OilPressure m1 : 8|16@1+ (0.1,0) [0|1000] "kPa" ECU
 SG_ OilTemp m1 : 24|8@1+ (1,-40) [0|0] "degC" ECU
 SG_ Lambda m2 : 8|32@1+ (1,0) [0|2] "" ECU
 SG_ Fuel : 63|8@0+ (0.4,0) [0|100] "%" ECU
BO_ 1024 WIDE: 64 ECU
 SG_ Odometer : 0|64@1+ (1,0) [0|0] "m" DASH
 SG_ Position : 71|64@0- (1e-07,0) [0|0] "deg" DASH
 SG_ Speed : 131|21@1- (0.01,0) [0|0] "m/s" DASH
 SG_ Accel : 263|64@0+ (1,0) [0|0] "g" DASH
BO_ 1280 WHEELS: 8 ABS
 SG_ FL : 0|16@1+ (0.01,0) [0|0] "km/h" DASH
 SG_ FR : 16|16@1+ (0.01,0) [0|0] "km/h" DASH
 SG_ RL : 39|16@0+ (0.01,0) [0|0] "km/h" DASH
 SG_ RR : 55|16@0+ (0.01,0) [0|0] "km/h" DASH
SIG_VALTYPE_ 291 Lambda : 1;
SIG_VALTYPE_ 1024 Accel : 2;
)";

constexpr size_t frames_a_pass = 1000000;

struct bus {
    database db;
    frame_decoder decoder;
    std::vector<can_frame_record> frames;
    bool ok = false;

    bus() {
        if (!parse_dbc(bus_dbc, "bus.dbc", db, nullptr)) return;
        std::vector<wanted_signal> wanted;
        for (const message &m : db.messages)
            for (const signal &s : m.signals) wanted.push_back({m.name, s.name, wanted.size()});
        if (!decoder.build(db, wanted).empty()) return;
        // Ids as a bus mixes them: mostly the dashboard's messages, one frame in ten another's.
        std::mt19937 random(7);
        frames.resize(frames_a_pass);
        for (can_frame_record &f : frames) {
            const unsigned pick = random() % 10;
            const message &m = db.messages[pick % db.messages.size()];
            f.id = pick == 9 ? 0x7AB : m.id;
            f.extended = pick == 9 ? false : m.extended;
            f.length = m.length;
            for (uint8_t &b : f.data) b = uint8_t(random());
            if (m.name == "PAGES") f.data[0] = uint8_t(1 + random() % 2);
        }
        ok = true;
    }
};

const bus &the_bus() {
    static const bus b;
    return b;
}

void can_decode_frames(benchmark::State &state) {
    const bus &b = the_bus();
    if (!b.ok) {
        state.SkipWithError("the database did not read");
        return;
    }
    std::vector<double> channels(b.decoder.signals());
    size_t given = 0;
    alloc_counter::reset();
    for (auto _ : state) {
        alloc_counter::start();
        for (const can_frame_record &f : b.frames)
            given += b.decoder.decode(f.id, f.extended, f.data.data(), f.length,
                                      [&](size_t channel, double value) { channels[channel] = value; });
        alloc_counter::stop();
        benchmark::DoNotOptimize(channels.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(frames_a_pass));
    const double frames = double(state.iterations()) * double(frames_a_pass);
    state.counters["allocs/frame"] = double(alloc_counter::allocations) / frames;
    state.counters["values/frame"] = double(given) / frames;
}
BENCHMARK(can_decode_frames)->Unit(benchmark::kMillisecond);

// The same frames as lines of a candump log, each read and then decoded: a candump: feed's work.
void can_decode_candump_lines(benchmark::State &state) {
    const bus &b = the_bus();
    if (!b.ok) {
        state.SkipWithError("the database did not read");
        return;
    }
    std::vector<std::string> lines;
    lines.reserve(frames_a_pass / 10);
    for (size_t i = 0; i < frames_a_pass / 10; ++i) {
        can_frame_record f = b.frames[i];
        f.time = 1700000000.0 + double(i) * 0.0001;
        f.iface = "can0";
        f.fd = f.length > 8;
        lines.push_back(candump_line(f));
    }
    std::vector<double> channels(b.decoder.signals());
    can_frame_record f;
    size_t refused = 0;
    alloc_counter::reset();
    for (auto _ : state) {
        alloc_counter::start();
        for (const std::string &line : lines) {
            if (!parse_candump_line(line, f, nullptr)) {
                ++refused;
                continue;
            }
            b.decoder.decode(f.id, f.extended, f.data.data(), f.length,
                             [&](size_t channel, double value) { channels[channel] = value; });
        }
        alloc_counter::stop();
        benchmark::DoNotOptimize(channels.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(lines.size()));
    const double frames = double(state.iterations()) * double(lines.size());
    state.counters["allocs/frame"] = double(alloc_counter::allocations) / frames;
    state.counters["refused"] = double(refused);
}
BENCHMARK(can_decode_candump_lines)->Unit(benchmark::kMillisecond);

} // namespace
