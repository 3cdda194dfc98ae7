// pitwall animate SCENE -o DIR: the scene's tracks played on the raster context, one PNG a frame
// (DIR/frame-00000.png, ...), optionally encoded into a video by ffmpeg.
//
// Frame i shows the scene at i / F seconds; --seconds S makes ceil(S * F) frames (times 0 up to
// just before S). Without --seconds, the frames run up to and including the tracks' last key.
// Between frames only the attributes that changed are set, and only the controls they dirty are
// redrawn.
//
// Exit codes as for render: 0, 1 when a widget's draw failed (the frames are still written), 2 for
// a usage or scene error, an unwritable folder, no ffmpeg for --video (the frames are written
// first) or an ffmpeg that failed.
#include "commands.h"
#include "progress.h"

#include "pitwall/raster_context.h"
#include "pitwall/scene_tracks.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern char **environ;

namespace pitwall::cli {
namespace {

std::string frame_name(size_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05zu.png", frame);
    return name;
}

size_t frame_count(const options &opts, const scene &s) {
    if (opts.seconds > 0) return std::max<size_t>(1, size_t(std::ceil(opts.seconds * opts.fps - 1e-9)));
    return size_t(std::floor(tracks_duration(s) * opts.fps + 1e-9)) + 1;
}

bool on_path(const std::string &program) {
    const char *path = std::getenv("PATH");
    if (path == nullptr) return false;
    std::string dirs = path;
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end == start ? "." : dirs.substr(start, end - start);
        if (access((dir + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// ffmpeg's arguments for the frames in `dir`: a palette made from the frames themselves for a
// GIF (its 256 colours), and for MP4 the 4:2:0 pixels players expect, which need even sizes.
std::vector<std::string> ffmpeg_arguments(const options &opts, size_t frames) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%g", opts.fps);
    std::vector<std::string> args = {"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-framerate", rate,
                                     "-i", opts.frames_dir + "/frame-%05d.png", "-frames:v", std::to_string(frames)};
    if (opts.video.ends_with(".gif")) {
        args.insert(args.end(), {"-vf", "split[a][b];[a]palettegen[p];[b][p]paletteuse"});
    } else if (opts.video.ends_with(".mp4")) {
        args.insert(args.end(), {"-vf", "scale=trunc(iw/2)*2:trunc(ih/2)*2", "-pix_fmt", "yuv420p"});
    }
    args.push_back(opts.video);
    return args;
}

// Run ffmpeg without a shell (names may hold spaces); its exit status, or -1 when it did not run.
int run_ffmpeg(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

int encode_video(const options &opts, size_t frames) {
    if (!on_path("ffmpeg")) {
        std::fprintf(stderr, "pitwall: --video needs ffmpeg (apt-get install ffmpeg); the frames are in %s\n",
                     opts.frames_dir.c_str());
        return exit_usage;
    }
    if (int status = run_ffmpeg(ffmpeg_arguments(opts, frames)); status != 0) {
        std::fprintf(stderr, "pitwall animate: ffmpeg failed (%s %d); the frames are in %s\n",
                     status < 0 ? "did not run," : "exit code", status, opts.frames_dir.c_str());
        return exit_usage;
    }
    std::printf("%s\n", opts.video.c_str());
    return exit_ok;
}

void report_frame_failures(const std::vector<draw_result> &failed, size_t frame) {
    for (const draw_result &f : failed)
        std::fprintf(stderr, "pitwall animate: control \"%s\" (%s) failed to draw in frame %zu: result %d\n",
                     f.control.c_str(), f.widget.c_str(), frame, f.result);
}

} // namespace

int cmd_animate(const options &opts) {
    scene s;
    if (!load_scene_for(opts, opts.scene, s)) return exit_usage;
    if (int64_t(s.width) * opts.scale > raster_context::max_side ||
        int64_t(s.height) * opts.scale > raster_context::max_side) {
        std::fprintf(stderr, "pitwall animate: a %dx%d canvas at scale %d is larger than %d pixels a side\n", s.width,
                     s.height, opts.scale, raster_context::max_side);
        return exit_usage;
    }
    if (!s.steps.empty())
        std::fprintf(stderr, "pitwall animate: the scene's steps are not played, only its tracks\n");
    std::error_code ec;
    std::filesystem::create_directories(opts.frames_dir, ec);
    if (ec) {
        std::fprintf(stderr, "pitwall animate: cannot make %s: %s\n", opts.frames_dir.c_str(), ec.message().c_str());
        return exit_usage;
    }
    std::unique_ptr<engine> eng = make_engine(opts, s.base_dir);
    if (!eng) return exit_usage;
    eng->set_log_echo(stderr);
    if (error e = check_tracks(*eng, s); !e.empty()) {
        std::fprintf(stderr, "pitwall animate: %s\n", e.c_str());
        return exit_usage;
    }

    const size_t frames = frame_count(opts, s);
    int failed = 0;
    std::string err;
    bool ok = true;
    {
        raster_context canvas(*eng, s.width, s.height, s.background);
        scene_run run;
        if (error e = run.build(*eng, s); !e.empty()) {
            std::fprintf(stderr, "pitwall animate: %s\n", e.c_str());
            return exit_usage;
        }
        track_player player(s);
        progress_bar progress(frames);
        auto repaint = [&](const gr_rect_t &area) { canvas.clear(area, s.background); };
        for (size_t frame = 0; frame < frames && ok; ++frame) {
            const double seconds = double(frame) / opts.fps;
            if (error e = run.apply(player.step_at(seconds)); !e.empty()) {
                progress.interrupt();
                std::fprintf(stderr, "pitwall animate: at %g s: %s\n", seconds, e.c_str());
                ok = false;
                break;
            }
            // The first frame draws everything; after it, only what the changes dirtied.
            failed += frame == 0 ? run.draw(canvas.context()) : run.draw_changed(canvas.context(), repaint);
            if (!run.failures().empty()) {
                progress.interrupt();
                report_frame_failures(run.failures(), frame);
            }
            ok = canvas.write_png(opts.frames_dir + "/" + frame_name(frame), opts.scale, &err);
            if (!ok) {
                progress.interrupt();
                std::fprintf(stderr, "pitwall animate: %s\n", err.c_str());
            }
            progress.update(frame + 1);
        }
        progress.finish();
        // Instances and plug-ins go while the canvas is still the engine's render context.
        run.clear();
        eng->unload_all();
    }
    if (!ok) return exit_usage;
    std::printf("%s/%s .. %s (%zu frames)\n", opts.frames_dir.c_str(), frame_name(0).c_str(),
                frame_name(frames - 1).c_str(), frames);
    if (!opts.video.empty())
        if (int code = encode_video(opts, frames); code != exit_ok) return code;
    return failed == 0 ? exit_ok : exit_widget_failed;
}

} // namespace pitwall::cli
