// The sweep: chains, slabs, cells, and the running sum along each row.
#include "coverage_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace pitwall::raster {
namespace {

// Below these, in pixels, two chains count as meeting rather than crossing, and a slab as empty:
// what rounding leaves where chains meet, far below what a coverage byte can show.
constexpr double x_tolerance = 1e-9;
constexpr double y_tolerance = 1e-9;

// How many slabs a row may be cut into, at most: a slab costs a pass over the row's chains, so
// the fewer chains, the more slabs. Past that (a polygon of thousands of tiny zigzags, or one
// crossing itself everywhere) the row is cut into fixed_slabs fixed slabs, each leaving out the
// chains that begin or end inside it, and rows with more than max_cut_chains chains are not cut
// at crossings: the order at a slab's middle is taken as it is. Chains begin and end in pairs
// at one vertex, so what is left out is mostly the tip of a spike within a slab; ordinary bands
// (a handful of chains per row) never come near either limit.
constexpr size_t slab_work = 16384;
constexpr size_t fixed_slabs = 64;
constexpr size_t max_cut_chains = 256;

// Touched cells this close together are summed as one stretch: cheaper than a run per stretch.
constexpr int32_t merge_gap = 16;
// Uncovered stretches up to this long stay inside a run (a sink call costs more than skipping
// that many zero bytes); full ones from this long on are offered to the sink on their own.
constexpr int32_t zero_gap = 128;
constexpr int32_t min_full = 16;

// Buffers beyond this many vertices are let go of after the shape: ordinary bands stay far
// below. (The cells are bounded by the canvas width and always kept.)
constexpr size_t kept_vertices = size_t{1} << 18;

uint8_t byte_of(float coverage) {
    coverage = std::clamp(coverage, 0.0f, 1.0f);
    return static_cast<uint8_t>(coverage * 255.0f + 0.5f);
}

template <class T> void release_beyond(std::vector<T> &v, size_t kept) {
    if (v.capacity() > kept) std::vector<T>().swap(v);
}

} // namespace

void coverage_sweep::reset(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    x0_ = x0;
    y0_ = y0;
    width_ = static_cast<int32_t>(std::clamp<int64_t>(x1 - x0, 0, INT32_MAX - 2));
    height_ = static_cast<int32_t>(std::clamp<int64_t>(y1 - y0, 0, INT32_MAX));
    vertices_.clear();
    chains_.clear();
    // Cells are left at zero by every row, so a grown buffer needs zeros only in its new part.
    if (cells_.size() < size_t(width_) + 2) cells_.resize(size_t(width_) + 2, 0.0f);
}

void chain_set::add_contour(const point *points, size_t count) {
    if (count < 2) return;
    auto direction = [&](size_t i) {
        const double a = points[i].y, b = points[(i + 1) % count].y;
        return b > a ? 1 : b < a ? -1 : 0;
    };
    // Begin where a chain begins (an edge whose direction differs from the edge before it), so
    // that no chain runs over the end of the list; level edges are left out.
    size_t start = count;
    for (size_t i = 0; i < count && start == count; ++i)
        if (direction(i) != 0 && direction(i) != direction((i + count - 1) % count)) start = i;
    if (start == count) return;
    int running = 0;
    size_t first = 0;
    auto close = [&] {
        if (running == 0) return;
        if (running < 0) std::reverse(vertices.begin() + ptrdiff_t(first), vertices.end());
        runs.push_back(run{uint32_t(first), uint32_t(vertices.size() - 1), running});
    };
    for (size_t k = 0; k < count; ++k) {
        const size_t i = (start + k) % count;
        const int d = direction(i);
        if (d != running) {
            close();
            running = d;
            first = vertices.size();
            if (d != 0) vertices.push_back(points[i]);
        }
        if (d != 0) vertices.push_back(points[(i + 1) % count]);
    }
    close();
}

void coverage_sweep::add_chains(const chain_set &set) {
    if (width_ == 0 || height_ == 0) return;
    const double top = double(y0_), bottom = double(y0_) + double(height_);
    auto below = [](double y, const point &p) { return y < p.y; };
    auto above = [](const point &p, double y) { return p.y < y; };
    for (const chain_set::run &r : set.runs) {
        const point *first = set.vertices.data() + r.first, *end = set.vertices.data() + r.last + 1;
        if (end[-1].y <= top || first->y >= bottom) continue; // never in the box's rows
        // The last vertex at or above the top, and the first at or below the bottom.
        const point *from = std::upper_bound(first, end, top, below);
        if (from != first) --from;
        const point *to = std::lower_bound(from, end, bottom, above);
        if (to == end) --to;
        const size_t at = vertices_.size();
        for (const point *p = from; p <= to; ++p) vertices_.push_back({p->x - double(x0_), p->y - double(y0_), 0.0});
        add_chain(at, r.winding);
    }
}

// The chain of vertices_[first ..] (y increasing), unless it cannot reach the box: below it,
// above it, or wholly to its right. A chain wholly to the left still counts, for the winding of
// what lies to its right.
void coverage_sweep::add_chain(size_t first, int32_t winding) {
    const size_t last = vertices_.size() - 1;
    double left = vertices_[first].x;
    for (size_t i = first + 1; i <= last; ++i) left = std::min(left, vertices_[i].x);
    if (vertices_[last].y <= 0.0 || vertices_[first].y >= double(height_) || left >= double(width_)) {
        vertices_.resize(first);
        return;
    }
    for (size_t i = first; i < last; ++i)
        vertices_[i].slope = (vertices_[i + 1].x - vertices_[i].x) / (vertices_[i + 1].y - vertices_[i].y);
    chains_.push_back(chain{uint32_t(first), uint32_t(last), uint32_t(first), winding, 0.0, 0.0, 0.0});
}

void coverage_sweep::render(coverage_sink &sink) {
    if (chains_.empty()) return;
    by_top_.resize(chains_.size());
    std::iota(by_top_.begin(), by_top_.end(), 0u);
    std::sort(by_top_.begin(), by_top_.end(),
              [this](uint32_t a, uint32_t b) { return top(chains_[a]) < top(chains_[b]); });
    active_.clear();
    touched_.clear();
    size_t next = 0;
    const double highest = top(chains_[by_top_[0]]); // below height_, as every chain starts there
    int64_t r = highest <= 0.0 ? 0 : int64_t(highest);
    while (r < height_) {
        const double ya = double(r), yb = ya + 1.0;
        for (; next < by_top_.size() && top(chains_[by_top_[next]]) < yb; ++next) {
            chain &c = chains_[by_top_[next]];
            if (bottom(c) <= ya) continue; // began and ended above this row
            c.at = c.first;
            active_.push_back(by_top_[next]);
        }
        std::erase_if(active_, [&](uint32_t i) { return bottom(chains_[i]) <= ya; });
        if (active_.empty()) {
            if (next == by_top_.size()) break;
            // Nothing until the next chain's first row.
            r = std::max(r + 1, int64_t(top(chains_[by_top_[next]])));
            continue;
        }
        // Slabs end where chains begin or end inside the row.
        events_.clear();
        for (uint32_t i : active_) {
            const chain &c = chains_[i];
            if (top(c) > ya) events_.push_back(top(c));
            if (bottom(c) < yb) events_.push_back(bottom(c));
        }
        events_.push_back(yb);
        const size_t most_slabs = std::max(fixed_slabs, slab_work / active_.size());
        if (events_.size() > most_slabs) {
            events_.clear();
            for (size_t k = 1; k <= fixed_slabs; ++k) events_.push_back(ya + double(k) / double(fixed_slabs));
        }
        std::sort(events_.begin(), events_.end());
        cuts_left_ = active_.size() > max_cut_chains ? 0 : int(most_slabs);
        double y = ya;
        for (double e : events_) {
            if (e <= y) continue;
            sweep_slab(y, e);
            y = e;
        }
        finish_row(r, sink);
        ++r;
    }
}

// The chain's position over the slab [ya, yb]: its current edge, x at the middle (its sort key)
// and the range of x it covers.
void coverage_sweep::measure(chain &c, double ya, double yb, double ym) {
    const vertex *v = vertices_.data();
    while (c.at + 1 < c.last && v[c.at + 1].y <= ya) ++c.at;
    uint32_t k = c.at, middle = c.at;
    double lo = v[k].x + (ya - v[k].y) * v[k].slope, hi = lo;
    // The chain reaches yb, so its last vertex stops the walk.
    while (v[k + 1].y < yb) {
        ++k;
        lo = std::min(lo, v[k].x);
        hi = std::max(hi, v[k].x);
        if (v[k].y <= ym) middle = k;
    }
    const double end = v[k].x + (yb - v[k].y) * v[k].slope;
    c.lo = std::min(lo, end);
    c.hi = std::max(hi, end);
    c.key = v[middle].x + (ym - v[middle].y) * v[middle].slope;
}

// Where `b`, right of `a` in the middle of [ya, yb], first changes sides with it strictly inside
// the slab; yb when it never does. Between consecutive vertices of either both are straight.
double coverage_sweep::first_crossing(const chain &a, const chain &b, double ya, double yb) const {
    const vertex *v = vertices_.data();
    uint32_t i = a.at, j = b.at;
    double y = ya;
    double gap = (v[j].x + (y - v[j].y) * v[j].slope) - (v[i].x + (y - v[i].y) * v[i].slope);
    for (;;) {
        const double yn = std::min({v[i + 1].y, v[j + 1].y, yb});
        const double next = (v[j].x + (yn - v[j].y) * v[j].slope) - (v[i].x + (yn - v[i].y) * v[i].slope);
        if ((gap < -x_tolerance) != (next < -x_tolerance)) {
            const double t = std::clamp(gap / (gap - next), 0.0, 1.0);
            const double crossing = y + t * (yn - y);
            if (crossing > ya + y_tolerance && crossing < yb - y_tolerance) return crossing;
        }
        if (yn >= yb) return yb;
        y = yn;
        gap = next;
        if (v[i + 1].y <= yn) ++i;
        if (v[j + 1].y <= yn) ++j;
    }
}

// Insertion sort by key: the order changes little from one slab to the next. When it has
// changed a lot (chains crossing everywhere), a general sort takes over.
void coverage_sweep::sort_active() {
    const size_t limit = 8 * active_.size() + 64;
    size_t moves = 0;
    for (size_t i = 1; i < active_.size(); ++i) {
        const uint32_t moving = active_[i];
        const double key = chains_[moving].key;
        size_t j = i;
        for (; j > 0 && chains_[active_[j - 1]].key > key; --j) {
            if (++moves > limit) {
                active_[j] = moving;
                std::sort(active_.begin(), active_.end(),
                          [this](uint32_t a, uint32_t b) { return chains_[a].key < chains_[b].key; });
                return;
            }
            active_[j] = active_[j - 1];
        }
        active_[j] = moving;
    }
}

// [ya, yb] inside one row, with no chain beginning or ending strictly inside it.
void coverage_sweep::sweep_slab(double ya, double yb) {
    while (yb - ya > y_tolerance) {
        double end = yb;
        for (;;) {
            const double ym = 0.5 * (ya + end);
            for (uint32_t i : active_) {
                chain &c = chains_[i];
                if (spans_slab(c, ya, end))
                    measure(c, ya, end, ym);
                else // not in this slab: kept near where it begins or ended, so the order stays nearly sorted
                    c.key = top(c) > ya ? vertices_[c.first].x : vertices_[c.last].x;
            }
            sort_active();
            if (cuts_left_ == 0) break;
            double crossing = end;
            const chain *left = nullptr;
            for (uint32_t i : active_) {
                const chain &c = chains_[i];
                if (!spans_slab(c, ya, end)) continue;
                if (left != nullptr && left->hi > c.lo) crossing = std::min(crossing, first_crossing(*left, c, ya, end));
                left = &c;
            }
            if (!(crossing < end)) break;
            end = crossing;
            --cuts_left_;
        }
        // The union's edges are where the winding leaves or returns to zero: entering adds the
        // area to the right, leaving takes it away again.
        int32_t winding = 0;
        for (uint32_t i : active_) {
            const chain &c = chains_[i];
            if (!spans_slab(c, ya, end)) continue;
            const int32_t before = winding;
            winding += c.winding;
            if ((before == 0) != (winding == 0)) add_chain_area(c, ya, end, winding != 0 ? 1.0 : -1.0);
        }
        ya = end;
    }
}

void coverage_sweep::add_chain_area(const chain &c, double ya, double yb, double weight) {
    const vertex *v = vertices_.data();
    uint32_t k = c.at; // measure() left it on the edge holding ya
    double y = ya, x = v[k].x + (ya - v[k].y) * v[k].slope;
    while (y < yb) {
        double yn, xn;
        if (v[k + 1].y < yb) {
            ++k;
            yn = v[k].y;
            xn = v[k].x;
        } else {
            yn = yb;
            xn = v[k].x + (yb - v[k].y) * v[k].slope;
        }
        add_line(x, y, xn, yn, weight);
        x = xn;
        y = yn;
    }
}

// A straight piece from (xa, ya) to (xb, yb), ya < yb, within one row. The row's cells get the
// piece's area: its height (signed by `weight`) times, in each column it crosses, the part of
// the column to its right; the cell keeps that and the next cell gets the rest, which the
// running sum then hands on to every pixel further right. Left of the box the piece stands on
// the box's left edge (so pixels to its right still see it); right of the box it touches no
// pixel and is dropped.
void coverage_sweep::add_line(double xa, double ya, double xb, double yb, double weight) {
    double height = (yb - ya) * weight;
    if (xa > xb) std::swap(xa, xb); // the area per column does not depend on the direction
    const double w = double(width_);
    float *cells = cells_.data();
    if (xb <= 0.0) {
        cells[0] += static_cast<float>(height);
        touch(0, 1);
        return;
    }
    if (xa >= w) return;
    if (xa < 0.0) {
        const double left = height * (-xa / (xb - xa));
        cells[0] += static_cast<float>(left);
        height -= left;
        xa = 0.0;
    }
    if (xb > w) {
        height -= height * ((xb - w) / (xb - xa));
        xb = w;
    }
    const int32_t ca = std::min(static_cast<int32_t>(xa), width_ - 1);
    const int32_t cb = std::min(static_cast<int32_t>(xb), width_ - 1);
    touch(ca, cb + 2);
    // Within a column the piece's mean distance from the column's left side decides the split.
    auto add = [cells](int32_t cell, double area, double in) {
        cells[cell] += static_cast<float>(area * (1.0 - in));
        cells[cell + 1] += static_cast<float>(area * in);
    };
    if (ca == cb) {
        add(ca, height, 0.5 * (xa + xb) - ca);
        return;
    }
    const double per_x = height / (xb - xa);
    add(ca, per_x * (ca + 1 - xa), 0.5 * (xa - ca + 1.0));
    const float half = static_cast<float>(0.5 * per_x); // a whole column: half kept, half handed on
    for (int32_t c = ca + 1; c < cb; ++c) {
        cells[c] += half;
        cells[c + 1] += half;
    }
    add(cb, per_x * (xb - cb), 0.5 * (xb - cb));
}

// Cells [from, to) of the row have been written. Pieces of one chain come one after another, so
// most extend the stretch written last.
void coverage_sweep::touch(int32_t from, int32_t to) {
    if (!touched_.empty() && to >= touched_.back().from && from <= touched_.back().to) {
        touched_.back().from = std::min(touched_.back().from, from);
        touched_.back().to = std::max(touched_.back().to, to);
        return;
    }
    touched_.push_back(span{from, to});
}

void coverage_sweep::finish_row(int64_t row, coverage_sink &sink) {
    if (touched_.empty()) return;
    std::sort(touched_.begin(), touched_.end(), [](const span &a, const span &b) { return a.from < b.from; });
    size_t merged = 0;
    for (size_t i = 1; i < touched_.size(); ++i) {
        if (touched_[i].from <= touched_[merged].to + merge_gap)
            touched_[merged].to = std::max(touched_[merged].to, touched_[i].to);
        else
            touched_[++merged] = touched_[i];
    }
    touched_.resize(merged + 1);

    const int64_t y = y0_ + row;
    uint8_t *out = sink.row(y);
    float *cells = cells_.data();
    float sum = 0.0f;
    int32_t run = -1; // the open run's first pixel
    int32_t at = 0;   // pixels before this one are dealt with
    auto close_run = [&] {
        if (run >= 0 && at > run) sink.run(y, x0_ + run, at - run, out + run);
        run = -1;
    };
    // Pixels [at, to) lie between touched cells: the sum stands still over them.
    auto constant = [&](int32_t to) {
        if (to <= at) return;
        const uint8_t value = byte_of(sum);
        const int32_t count = to - at;
        if (value == 0 && (run < 0 || count > zero_gap)) {
            close_run();
        } else if (value == 255 && count >= min_full && sink.full(y, x0_ + at, count)) {
            close_run();
        } else {
            if (run < 0) run = at;
            std::memset(out + at, value, size_t(count));
        }
        at = to;
    };
    for (const span &s : touched_) {
        const int32_t from = std::min(s.from, width_), visible = std::min(s.to, width_);
        constant(from);
        if (run < 0 && visible > from) run = from;
        for (int32_t c = from; c < visible; ++c) {
            sum += cells[c];
            cells[c] = 0.0f;
            out[c] = byte_of(sum);
        }
        at = std::max(at, visible);
        for (int32_t c = std::max(s.from, visible); c < s.to; ++c) cells[c] = 0.0f;
    }
    // Edges right of the box were dropped: what is still covered reaches its right side.
    if (byte_of(sum) != 0) constant(width_);
    close_run();
    touched_.clear();
}

void coverage_sweep::trim() {
    release_beyond(vertices_, kept_vertices);
    release_beyond(chains_, kept_vertices / 4);
    release_beyond(by_top_, kept_vertices / 4);
    release_beyond(active_, kept_vertices / 4);
    release_beyond(events_, kept_vertices / 4);
    release_beyond(touched_, kept_vertices / 4);
}

} // namespace pitwall::raster
