// scene_trace.h - a scene drawn frame by frame on the recording context, as one trace.
//
// A single frame traces as it always has: the operations, then the releases of the instances'
// destruction. With steps, or when results are asked for, the trace also marks each frame
// ("step N"), gives each draw's result and `dirty` before and after, the clones and destroys of
// the steps, and ends with the teardown: every control destroyed, then every plug-in the scene
// used unloaded, each followed by the releases it caused.
#ifndef PITWALL_SCENE_TRACE_H
#define PITWALL_SCENE_TRACE_H

#include "pitwall/scene_run.h"

#include <functional>
#include <string>
#include <vector>

namespace pitwall {

struct scene_trace_options {
    bool results = false; // result lines and frame marks even for a single frame
    // Called after each frame that had failed draws, with the frame's number (0: the first).
    std::function<void(size_t frame, const std::vector<draw_result> &failed)> on_failures;
};

struct scene_trace {
    std::string text;     // the trace, one line per operation, each ending in '\n'
    int failed_draws = 0; // over every frame
};

// Draw the scene's frames on a recording context of the engine. The engine's plug-ins are
// unloaded at the end when the trace has a teardown. An error (a control or widget the scene
// names that does not exist, a value that does not fit) stops the run; the trace so far is kept.
error trace_scene(engine &eng, const scene &s, const scene_trace_options &options, scene_trace &out);

} // namespace pitwall

#endif // PITWALL_SCENE_TRACE_H
