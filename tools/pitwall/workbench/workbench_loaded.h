// workbench_loaded.h - what one load of the workbench holds, shared by its source files.
#ifndef PITWALL_TOOL_WORKBENCH_LOADED_H
#define PITWALL_TOOL_WORKBENCH_LOADED_H

#include "workbench.h"

#include "pitwall/scene_tracks.h"

namespace pitwall::cli {

struct workbench::loaded {
    scene s;
    std::unique_ptr<engine> eng;
    std::unique_ptr<raster_context> canvas;
    std::unique_ptr<kept_drawing_of<raster_context>> kept; // each control's drawing, kept on the canvas
    scene_run run;
    std::unique_ptr<track_player> player; // sets only the tracked values that changed
    std::vector<draw_result> failures; // of the last draw

    // Instances and plug-ins go while the canvas is still the engine's render context, so that
    // destroy and fini release their images through it; the engine goes last.
    ~loaded() {
        run.clear();
        if (eng) eng->unload_all();
        kept.reset();
        canvas.reset();
        eng.reset();
    }
};

} // namespace pitwall::cli

#endif // PITWALL_TOOL_WORKBENCH_LOADED_H
