// The workbench's palette: the widgets with their thumbnails and starters; see workbench_palette.h.
#include "workbench_palette.h"

#include "gallery/gallery.h"
#include "snippet.h"

#include "pitwall/raster_context.h"
#include "pitwall/scene_run.h"

#include <cstdio>

namespace pitwall::cli {

std::map<std::string, palette_widget> palette_widgets(const options &opts, const std::string &app_dir) {
    std::map<std::string, palette_widget> out;
    std::unique_ptr<engine> eng = make_engine(opts, app_dir);
    if (!eng) return out;
    for (const auto &p : eng->plugins()) {
        palette_widget &entry = out[p->display_name()];
        scene sc = sheet_scene(sheet_for(p->display_name()), false);
        raster_context canvas(*eng, sc.width, sc.height, sc.background);
        scene_run run;
        std::string why;
        if (error e = run.build(*eng, sc); e.empty()) {
            run.draw(canvas.context());
            if (!canvas.encode_png(1, entry.png, &why))
                std::fprintf(stderr, "pitwall serve: the thumbnail of %s: %s\n", p->display_name().c_str(), why.c_str());
        }
        // Instances go while the canvas is still the engine's render context.
        run.clear();
    }
    eng->unload_all();
    return out;
}

nlohmann::ordered_json starter_control(const std::string &widget) {
    const sheet s = sheet_for(widget);
    return snippet_control(s, s.widget, 0, 0, s.cell_width, s.cell_height);
}

} // namespace pitwall::cli
