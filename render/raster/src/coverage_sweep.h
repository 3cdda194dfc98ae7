// coverage_sweep.h - the exact covered area of each pixel under closed contours, row by row.
//
// Contours are cut into chains (chain_set) and added to a box; the area they enclose is their union under the non-zero
// winding rule, so overlapping contours (or a contour crossing itself) count once. Each pixel
// gets the exact fraction of its area inside, as a byte (0 to 255), with no sampling.
//
// How: every contour is cut into chains, runs of edges that keep going down (or up). A pixel
// row is swept in slabs, horizontal strips in which no chain starts, ends or crosses another,
// so that the chains' left-to-right order, and with it the winding between them, is fixed.
// Only the chains where the winding passes between zero and non-zero bound the union; each of
// those adds its signed area, edge piece by edge piece, to the cells of the row (per cell the
// area the piece leaves to its right inside the cell, the rest to the next cell). A running sum
// along the row then gives each pixel's coverage. Work grows with the edges times the rows they
// cross plus the pixels near an edge; between edges a row is one run of a constant byte.
//
// Everything is kept between shapes: drawing the same kind of shape again allocates nothing.
#ifndef PITWALL_RASTER_COVERAGE_SWEEP_H
#define PITWALL_RASTER_COVERAGE_SWEEP_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pitwall::raster {

struct point {
    double x, y;
};

// Takes a row's coverage run by run: cover[0 .. count) for the pixels x .. x + count - 1 of
// row y, in canvas pixels. A run may hold zero bytes; pixels outside every run and every full
// stretch are not covered at all.
class coverage_sink {
public:
    // Where row y's bytes are to be written, the first for the box's left column, as many as
    // the box is wide; only those inside the row's runs are written. Rows come top to bottom.
    virtual uint8_t *row(int64_t y) = 0;

    // Row y's run, pointing into the buffer row(y) gave.
    virtual void run(int64_t y, int64_t x, int32_t count, const uint8_t *cover) = 0;

    // Pixels x .. x + count - 1 of row y are wholly covered. A sink that deals with them itself
    // returns true; otherwise they come as 255s inside a run.
    virtual bool full(int64_t y, int64_t x, int32_t count) {
        (void)y, (void)x, (void)count;
        return false;
    }

protected:
    ~coverage_sink() = default;
};

// A closed contour cut once into its chains, in canvas coordinates, so that it can be added to
// many boxes (a band replayed in several small rectangles), each time only the parts of its chains
// that cross the box's rows.
struct chain_set {
    struct run {
        uint32_t first, last; // vertices[first .. last], y strictly increasing
        int32_t winding;      // +1 where the contour runs down the chain, -1 where it runs up
    };
    std::vector<point> vertices;
    std::vector<run> runs;

    void clear() {
        vertices.clear();
        runs.clear();
    }
    // Cut a closed polygon (the last point joins the first; canvas coordinates, 0.0 the left edge
    // of pixel 0) into chains, appended. Points must be finite. A level contour has no area and
    // adds nothing.
    void add_contour(const point *points, size_t count);
};

class coverage_sweep {
public:
    // Forget the contours added so far; coverage is wanted for the pixels [x0, x1) x [y0, y1).
    void reset(int64_t x0, int64_t y0, int64_t x1, int64_t y1);

    // The chains of `set`, each from the last vertex above the box's rows to the first below them:
    // inside the box, exactly what its whole contours give.
    void add_chains(const chain_set &set);

    // Hand the coverage of the rows of the box to `sink`, top to bottom.
    void render(coverage_sink &sink);

    // Let go of buffers grown beyond what ordinary shapes need (after an outsized one).
    void trim();

private:
    struct vertex {
        double x, y;
        double slope; // dx / dy of the edge from here to the next vertex of the chain
    };
    struct chain {
        uint32_t first, last; // vertices_[first .. last], y strictly increasing
        uint32_t at;          // the edge (at, at + 1) holding the sweep's current y
        int32_t winding;      // +1 where the contour runs down the chain, -1 where it runs up
        double key;           // x in the middle of the current slab
        double lo, hi;        // x range over the current slab
    };
    struct span {
        int32_t from, to; // cells [from, to) written in the current row
    };

    double top(const chain &c) const { return vertices_[c.first].y; }
    double bottom(const chain &c) const { return vertices_[c.last].y; }
    void add_chain(size_t first, int32_t winding);
    void sweep_slab(double ya, double yb);
    bool spans_slab(const chain &c, double ya, double yb) const { return top(c) <= ya && bottom(c) >= yb; }
    void measure(chain &c, double ya, double yb, double ym);
    void sort_active();
    double first_crossing(const chain &a, const chain &b, double ya, double yb) const;
    void add_chain_area(const chain &c, double ya, double yb, double weight);
    void add_line(double xa, double ya, double xb, double yb, double weight);
    void touch(int32_t from, int32_t to);
    void finish_row(int64_t row, coverage_sink &sink);

    int64_t x0_ = 0, y0_ = 0;
    int32_t width_ = 0, height_ = 0;

    std::vector<vertex> vertices_;
    std::vector<chain> chains_;
    std::vector<uint32_t> by_top_;  // chains in order of their top
    std::vector<uint32_t> active_;  // chains meeting the current row, in x order
    std::vector<double> events_;    // where chains start or end inside the current row
    std::vector<float> cells_;      // width_ + 2 of them, zero outside the row being swept
    std::vector<span> touched_;     // which cells the current row has written
    int cuts_left_ = 0;             // slab cuts at crossings still allowed in the current row
};

} // namespace pitwall::raster

#endif // PITWALL_RASTER_COVERAGE_SWEEP_H
