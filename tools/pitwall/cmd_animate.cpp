// pitwall animate SCENE -o DIR: the scene's tracks played on the raster context, one PNG a frame
// (DIR/frame-00000.png, ...), optionally encoded into a video by ffmpeg.
//
// Frame i shows the scene at i / F seconds; --seconds S makes ceil(S * F) frames (times 0 up to
// just before S). Without --seconds, the frames run up to and including the tracks' last key.
// Between frames only the attributes that changed are set, and only the controls they dirty are
// redrawn.
//
// Exit codes as for render: 0, 1 when a widget's draw failed (the frames are still written), 2 for
// a usage or scene error, more frames than --max-frames, too little free space, a frame that could
// not be written, no ffmpeg for --video (the frames are written first) or an ffmpeg that failed or
// wrote nothing.
//
// Every file goes in under a temporary name and is renamed into place when complete: a frame
// through replace_file, the video from a file made beside it for ffmpeg to fill.
#include "commands.h"
#include "progress.h"

#include "pitwall/file_write.h"
#include "pitwall/raster_context.h"
#include "pitwall/scene_tracks.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The number of frames, worked out in double and checked before it becomes a count: a key at
// 1e300 s must be refused, not wrapped into some count or written until the disk is full.
bool count_frames(const options &opts, const scene &s, size_t &out) {
    const double seconds = opts.seconds > 0 ? opts.seconds : tracks_duration(s);
    const double frames = opts.seconds > 0 ? std::max(1.0, std::ceil(seconds * opts.fps - 1e-9))
                                           : std::floor(seconds * opts.fps + 1e-9) + 1;
    if (!std::isfinite(frames)) {
        std::fprintf(stderr, "pitwall animate: the tracks' last key, at %g s, is out of range\n", seconds);
        return false;
    }
    if (frames > double(opts.max_frames)) {
        std::fprintf(stderr, "pitwall animate: %.*g frames (%.15g s at %.15g fps) are more than the %zu allowed; "
                     "--max-frames N raises the limit\n", frames < 1e15 ? 15 : 3, frames, seconds, opts.fps,
                     opts.max_frames);
        return false;
    }
    out = size_t(frames);
    return true;
}

std::string size_text(double bytes) {
    const char *units[] = {"bytes", "KB", "MB", "GB", "TB", "PB"};
    size_t unit = 0;
    for (; bytes >= 1024 && unit + 1 < std::size(units); ++unit) bytes /= 1024;
    char text[48];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

// Refuse a run that clearly cannot fit, every frame counted at the first one's size (frames of
// one scene differ little). Where the folder's file system cannot say, the run goes ahead.
bool room_for(const std::string &dir, size_t frames, size_t frame_bytes) {
    struct statvfs fs {};
    if (::statvfs(dir.c_str(), &fs) != 0) return true;
    const double free = double(fs.f_bavail) * double(fs.f_frsize);
    const double need = double(frames) * double(frame_bytes);
    if (need <= free) return true;
    std::fprintf(stderr, "pitwall animate: %s: %zu frames of about %s need %s, but only %s are free\n", dir.c_str(),
                 frames, size_text(double(frame_bytes)).c_str(), size_text(need).c_str(), size_text(free).c_str());
    return false;
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

// A path ffmpeg reads as a file: a leading "-" would be an option and "pipe:" or "file:" a
// protocol, so a relative path goes in behind "./".
std::string ffmpeg_path(const std::string &path) { return path.starts_with('/') ? path : "./" + path; }

// ffmpeg's arguments for the frames into `output`: a palette made from the frames themselves for
// a GIF (its 256 colours), and for MP4 the 4:2:0 pixels players expect, which need even sizes.
std::vector<std::string> ffmpeg_arguments(const options &opts, size_t frames, const std::string &output) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%g", opts.fps);
    // The input is a pattern: a "%" of the folder's own name must not read as a frame number.
    std::string folder;
    for (char c : opts.frames_dir) folder += c == '%' ? std::string("%%") : std::string(1, c);
    std::vector<std::string> args = {"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-framerate", rate,
                                     "-i", ffmpeg_path(folder + "/frame-%05d.png"), "-frames:v", std::to_string(frames)};
    if (opts.video.ends_with(".gif")) {
        args.insert(args.end(), {"-vf", "split[a][b];[a]palettegen[p];[b][p]paletteuse"});
    } else if (opts.video.ends_with(".mp4")) {
        args.insert(args.end(), {"-vf", "scale=trunc(iw/2)*2:trunc(ih/2)*2", "-pix_fmt", "yuv420p"});
    }
    args.push_back(ffmpeg_path(output));
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

// The video's name may hold a file to replace or a link (replaced, not written through), but not
// a device, a FIFO or a folder.
bool replaceable(const std::string &path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return true;
    std::fprintf(stderr, "pitwall animate: %s: not a regular file\n", path.c_str());
    return false;
}

// The file ffmpeg fills: made here, exclusively, beside the video and with its extension (which
// picks ffmpeg's format), so that whatever goes wrong only a file of this run is removed.
std::string make_video_temporary(const std::string &video, const std::string &frames_dir) {
    const size_t slash = video.find_last_of('/') == std::string::npos ? 0 : video.find_last_of('/') + 1;
    const size_t dot = video.rfind('.'); // the extension's: the name was checked to end with one
    std::string name = video.substr(0, slash) + "." + video.substr(slash, dot - slash) + ".XXXXXX" + video.substr(dot);
    const int fd = ::mkstemps(name.data(), int(video.size() - dot));
    if (fd < 0) {
        std::fprintf(stderr, "pitwall animate: %s: %s; the frames are in %s\n", video.c_str(), std::strerror(errno),
                     frames_dir.c_str());
        return {};
    }
    // The mode a new file gets (mkstemps makes it private), or the replaced file's own.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat old {};
    ::fchmod(fd, ::stat(video.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? old.st_mode & 07777 : 0666 & ~mask);
    ::close(fd);
    return name;
}

void remove_temporary(const std::string &path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
}

int encode_video(const options &opts, size_t frames) {
    if (!on_path("ffmpeg")) {
        std::fprintf(stderr, "pitwall: --video needs ffmpeg (apt-get install ffmpeg); the frames are in %s\n",
                     opts.frames_dir.c_str());
        return exit_usage;
    }
    const std::string temporary = make_video_temporary(opts.video, opts.frames_dir);
    if (temporary.empty()) return exit_usage;
    if (int status = run_ffmpeg(ffmpeg_arguments(opts, frames, temporary)); status != 0) {
        remove_temporary(temporary);
        std::fprintf(stderr, "pitwall animate: ffmpeg failed (%s %d); the frames are in %s\n",
                     status < 0 ? "did not run," : "exit code", status, opts.frames_dir.c_str());
        return exit_usage;
    }
    // An exit code of 0 is not proof: the video must be there, a file with something in it.
    struct stat st {};
    if (::lstat(temporary.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        remove_temporary(temporary);
        std::fprintf(stderr, "pitwall animate: ffmpeg wrote nothing to %s; the frames are in %s\n",
                     opts.video.c_str(), opts.frames_dir.c_str());
        return exit_usage;
    }
    if (!replaceable(opts.video)) {
        remove_temporary(temporary);
        return exit_usage;
    }
    if (::rename(temporary.c_str(), opts.video.c_str()) != 0) {
        std::fprintf(stderr, "pitwall animate: %s: %s; the frames are in %s\n", opts.video.c_str(),
                     std::strerror(errno), opts.frames_dir.c_str());
        remove_temporary(temporary);
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
    size_t frames = 0;
    if (!count_frames(opts, s, frames)) return exit_usage;
    if (!opts.video.empty() && !replaceable(opts.video)) return exit_usage;
    if (!s.steps.empty() && verbosity() >= 0)
        std::fprintf(stderr, "pitwall animate: the scene's steps are not played, only its tracks\n");
    std::error_code ec;
    std::filesystem::create_directories(opts.frames_dir, ec);
    if (ec) {
        std::fprintf(stderr, "pitwall animate: cannot make %s: %s\n", opts.frames_dir.c_str(), ec.message().c_str());
        return exit_usage;
    }
    std::unique_ptr<engine> eng = make_engine(opts, s.base_dir);
    if (!eng) return exit_usage;
    if (!check_widgets("animate", *eng, s, opts.scene)) return exit_usage;
    eng->set_log_echo(stderr);
    if (error e = check_tracks(*eng, s); !e.empty()) {
        std::fprintf(stderr, "pitwall animate: %s\n", e.c_str());
        return exit_usage;
    }

    int failed = 0;
    bool ok = true;
    {
        raster_context canvas(*eng, s.width, s.height, s.background);
        scene_run run;
        if (error e = run.build(*eng, s); !e.empty()) {
            std::fprintf(stderr, "pitwall animate: %s\n", e.c_str());
            return exit_usage;
        }
        track_player player(s);
        progress_bar progress(frames, verbosity() >= 0);
        auto repaint = [&](const gr_rect_t &area) { canvas.clear(area, s.background); };
        kept_drawing_of<raster_context> kept(canvas); // each control's drawing, kept between frames
        for (size_t frame = 0; frame < frames && ok; ++frame) {
            const double seconds = double(frame) / opts.fps;
            if (error e = run.apply(player.step_at(seconds)); !e.empty()) {
                progress.interrupt();
                std::fprintf(stderr, "pitwall animate: at %g s: %s\n", seconds, e.c_str());
                ok = false;
                break;
            }
            // The first frame draws everything; after it, only what the changes dirtied.
            failed += frame == 0 ? run.draw(canvas.context()) : run.draw_changed(canvas.context(), repaint, {}, &kept);
            if (!run.failures().empty()) {
                progress.interrupt();
                report_frame_failures(run.failures(), frame);
                for (const draw_result &f : run.failures()) report_reasons(f, 0, s, opts.scene, false);
            }
            const std::string path = opts.frames_dir + "/" + frame_name(frame);
            std::string png, why;
            const bool encoded = canvas.encode_png(opts.scale, png, &why);
            if (encoded && frame == 0 && !room_for(opts.frames_dir, frames, png.size())) {
                ok = false;
                break;
            }
            if (!encoded || !replace_file(path, png, &why)) {
                progress.interrupt();
                std::fprintf(stderr, "pitwall animate: %s: %s; %zu of %zu frames were written\n", path.c_str(),
                             why.c_str(), frame, frames);
                ok = false;
                break;
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
