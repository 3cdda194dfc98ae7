// The gauge scale: ticks placed at angles, their marks, the value-to-angle segments and the zone
// counts of the marks. Everything here runs at a full recompute only.
#include "gauge_scale.h"

#include "ellipse.h"
#include "threshold.h"

#include <cmath>
#include <cstdlib>

namespace gauges {
namespace {

float sine_of(float radians) { return static_cast<float>(std::sin(static_cast<double>(radians))); }
float cosine_of(float radians) { return static_cast<float>(std::cos(static_cast<double>(radians))); }

tick_mark mark_at(float cosine, float sine, float c, float inner, float outer) {
    const float r_in = c - inner, r_out = c - outer;
    return {r_in * cosine + c, r_in * sine + c, r_out * cosine + c, r_out * sine + c};
}

scale_segment segment_between(float start_value, float start_angle, float end_value, float end_angle) {
    const float value_diff = end_value - start_value;
    return {start_angle, start_value, end_value, value_diff, end_angle - start_angle,
            value_diff == 0.0f ? 0.0f : 1.0f / value_diff};
}

// Percentages become angles along the dial, with their trigonometry; then the marks in value
// order: the major mark of each tick, preceded by the minor marks of the gap before it.
void place_ticks(gauge_ticks &t, const scale_input &in, const mark_radii &radii) {
    for (int32_t i = 0; i < t.tick_count; ++i) {
        tick_entry &tick = t.ticks[i];
        tick.pos = (in.angle_span * 0.01f) * tick.pos + in.angle_start;
        tick.angle = tick.pos * degrees_to_radians;
        tick.sine = sine_of(tick.angle);
        tick.cosine = cosine_of(tick.angle);
    }
    const float c = static_cast<float>(in.gauge_size) * 0.5f;
    const int32_t s = subsection_count(in.subsections);
    int32_t n = 0;
    t.marks[n++] = mark_at(t.ticks[0].cosine, t.ticks[0].sine, c, radii.major_inner, radii.major_outer);
    for (int32_t i = 1; i < t.tick_count; ++i) {
        const float previous = t.ticks[i - 1].angle, current = t.ticks[i].angle;
        for (int32_t j = 1; j < s; ++j) {
            const float a = previous + static_cast<float>(j) * (current - previous) / static_cast<float>(s);
            t.marks[n++] = mark_at(cosine_of(a), sine_of(a), c, radii.minor_inner, radii.minor_outer);
        }
        t.marks[n++] = mark_at(t.ticks[i].cosine, t.ticks[i].sine, c, radii.major_inner, radii.major_outer);
    }
}

// Through the ticks with tick_mode 3, else one segment over the whole scale.
bool build_segments(gauge_ticks &t, const scale_input &in) {
    const float end_angle = in.angle_start + in.angle_span;
    const bool piecewise = in.tick_mode == 3 && t.tick_count > 0;
    const int32_t room = piecewise ? t.tick_count + 1 : 1;
    t.segments = static_cast<scale_segment *>(std::calloc(static_cast<size_t>(room), sizeof(scale_segment)));
    if (t.segments == nullptr) return false;
    int32_t n = 0;
    if (!piecewise) {
        t.segments[n++] = segment_between(in.value_min, in.angle_start, in.value_max, end_angle);
    } else {
        const tick_entry &first = t.ticks[0], &last = t.ticks[t.tick_count - 1];
        if (first.value > in.value_min)
            t.segments[n++] = segment_between(in.value_min, in.angle_start, first.value, first.pos);
        for (int32_t i = 1; i < t.tick_count; ++i)
            t.segments[n++] =
                segment_between(t.ticks[i - 1].value, t.ticks[i - 1].pos, t.ticks[i].value, t.ticks[i].pos);
        if (in.value_max > last.value)
            t.segments[n++] = segment_between(last.value, last.pos, in.value_max, end_angle);
    }
    t.segment_count = n;
    return true;
}

} // namespace

int32_t subsection_count(uint8_t subsections) { return subsections == 0 ? 1 : subsections; }

int32_t mark_count(int32_t tick_count, uint8_t subsections) {
    return tick_count <= 0 ? 0 : 1 + (tick_count - 1) * subsection_count(subsections);
}

void free_gauge_ticks(gauge_ticks &t) {
    kit::free_tick_list(&t.ticks, &t.tick_count);
    std::free(t.segments);
    t.segments = nullptr;
    t.segment_count = 0;
    std::free(t.marks);
    t.marks = nullptr;
}

bool rebuild_gauge_ticks(gauge_ticks &t, const scale_input &in, const mark_radii &radii,
                         gr_application_t *app, const kit::tick_messages &messages) {
    free_gauge_ticks(t);
    const kit::tick_scale scale{in.value_min,      in.value_max, in.lower_threshold,
                                in.upper_threshold, in.tick_mode >= 3, kit::tick_position_unit::span,
                                in.angle_span};
    const int32_t kept = kit::parse_ticks(in.ticks, scale, app, messages);
    if (kept < 0) return false;
    if (kept > 0) {
        t.ticks = kit::take_ticks<tick_entry>(kept, app, messages);
        if (t.ticks == nullptr) return false;
        t.tick_count = kept;
        const size_t marks = static_cast<size_t>(mark_count(kept, in.subsections));
        t.marks = static_cast<tick_mark *>(std::calloc(marks, sizeof(tick_mark)));
        if (t.marks == nullptr) {
            free_gauge_ticks(t);
            messages.tick_memory(app);
            return false;
        }
        place_ticks(t, in, radii);
    }
    if (!build_segments(t, in)) {
        free_gauge_ticks(t);
        return false;
    }
    return true;
}

void count_mark_zones(gauge_ticks &t, uint8_t subsections, float lower_threshold, float upper_threshold) {
    int32_t *zc = t.zone_counts;
    zc[0] = zc[1] = zc[2] = 0;
    if (t.tick_count <= 0) return;
    const kit::thresholds thresholds{lower_threshold, upper_threshold};
    const int32_t s = subsection_count(subsections);
    zc[t.ticks[0].zone] += 1;
    for (int32_t i = 1; i < t.tick_count; ++i) {
        const tick_entry &previous = t.ticks[i - 1], &current = t.ticks[i];
        if (s <= 1) {
            zc[current.zone] += 1;
        } else if (current.zone == previous.zone) {
            zc[current.zone] += s; // the minor marks before it and the tick itself
        } else {
            zc[current.zone] += 1;
            for (int32_t j = 1; j < s; ++j) {
                const float v = (current.value - previous.value) / static_cast<float>(s) * static_cast<float>(j) +
                                previous.value;
                zc[kit::zone_of(v, thresholds)] += 1;
            }
        }
    }
}

} // namespace gauges
