// pitwall gallery -o DIR: one picture per loaded plug-in, DIR/<library name>.png, drawn with the
// raster context from the widget's sheet, and the reference pages DIR/README.md and
// DIR/index.html of every attribute table with its descriptions.
//
// Exit code 0 when every widget drew and every attribute of the project's own widgets is described
// (another plug-in's attributes may be undescribed); 1 when a draw failed or such a description is
// missing (everything is still written, the missing ones are marked); 2 for a usage error or an
// unwritable folder.
#include "commands.h"
#include "gallery.h"

#include "pitwall/default_dirs.h"
#include "pitwall/raster_context.h"

#include <cstdio>
#include <filesystem>

namespace pitwall::cli {
namespace {

// Draw one sheet and write it; returns the number of failed draws, or -1 when writing failed.
int draw_sheet(engine &eng, const sheet &s, const std::string &path, std::string *why) {
    scene sc = sheet_scene(s, eng.find_plugin("Label") != nullptr);
    raster_context canvas(eng, sc.width, sc.height, sc.background);
    scene_run run;
    if (error e = run.build(eng, sc); !e.empty()) {
        *why = s.widget + ": " + e;
        return -1;
    }
    int failed = run.draw(canvas.context());
    report_failures("gallery", run.failures(), 0);
    const bool written = canvas.write_png(path, 1, why);
    // Instances go while the canvas is still the engine's render context (destroy releases images).
    run.clear();
    return written ? failed : -1;
}

} // namespace

int cmd_gallery(const options &opts) {
    std::error_code ec;
    std::filesystem::create_directories(opts.gallery_dir, ec);
    if (!std::filesystem::is_directory(opts.gallery_dir)) {
        std::fprintf(stderr, "pitwall gallery: cannot make the folder %s\n", opts.gallery_dir.c_str());
        return exit_usage;
    }
    const std::string base_dir = opts.app.empty() ? default_app_dir() : opts.app;
    std::unique_ptr<engine> eng = make_engine(opts, base_dir);
    if (!eng) return exit_usage;
    eng->set_log_echo(stderr);

    int failed = 0;
    std::vector<gallery_entry> entries;
    std::string why;
    for (const auto &p : eng->plugins()) {
        gallery_entry entry{p.get(), picture_name(*p)};
        const std::string path = opts.gallery_dir + "/" + entry.picture;
        int result = draw_sheet(*eng, sheet_for(p->display_name()), path, &why);
        if (result < 0) {
            std::fprintf(stderr, "pitwall gallery: %s\n", why.c_str());
            return exit_usage;
        }
        failed += result;
        std::printf("%s\n", path.c_str());
        entries.push_back(entry);
    }

    std::vector<std::string> missing = write_gallery_pages(opts.gallery_dir, entries, &why);
    if (!why.empty()) {
        std::fprintf(stderr, "pitwall gallery: %s\n", why.c_str());
        return exit_usage;
    }
    for (const std::string &m : missing) std::fprintf(stderr, "pitwall gallery: no description of attribute %s\n", m.c_str());
    std::printf("%s/README.md\n%s/index.html\n", opts.gallery_dir.c_str(), opts.gallery_dir.c_str());
    eng->unload_all();
    return failed == 0 && missing.empty() ? exit_ok : exit_widget_failed;
}

} // namespace pitwall::cli
