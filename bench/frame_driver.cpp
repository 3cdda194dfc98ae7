// pitwall_frames SCENE full|partial|track FRAMES [CONTROL ATTRIBUTE V1 V2]: draw FRAMES frames of
// a scene on the raster context for callgrind to count (scripts/bench-instructions.sh runs it with
// --collect-atstart=no). A partial frame redraws what one change dirtied: the scene's first value
// box between two values, or CONTROL's ATTRIBUTE alternating between V1 and V2; a track frame
// plays the scene's tracks on by 1/25 s (see scene_frames.h).
//
// Only the frames themselves are collected: loading, building and the warm-up frames (the first,
// whole frame, which loads fonts and images, and for partial frames one frame of each of the two
// values) run before instrumentation starts, and each value change is made with collection off.
// Instructions per frame are then the run's total divided by FRAMES. The pixels repainted per
// frame, their mean, are printed on standard output.
//
// Exit code 0 when every draw succeeded, 1 when a draw returned nonzero, 2 for a usage or scene
// error, or when built without <valgrind/callgrind.h> (the client requests would be missing).
#include "scene_frames.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
constexpr bool k_has_client_requests = true;
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#define CALLGRIND_TOGGLE_COLLECT
constexpr bool k_has_client_requests = false;
#endif

namespace {

constexpr const char *k_usage = "usage: pitwall_frames SCENE full|partial|track FRAMES [CONTROL ATTRIBUTE V1 V2]\n";

} // namespace

int main(int argc, char **argv) {
    if (argc != 4 && argc != 8) {
        std::fputs(k_usage, stderr);
        return 2;
    }
    const std::string mode = argv[2];
    char *end = nullptr;
    const long frames = std::strtol(argv[3], &end, 10);
    if ((mode != "full" && mode != "partial" && mode != "track") || *end != '\0' || frames < 1 || frames > 1000000 ||
        (argc == 8 && mode != "partial")) {
        std::fputs(k_usage, stderr);
        return 2;
    }
    if (!k_has_client_requests) {
        std::fputs("pitwall_frames: built without <valgrind/callgrind.h>; install valgrind and rebuild\n", stderr);
        return 2;
    }

    bench::scene_frames scene;
    if (std::string why = scene.open(argv[1]); !why.empty()) {
        std::fprintf(stderr, "pitwall_frames: %s\n", why.c_str());
        return 2;
    }
    const bool partial = mode == "partial", track = mode == "track";
    int failed = 0;
    if (argc == 8) {
        if (std::string why = scene.choose_change(argv[4], argv[5], argv[6], argv[7]); !why.empty()) {
            std::fprintf(stderr, "pitwall_frames: %s\n", why.c_str());
            return 2;
        }
    } else if (partial) {
        for (int i = 0; i < 2; ++i) {
            scene.change_value();
            failed += scene.partial_frame();
        }
    } else if (track) {
        failed += scene.track_frame(); // every tracked value set once, outside the count
    }

    double repainted = 0;
    CALLGRIND_START_INSTRUMENTATION;
    for (long i = 0; i < frames; ++i) {
        if (partial) scene.change_value();
        CALLGRIND_TOGGLE_COLLECT;
        failed += partial ? scene.partial_frame() : track ? scene.track_frame() : scene.full_frame();
        CALLGRIND_TOGGLE_COLLECT;
        repainted += double(scene.repainted());
    }
    CALLGRIND_STOP_INSTRUMENTATION;
    std::printf("repainted %.0f pixels per frame\n", repainted / double(frames));

    if (failed != 0) {
        std::fprintf(stderr, "pitwall_frames: %d draws returned nonzero\n", failed);
        return 1;
    }
    return 0;
}
