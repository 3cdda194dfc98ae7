// screen.h - finished frames on a real screen through SDL2: a window on a desktop (X11 or Wayland),
// the desktop's full screen, a board's screen through SDL's own KMSDRM driver (no desktop), or an
// offscreen driver for tests.
//
// The canvas is uploaded into a streaming ARGB8888 texture, only where a frame damaged it, and
// drawn turned by the rotation and placed by fit_canvas: the largest whole multiple that fits,
// nearest-neighbour so that it stays crisp, over black. The canvas's pixels are premultiplied, so
// the texture is drawn without blending.
#ifndef PITWALL_SCREEN_H
#define PITWALL_SCREEN_H

#include "gre_host.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace pitwall {

enum class display_mode { window, fullscreen, kmsdrm, offscreen };
// "window", "fullscreen", "kmsdrm", "offscreen"; nullopt for anything else.
std::optional<display_mode> parse_display_mode(std::string_view text);

struct display_options {
    display_mode mode = display_mode::window;
    int rotate = 0;     // 0, 90, 180, 270: degrees clockwise, for displays mounted on their side
    bool vsync = true;  // pace presents to the display's refresh (off when a frame rate is asked)
    std::string title = "Pitwall";
};

// Where a canvas lands on an output, in output pixels. scale is the whole multiple, 0 when the
// canvas is letterboxed smaller than 1x.
struct placement {
    int x = 0, y = 0, width = 0, height = 0;
    int scale = 0;
};

// Where a canvas_width x canvas_height canvas lands on an out_width x out_height output once turned
// by `rotate` (90 and 270 swap its sides): the largest whole multiple that fits, centred; where not
// even 1x fits, the largest size that fits keeping the aspect, centred (letterboxed), never below
// one pixel a side. All zero when the canvas or the output is empty.
placement fit_canvas(int canvas_width, int canvas_height, int rotate, int out_width, int out_height);

class screen {
public:
    screen() = default;
    ~screen(); // closes the window and quits SDL's video subsystem
    screen(const screen &) = delete;
    screen &operator=(const screen &) = delete;

    // Opens the output for a canvas of canvas_width x canvas_height:
    //   window      a resizable window the size of the turned canvas;
    //   fullscreen  the desktop's full screen;
    //   kmsdrm      SDL's KMSDRM driver, full screen, without a desktop;
    //   offscreen   SDL's "offscreen" driver or, where SDL lacks it, "dummy"; nothing is shown.
    // then a renderer (accelerated where there is one, software otherwise; paced by vsync as asked)
    // and a streaming texture of the canvas size. Empty on success, otherwise why not and what to try.
    std::string open(const display_options &opts, int canvas_width, int canvas_height);
    void close(); // what the destructor does; open() may follow

    // Uploads the damaged rectangles (canvas coordinates, corners inclusive, clipped to the canvas)
    // from `pixels` (premultiplied ARGB32, rows `stride` bytes apart), then draws and presents.
    // With nothing to upload and no redraw pending (expose, resize), nothing is uploaded or
    // presented and the answer is false; true when it presented.
    bool present(const uint32_t *pixels, size_t stride, const std::vector<gr_rect_t> &damage);
    // Uploads the whole canvas and presents (the first frame, after a reload).
    void present_all(const uint32_t *pixels, size_t stride);

    // Handles the pending events without waiting: exposes and resizes mark a redraw; a close
    // request (the window closed, SDL_QUIT), or in window mode Escape or q, answers false, and so
    // does every later call.
    bool pump_events();
    // Sleeps until an event comes (a wake() included) or timeout_ms pass, then pumps.
    bool wait(int timeout_ms);
    // From any thread: makes a wait() return now. At most one wake is queued at a time.
    void wake();

    int refresh_hz() const;           // the display mode's refresh rate, 60 when SDL cannot say
    uint64_t uploaded_pixels() const; // canvas pixels uploaded so far
    uint64_t presented() const;       // frames presented so far
    // Where the canvas sits on the output, as of the last draw or resize.
    placement where() const;
    int output_width() const { return output_width_; }   // the output in pixels (window or screen)
    int output_height() const { return output_height_; }

    // For tests and screenshots: the output as the next present would show it, ARGB8888 rows of
    // output_width() pixels. Presents nothing. False when there is no output or SDL cannot read it.
    bool read_output(std::vector<uint32_t> &out);

    // The SDL driver in use ("x11", "wayland", "kmsdrm", "offscreen", "dummy"), empty when closed.
    std::string driver() const;

private:
    void upload(const uint32_t *pixels, size_t stride, int x, int y, int width, int height);
    void place();
    bool draw();
    void show(); // draw and present
    // A real screen's graphics stack, whose own allocations a sanitized build does not count.
    bool leak_exempt() const { return video_ && mode_ != display_mode::offscreen; }
    void handle(const SDL_Event &event);

    SDL_Window *window_ = nullptr;
    SDL_Renderer *renderer_ = nullptr;
    SDL_Texture *texture_ = nullptr;
    bool video_ = false; // the video subsystem is ours to quit
    display_mode mode_ = display_mode::window;
    int rotate_ = 0;
    int canvas_width_ = 0, canvas_height_ = 0;
    int output_width_ = 0, output_height_ = 0;
    placement placement_;
    int refresh_hz_ = 60;
    bool redraw_ = false;   // the output needs drawing again though the canvas did not change
    bool reupload_ = false; // the texture lost its pixels (a renderer reset)
    bool quit_ = false;
    uint64_t uploaded_ = 0, presented_ = 0;
    std::atomic<uint32_t> wake_type_{0}; // SDL's event type for a wake, 0 while closed
    std::atomic<bool> wake_pending_{false};
    bool native_wait_ = false;           // SDL's driver waits for events without polling
    std::mutex wake_mutex_;              // with woken_, the wait where SDL's would poll
    std::condition_variable woken_;
};

} // namespace pitwall

#endif // PITWALL_SCREEN_H
