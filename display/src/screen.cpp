// Frames on a screen through SDL2.
#include "pitwall/screen.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string_view>

#if defined(__SANITIZE_ADDRESS__)
#define PITWALL_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PITWALL_LEAK_CHECKER 1
#endif
#endif
#ifdef PITWALL_LEAK_CHECKER
#include <sanitizer/lsan_interface.h>
#endif

namespace pitwall {
namespace {

// The graphics stacks behind a real screen (libdbus, Mesa and the drivers SDL loads and unloads
// again) keep allocations past SDL's quit, often in libraries gone by the time the leak checker
// looks, where no suppression can name them. In a sanitized build what is allocated on the
// calling thread inside a screen's calls into SDL is not counted as leaked; the offscreen driver,
// the tests' own, stays fully checked, so that a texture or window we forget to free still shows.
class unchecked_allocations {
public:
    explicit unchecked_allocations([[maybe_unused]] bool on) {
#ifdef PITWALL_LEAK_CHECKER
        on_ = on;
        if (on_) __lsan_disable();
#endif
    }
    ~unchecked_allocations() {
#ifdef PITWALL_LEAK_CHECKER
        if (on_) __lsan_enable();
#endif
    }
    unchecked_allocations(const unchecked_allocations &) = delete;
    unchecked_allocations &operator=(const unchecked_allocations &) = delete;

private:
    [[maybe_unused]] bool on_ = false;
};

bool turned(int rotate) { return rotate == 90 || rotate == 270; }

// SDL's video subsystem with a given driver: the hint overrides SDL_VIDEODRIVER from the
// environment, and is reset afterwards so that a later window takes the user's choice again.
bool init_video(const char *driver) {
    if (driver) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver, SDL_HINT_OVERRIDE);
    const bool ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (driver) SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    return ok;
}

// A driver that shows windows on a desktop. SDL_VIDEODRIVER, when set, names the user's choice.
bool desktop_driver(const char *name) {
    const char *chosen = SDL_getenv("SDL_VIDEODRIVER");
    if (chosen && *chosen) return true;
    const std::string_view driver = name ? name : "";
    return driver != "offscreen" && driver != "dummy" && driver != "kmsdrm" && !driver.empty();
}

std::string sdl_error() {
    const char *text = SDL_GetError();
    return text && *text ? text : "no reason given";
}

} // namespace

std::optional<display_mode> parse_display_mode(std::string_view text) {
    if (text == "window") return display_mode::window;
    if (text == "fullscreen") return display_mode::fullscreen;
    if (text == "kmsdrm") return display_mode::kmsdrm;
    if (text == "offscreen") return display_mode::offscreen;
    return std::nullopt;
}

placement fit_canvas(int canvas_width, int canvas_height, int rotate, int out_width, int out_height) {
    if (canvas_width <= 0 || canvas_height <= 0 || out_width <= 0 || out_height <= 0) return {};
    if (turned(rotate)) std::swap(canvas_width, canvas_height);
    placement p;
    p.scale = std::min(out_width / canvas_width, out_height / canvas_height);
    if (p.scale >= 1) {
        p.width = canvas_width * p.scale;
        p.height = canvas_height * p.scale;
    } else {
        p.scale = 0;
        // Cross-multiplied in 64 bits: which side of the output limits the canvas.
        const int64_t cw = canvas_width, ch = canvas_height;
        if (cw * out_height <= ch * out_width) {
            p.height = out_height;
            p.width = int(std::max<int64_t>(1, cw * out_height / ch));
        } else {
            p.width = out_width;
            p.height = int(std::max<int64_t>(1, ch * out_width / cw));
        }
    }
    p.x = (out_width - p.width) / 2;
    p.y = (out_height - p.height) / 2;
    return p;
}

screen::~screen() { close(); }

void screen::close() {
    const unchecked_allocations graphics_stack(leak_exempt());
    wake_type_ = 0;
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    video_ = false;
    output_width_ = output_height_ = 0;
    placement_ = {};
    redraw_ = reupload_ = quit_ = false;
    wake_pending_ = false;
}

std::string screen::open(const display_options &opts, int canvas_width, int canvas_height) {
    close();
    if (opts.rotate != 0 && opts.rotate != 90 && opts.rotate != 180 && opts.rotate != 270)
        return "a rotation of " + std::to_string(opts.rotate) + " degrees: 0, 90, 180 or 270";
    if (canvas_width <= 0 || canvas_height <= 0)
        return "a canvas of " + std::to_string(canvas_width) + " x " + std::to_string(canvas_height) + " pixels";
    const unchecked_allocations graphics_stack(opts.mode != display_mode::offscreen);
    mode_ = opts.mode;
    rotate_ = opts.rotate;
    canvas_width_ = canvas_width;
    canvas_height_ = canvas_height;

    std::string why;
    switch (mode_) {
    case display_mode::window:
    case display_mode::fullscreen:
        if (!init_video(nullptr)) {
            why = "no desktop to open a window on (" + sdl_error() + ")";
        } else if (!desktop_driver(SDL_GetCurrentVideoDriver())) {
            // Without a desktop SDL falls back on drivers that show nothing or take the console.
            why = std::string("no desktop to open a window on (SDL found only its ") +
                  SDL_GetCurrentVideoDriver() + " driver)";
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
        if (!why.empty()) why += ": is DISPLAY or WAYLAND_DISPLAY set? On a board without a desktop, try kmsdrm";
        break;
    case display_mode::kmsdrm:
        if (!init_video("kmsdrm"))
            why = "the KMSDRM driver did not start (" + sdl_error() +
                  "): is the user in the video and input groups, and is no desktop holding the screen?";
        break;
    case display_mode::offscreen:
        if (!init_video("offscreen") && !init_video("dummy"))
            why = "neither the offscreen nor the dummy driver started (" + sdl_error() + ")";
        break;
    }
    if (!why.empty()) return why;
    video_ = true;

    int window_width = turned(rotate_) ? canvas_height : canvas_width;
    int window_height = turned(rotate_) ? canvas_width : canvas_height;
    uint32_t flags = 0;
    if (mode_ == display_mode::window) flags |= SDL_WINDOW_RESIZABLE;
    if (mode_ == display_mode::fullscreen || mode_ == display_mode::kmsdrm) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        // Already the screen's size: an X server without a window manager never makes a window
        // full screen, and would otherwise show a canvas-sized one while SDL draws for the screen.
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
            window_width = desktop.w;
            window_height = desktop.h;
        }
    }
    window_ = SDL_CreateWindow(opts.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, window_width,
                               window_height, flags);
    if (!window_) {
        why = "no window (" + sdl_error() + ")";
        close();
        return why;
    }
    if (mode_ == display_mode::fullscreen || mode_ == display_mode::kmsdrm) SDL_ShowCursor(SDL_DISABLE);

    const uint32_t vsync = opts.vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
    if (mode_ != display_mode::offscreen) {
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | vsync);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE | vsync);
    } else {
        // Offscreen, nobody sees the picture: the software renderer on the driver's own memory
        // framebuffer is exact and needs no GPU, where SDL would otherwise back the framebuffer
        // with an OpenGL texture through EGL.
        SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE | vsync);
        SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
    }
    if (!renderer_) {
        why = "no renderer for the window (" + sdl_error() + ")";
        close();
        return why;
    }
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, canvas_width,
                                 canvas_height);
    if (!texture_) {
        why = "no texture of " + std::to_string(canvas_width) + " x " + std::to_string(canvas_height) +
              " pixels (" + sdl_error() + ")";
        close();
        return why;
    }
    // Premultiplied pixels over black: copied as they are, and magnified without smoothing.
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);

    SDL_DisplayMode display{};
    const int index = SDL_GetWindowDisplayIndex(window_);
    refresh_hz_ = index >= 0 && SDL_GetCurrentDisplayMode(index, &display) == 0 && display.refresh_rate > 0
                      ? display.refresh_rate
                      : 60;
    // Only the desktop drivers wait for events in the kernel; the others (KMSDRM, offscreen,
    // dummy) would have SDL_WaitEventTimeout poll their queue every millisecond.
    const std::string_view driver_name = SDL_GetCurrentVideoDriver() != nullptr ? SDL_GetCurrentVideoDriver() : "";
    native_wait_ = driver_name == "x11" || driver_name == "wayland";
    wake_type_ = SDL_RegisterEvents(1);
    if (wake_type_ == uint32_t(-1)) wake_type_ = 0; // no wakes, waits run to their timeout
    place();
    redraw_ = true;
    return {};
}

void screen::upload(const uint32_t *pixels, size_t stride, int x, int y, int width, int height) {
    const SDL_Rect area{x, y, width, height};
    const auto *first = reinterpret_cast<const uint8_t *>(pixels) + size_t(y) * stride + size_t(x) * 4;
    if (SDL_UpdateTexture(texture_, &area, first, int(stride)) == 0) uploaded_ += uint64_t(width) * uint64_t(height);
}

void screen::place() {
    int w = 0, h = 0;
    if (renderer_ && SDL_GetRendererOutputSize(renderer_, &w, &h) != 0) w = h = 0;
    output_width_ = w;
    output_height_ = h;
    placement_ = fit_canvas(canvas_width_, canvas_height_, rotate_, w, h);
}

// Clears the output to black and draws the texture turned into its place. The texture is drawn
// upright into a box of its own proportions centred on the placement, then turned about that
// centre so that it covers the placement exactly.
bool screen::draw() {
    if (!texture_) return false;
    place();
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (placement_.width <= 0) return true;
    const float w = float(turned(rotate_) ? placement_.height : placement_.width);
    const float h = float(turned(rotate_) ? placement_.width : placement_.height);
    const SDL_FRect box{float(placement_.x) + (float(placement_.width) - w) / 2,
                        float(placement_.y) + (float(placement_.height) - h) / 2, w, h};
    if (rotate_ == 0) return SDL_RenderCopyF(renderer_, texture_, nullptr, &box) == 0;
    return SDL_RenderCopyExF(renderer_, texture_, nullptr, &box, double(rotate_), nullptr, SDL_FLIP_NONE) == 0;
}

bool screen::present(const uint32_t *pixels, size_t stride, const std::vector<gr_rect_t> &damage) {
    if (!texture_) return false;
    const unchecked_allocations graphics_stack(leak_exempt());
    if (reupload_) {
        present_all(pixels, stride);
        return true;
    }
    bool changed = false;
    for (const gr_rect_t &r : damage) {
        const int x1 = std::max<int>(r.x1, 0), y1 = std::max<int>(r.y1, 0);
        const int x2 = std::min<int>(r.x2, canvas_width_ - 1), y2 = std::min<int>(r.y2, canvas_height_ - 1);
        if (x1 > x2 || y1 > y2) continue;
        upload(pixels, stride, x1, y1, x2 - x1 + 1, y2 - y1 + 1);
        changed = true;
    }
    if (!changed && !redraw_) return false;
    show();
    return true;
}

void screen::present_all(const uint32_t *pixels, size_t stride) {
    if (!texture_) return;
    const unchecked_allocations graphics_stack(leak_exempt());
    upload(pixels, stride, 0, 0, canvas_width_, canvas_height_);
    reupload_ = false;
    show();
}

void screen::show() {
    draw();
    SDL_RenderPresent(renderer_);
    ++presented_;
    redraw_ = false;
}

void screen::handle(const SDL_Event &event) {
    switch (event.type) {
    case SDL_QUIT: quit_ = true; break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: quit_ = true; break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            redraw_ = true;
            place();
            break;
        default: break;
        }
        break;
    case SDL_RENDER_TARGETS_RESET: redraw_ = true; break;
    case SDL_RENDER_DEVICE_RESET: // every texture lost its pixels
        reupload_ = true;
        redraw_ = true;
        break;
    case SDL_KEYDOWN:
        if (mode_ == display_mode::window &&
            (event.key.keysym.sym == SDLK_ESCAPE || event.key.keysym.sym == SDLK_q))
            quit_ = true;
        break;
    default:
        if (event.type == wake_type_ && event.type != 0) wake_pending_ = false;
        break;
    }
}

bool screen::pump_events() {
    if (!video_) return !quit_;
    const unchecked_allocations graphics_stack(leak_exempt());
    SDL_Event event;
    while (SDL_PollEvent(&event)) handle(event);
    return !quit_;
}

bool screen::wait(int timeout_ms) {
    if (!video_) return !quit_;
    if (!native_wait_) {
        // SDL would poll its queue every millisecond here: sleep on our own until a wake or the
        // timeout, then take what the driver has.
        std::unique_lock<std::mutex> lock(wake_mutex_);
        woken_.wait_for(lock, std::chrono::milliseconds(std::max(timeout_ms, 0)), [this] { return wake_pending_.load(); });
        wake_pending_ = false;
        lock.unlock();
        return pump_events();
    }
    const unchecked_allocations graphics_stack(leak_exempt());
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, std::max(timeout_ms, 0))) handle(event);
    return pump_events();
}

void screen::wake() {
    const uint32_t type = wake_type_;
    if (type == 0) return;
    if (!native_wait_) {
        {
            std::lock_guard<std::mutex> lock(wake_mutex_);
            if (wake_pending_.exchange(true)) return;
        }
        woken_.notify_one();
        return;
    }
    if (wake_pending_.exchange(true)) return;
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = type;
    if (SDL_PushEvent(&event) != 1) wake_pending_ = false;
}

int screen::refresh_hz() const { return refresh_hz_; }
uint64_t screen::uploaded_pixels() const { return uploaded_; }
uint64_t screen::presented() const { return presented_; }
placement screen::where() const { return placement_; }

bool screen::read_output(std::vector<uint32_t> &out) {
    const unchecked_allocations graphics_stack(leak_exempt());
    if (!draw() || output_width_ <= 0 || output_height_ <= 0) return false;
    out.assign(size_t(output_width_) * size_t(output_height_), 0);
    return SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, out.data(), output_width_ * 4) == 0;
}

std::string screen::driver() const {
    const char *name = video_ ? SDL_GetCurrentVideoDriver() : nullptr;
    return name ? name : "";
}

} // namespace pitwall
