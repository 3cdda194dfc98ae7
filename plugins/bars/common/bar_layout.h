// bar_layout.h - the full relayout of a bar and the derived data it owns.
#ifndef PITWALL_BARS_BAR_LAYOUT_H
#define PITWALL_BARS_BAR_LAYOUT_H

#include "bar_widget.h"

namespace bars {

// Lay the bar out for a widget of width x height: strips, ticks in pixels, mark lines, value map,
// zone counts. 0, or -1 (derived data freed, logged where the tick list says so).
int relayout(const bar_widget &w, gr_context_t *ctx, bar_record &r, int32_t width, int32_t height);

// Free the tick list, its labels, the value map and the mark lines.
void free_derived(bar_record &r);

} // namespace bars

#endif // PITWALL_BARS_BAR_LAYOUT_H
