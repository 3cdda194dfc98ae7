// ellipse.h - filled elliptical bands: value arcs, rings, dial faces.
//
// A band is the area between an outer ellipse (full width x height about a centre) and the same
// ellipse shrunk by `thickness`, from one angle to another:
//
//            start                   ring sector: outer arc start -> end, inner arc end -> start,
//           .-'''-.                  closed back to the outer start point
//         /  .---. \                 pie sector (thickness not below a radius): the centre, then
//        |  /     \ |  <- thickness  the outer arc start -> end
//         \ '-._.-' /
//           '-...-'  end             angles in degrees, 0 at 3 o'clock, clockwise on screen
//
// The polygon has about one point per 4 pixels of circumference, so it is smooth at any size; the
// point buffer is one heap block per call, freed before the call returns.
#ifndef PITWALL_GAUGES_ELLIPSE_H
#define PITWALL_GAUGES_ELLIPSE_H

#include "gre_host.h"

#include <cstdint>

namespace gauges {

// Degrees to radians in single precision, as every gauge converts its angles.
inline constexpr float degrees_to_radians = 0.017453292f;

// The shape of one band's polygon, before any point is placed.
struct ellipse_plan {
    float start, end; // degrees, start <= end, end - start <= 360
    float step;       // degrees between two points of an edge
    float rx, ry;     // outer radii
    float irx, iry;   // inner radii; both 0 for a pie sector
    int32_t capacity; // points the buffer holds
};

enum class plan_result {
    draw,        // a polygon to build
    nothing,     // an empty band (equal angles, or geometry that is not a number)
    too_large    // more points than any buffer may hold: treated as an allocation failure
};

// Normalise the angles (swap, span beyond 360 becomes the full ring 0..360) and size the polygon.
plan_result plan_ellipse(float width, float height, float start, float end, float thickness,
                         ellipse_plan *plan);

// Place the points (x, y pairs into `points`, room for plan.capacity points). Returns the number
// written; *complete is false when the buffer filled up before an edge reached its last point.
int32_t build_ellipse_points(const ellipse_plan &plan, float centre_x, float centre_y, float *points,
                             bool *complete);

// Build the band's polygon and fill it (and outline it) in `colour` at the context's current
// alpha. 0 on success or when there is nothing to draw, -1 when the buffer or the host path
// cannot be had (logged at level 0). Gauges ignore the result: a missing band is retried next draw.
int32_t fill_ellipse_arc(gr_context_t *ctx, uint32_t colour, float width, float height, float start,
                         float end, float thickness, float centre_x, float centre_y);

} // namespace gauges

#endif // PITWALL_GAUGES_ELLIPSE_H
