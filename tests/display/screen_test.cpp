// The display: where a canvas lands on an output (whole multiples, letterboxing, turned sides), and
// SDL's offscreen driver showing it: only the damage uploaded, clipped to the canvas; the canvas
// turned clockwise and magnified over black, premultiplied pixels copied unblended; close requests,
// redraws and wakes through the event queue.
#include "pitwall/screen.h"

#include <SDL.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace pitwall::testing {
namespace {

TEST(fit_canvas, places_the_largest_whole_multiple_or_letterboxes) {
    const struct {
        const char *what;
        int canvas_width, canvas_height, rotate, out_width, out_height;
        placement expected;
    } cases[] = {
        {"exactly twice", 800, 480, 0, 1600, 960, {0, 0, 1600, 960, 2}},
        {"twice, centred", 800, 480, 0, 1700, 1000, {50, 20, 1600, 960, 2}},
        {"the same size", 800, 480, 0, 800, 480, {0, 0, 800, 480, 1}},
        {"narrower: bands above and below", 800, 480, 0, 640, 480, {0, 48, 640, 384, 0}},
        {"lower: bands left and right", 800, 480, 0, 1000, 400, {167, 0, 666, 400, 0}},
        {"upside down as upright", 800, 480, 180, 1700, 1000, {50, 20, 1600, 960, 2}},
        {"on its side, once", 800, 480, 90, 480, 800, {0, 0, 480, 800, 1}},
        {"on its other side, twice", 800, 480, 270, 1000, 1700, {20, 50, 960, 1600, 2}},
        {"on its side on a landscape output", 800, 480, 90, 800, 480, {256, 0, 288, 480, 0}},
        {"a landscape canvas on a portrait output", 800, 480, 0, 480, 800, {0, 256, 480, 288, 0}},
        {"a one-pixel output", 800, 480, 0, 1, 1, {0, 0, 1, 1, 0}},
        {"an output two pixels wide", 800, 480, 0, 2, 1, {0, 0, 1, 1, 0}},
        {"a huge output", 800, 480, 0, 32000, 32000, {0, 6400, 32000, 19200, 40}},
        {"sides whose products pass 2^31", 100000, 70000, 0, 50000, 50000, {0, 7500, 50000, 35000, 0}},
        {"a 1x1 canvas", 1, 1, 0, 1920, 1080, {420, 0, 1080, 1080, 1080}},
        {"a 1x1 canvas on its side", 1, 1, 90, 5, 3, {1, 0, 3, 3, 3}},
        {"no output", 800, 480, 0, 0, 0, {0, 0, 0, 0, 0}},
        {"a negative output", 800, 480, 0, -1600, 960, {0, 0, 0, 0, 0}},
        {"an empty canvas", 0, 480, 0, 1600, 960, {0, 0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const placement p = fit_canvas(c.canvas_width, c.canvas_height, c.rotate, c.out_width, c.out_height);
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
        EXPECT_EQ(p.width, c.expected.width);
        EXPECT_EQ(p.height, c.expected.height);
        EXPECT_EQ(p.scale, c.expected.scale);
    }
}

TEST(screen, modes_by_name_and_what_open_refuses_before_asking_sdl) {
    EXPECT_EQ(parse_display_mode("window"), display_mode::window);
    EXPECT_EQ(parse_display_mode("fullscreen"), display_mode::fullscreen);
    EXPECT_EQ(parse_display_mode("kmsdrm"), display_mode::kmsdrm);
    EXPECT_EQ(parse_display_mode("offscreen"), display_mode::offscreen);
    for (const char *bad : {"", "Window", "window ", "drm", "x11"}) EXPECT_EQ(parse_display_mode(bad), std::nullopt) << bad;

    screen out;
    display_options opts;
    opts.mode = display_mode::offscreen;
    opts.rotate = 45;
    EXPECT_EQ(out.open(opts, 8, 6), "a rotation of 45 degrees: 0, 90, 180 or 270");
    opts.rotate = 0;
    EXPECT_EQ(out.open(opts, 0, 6), "a canvas of 0 x 6 pixels");
    EXPECT_EQ(out.driver(), "");
    EXPECT_FALSE(out.present(nullptr, 0, {{0, 0, 1, 1}})); // closed: nothing to present on
    EXPECT_TRUE(out.pump_events());
    out.wake(); // closed: nothing queued, nothing fails
}

// A canvas of premultiplied pixels, every one different, half of them translucent, in rows
// longer than the canvas whose spare pixels hold a colour no output may show.
constexpr uint32_t spare = 0xFFFF00FF;
struct canvas {
    int width, height, row; // row: pixels from one row to the next
    std::vector<uint32_t> pixels;
    canvas(int w, int h, uint32_t seed = 0)
        : width(w), height(h), row(w + 3), pixels(size_t(row) * size_t(h), spare) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) at(x, y) = colour(x, y, seed);
    }
    static uint32_t colour(int x, int y, uint32_t seed) {
        const uint32_t alpha = (x + y) % 2 ? 0xFF : 0x80; // channels stay below alpha
        return alpha << 24 | uint32_t(x * 4 + 1) << 16 | uint32_t(y * 4 + 1) << 8 | (seed & 0x7F);
    }
    uint32_t &at(int x, int y) { return pixels[size_t(y) * size_t(row) + size_t(x)]; }
    size_t stride() const { return size_t(row) * 4; }
    // The canvas pixel that lands at (x, y) of the canvas turned clockwise by rotate degrees.
    uint32_t turned(int rotate, int x, int y) {
        switch (rotate) {
        case 90: return at(y, height - 1 - x);
        case 180: return at(width - 1 - x, height - 1 - y);
        case 270: return at(width - 1 - y, x);
        default: return at(x, y);
        }
    }
};

constexpr uint32_t rgb = 0x00FFFFFF; // what a screen shows: the colour, not the alpha
constexpr uint32_t black = 0;

// Opens `out` on the offscreen driver; skips the test where SDL has neither it nor the dummy one.
#define OPEN_OFFSCREEN_OR_SKIP(out, w_, h_, rotate_)                                                    \
    do {                                                                                                \
        display_options opts_;                                                                          \
        opts_.mode = display_mode::offscreen;                                                           \
        opts_.rotate = (rotate_);                                                                       \
        opts_.vsync = false;                                                                            \
        const std::string why_ = (out).open(opts_, (w_), (h_));                                         \
        if (why_.rfind("neither the offscreen nor the dummy driver", 0) == 0) GTEST_SKIP() << why_;      \
        ASSERT_EQ(why_, "");                                                                            \
    } while (0)

// The one window SDL has open: the tests resize it as a user would.
SDL_Window *only_window() {
    for (uint32_t id = 1; id < 64; ++id)
        if (SDL_Window *w = SDL_GetWindowFromID(id)) return w;
    return nullptr;
}

// Events of the wake's kind waiting in SDL's queue.
int queued_user_events() {
    SDL_PumpEvents();
    return SDL_PeepEvents(nullptr, 64, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT);
}

void push(uint32_t type, uint8_t window_event = 0, SDL_Keycode key = 0) {
    SDL_Event event{};
    event.type = type;
    event.window.event = window_event;
    if (type == SDL_KEYDOWN) {
        event.key = {};
        event.key.type = type;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = key;
    }
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

// The output's pixels that differ from `picture` turned by `rotate`, magnified by the screen's
// whole multiple into its placement, over black; the first few are reported.
int pixels_not_shown(screen &out, canvas &picture, int rotate) {
    std::vector<uint32_t> shown;
    if (!out.read_output(shown)) {
        ADD_FAILURE() << "the output cannot be read: " << SDL_GetError();
        return -1;
    }
    const int width = out.output_width(), height = out.output_height();
    const placement p = out.where();
    if (shown.size() != size_t(width) * size_t(height) || p.scale < 1) {
        ADD_FAILURE() << "an output of " << shown.size() << " pixels for " << width << " x " << height
                      << ", the canvas magnified " << p.scale << " times";
        return -1;
    }
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int cx = x - p.x, cy = y - p.y;
            const bool inside = cx >= 0 && cy >= 0 && cx < p.width && cy < p.height;
            const uint32_t expected = (inside ? picture.turned(rotate, cx / p.scale, cy / p.scale) : black) & rgb;
            const uint32_t got = shown[size_t(y) * size_t(width) + size_t(x)] & rgb;
            if (got != expected && ++wrong <= 5)
                ADD_FAILURE() << "at " << x << "," << y << std::hex << ": " << got << ", not " << expected;
        }
    return wrong;
}

TEST(screen, uploads_only_the_damage_clipped_to_the_canvas) {
    screen out;
    OPEN_OFFSCREEN_OR_SKIP(out, 40, 30, 0);
    canvas first(40, 30, 1);
    out.present_all(first.pixels.data(), first.stride());
    EXPECT_EQ(out.uploaded_pixels(), 40u * 30u);
    EXPECT_EQ(out.presented(), 1u);

    canvas second(40, 30, 2);
    EXPECT_FALSE(out.present(second.pixels.data(), second.stride(), {}));
    const std::vector<gr_rect_t> nothing_inside = {{40, 0, 45, 5}, {0, -9, 39, -1}, {10, 10, 5, 5}};
    EXPECT_FALSE(out.present(second.pixels.data(), second.stride(), nothing_inside));
    EXPECT_EQ(out.uploaded_pixels(), 40u * 30u);
    EXPECT_EQ(out.presented(), 1u);

    const std::vector<gr_rect_t> damage = {
        {0, 0, 9, 9},      // 10 x 10 inside
        {35, 25, 45, 40},  // past the bottom-right corner: 5 x 5 left
        {-5, 20, 2, 24},   // past the left edge: 3 x 5 left
        {50, 50, 60, 60},  // wholly outside
        {20, 3, 18, 3},    // inverted: empty
    };
    EXPECT_TRUE(out.present(second.pixels.data(), second.stride(), damage));
    EXPECT_EQ(out.uploaded_pixels(), 40u * 30u + 100u + 25u + 15u);
    EXPECT_EQ(out.presented(), 2u);

    // The output holds the second canvas inside the damage and still the first elsewhere.
    std::vector<uint32_t> shown;
    ASSERT_TRUE(out.read_output(shown));
    ASSERT_EQ(shown.size(), 40u * 30u);
    auto damaged = [](int x, int y) {
        return (x <= 9 && y <= 9) || (x >= 35 && y >= 25) || (x <= 2 && y >= 20 && y <= 24);
    };
    int wrong = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const uint32_t expected = (damaged(x, y) ? second : first).at(x, y);
            wrong += (shown[size_t(y) * 40 + size_t(x)] & rgb) != (expected & rgb);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(out.presented(), 2u); // reading presents nothing
}

TEST(screen, turns_and_magnifies_the_canvas_over_black_copying_premultiplied_pixels_unblended) {
    const struct {
        int rotate, out_width, out_height; // 0 x 0: the window as opened, the turned canvas's size
        placement expected;
    } cases[] = {
        {0, 0, 0, {0, 0, 5, 3, 1}},
        {90, 0, 0, {0, 0, 3, 5, 1}},
        {180, 0, 0, {0, 0, 5, 3, 1}},
        {270, 0, 0, {0, 0, 3, 5, 1}},
        {0, 13, 8, {1, 1, 10, 6, 2}},   // twice, one pixel of black around
        {90, 8, 13, {1, 1, 6, 10, 2}},  // turned 3 x 5 twice
        {180, 16, 9, {0, 0, 15, 9, 3}}, // three times, filling the height
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rotate << " degrees on " << c.out_width << " x " << c.out_height);
        screen out;
        OPEN_OFFSCREEN_OR_SKIP(out, 5, 3, c.rotate);
        canvas picture(5, 3, 0x21);
        out.present_all(picture.pixels.data(), picture.stride());
        if (c.out_width > 0) {
            SDL_Window *window = only_window();
            ASSERT_NE(window, nullptr);
            SDL_SetWindowSize(window, c.out_width, c.out_height);
            EXPECT_TRUE(out.pump_events());
            const uint64_t uploaded = out.uploaded_pixels();
            EXPECT_TRUE(out.present(picture.pixels.data(), picture.stride(), {})); // the resize asks for a redraw
            EXPECT_EQ(out.uploaded_pixels(), uploaded);
            EXPECT_FALSE(out.present(picture.pixels.data(), picture.stride(), {}));
        }
        const placement p = out.where();
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
        EXPECT_EQ(p.width, c.expected.width);
        EXPECT_EQ(p.height, c.expected.height);
        EXPECT_EQ(p.scale, c.expected.scale);
        EXPECT_EQ(out.output_width(), c.out_width > 0 ? c.out_width : p.width);
        EXPECT_EQ(out.output_height(), c.out_height > 0 ? c.out_height : p.height);
        EXPECT_EQ(pixels_not_shown(out, picture, c.rotate), 0);
    }
}

TEST(screen, exposes_and_resets_redraw_and_close_requests_end_the_loop) {
    screen out;
    OPEN_OFFSCREEN_OR_SKIP(out, 8, 6, 0);
    EXPECT_GT(out.refresh_hz(), 0);
    canvas c(8, 6);
    out.present_all(c.pixels.data(), c.stride());
    EXPECT_FALSE(out.present(c.pixels.data(), c.stride(), {}));

    push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_EXPOSED);
    EXPECT_TRUE(out.pump_events());
    EXPECT_TRUE(out.present(c.pixels.data(), c.stride(), {}));
    EXPECT_EQ(out.uploaded_pixels(), 48u); // drawn again, nothing uploaded
    EXPECT_EQ(out.presented(), 2u);

    // A lost device loses the texture's pixels: the next present uploads the whole canvas.
    push(SDL_RENDER_DEVICE_RESET);
    EXPECT_TRUE(out.pump_events());
    EXPECT_TRUE(out.present(c.pixels.data(), c.stride(), {{0, 0, 0, 0}}));
    EXPECT_EQ(out.uploaded_pixels(), 96u);

    // Keys quit a window only: a board's keyboard is no way out.
    push(SDL_KEYDOWN, 0, SDLK_ESCAPE);
    push(SDL_KEYDOWN, 0, SDLK_q);
    EXPECT_TRUE(out.pump_events());

    push(SDL_QUIT);
    EXPECT_FALSE(out.pump_events());
    EXPECT_FALSE(out.pump_events()); // and stays asked
    EXPECT_FALSE(out.wait(0));

    OPEN_OFFSCREEN_OR_SKIP(out, 8, 6, 0); // a new output forgets the request
    EXPECT_TRUE(out.pump_events());
    push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE);
    EXPECT_FALSE(out.pump_events());
}

TEST(screen, a_wake_ends_a_wait_and_at_most_one_is_queued) {
    screen out;
    OPEN_OFFSCREEN_OR_SKIP(out, 8, 6, 0);
    EXPECT_TRUE(out.pump_events());
    EXPECT_EQ(queued_user_events(), 0);
    out.wake();
    out.wake();
    std::thread other([&out] { out.wake(); });
    other.join();
    // A desktop driver queues one SDL event; the others (offscreen here) wake a wait of our own
    // and queue nothing, so that an idle wait does not poll SDL's queue.
    EXPECT_LE(queued_user_events(), 1);
    // The wake is pending already: this returns at once rather than after a minute.
    EXPECT_TRUE(out.wait(60000));
    EXPECT_EQ(queued_user_events(), 0);
    std::thread again([&out] { out.wake(); }); // taken, so a new wake is pending
    again.join();
    EXPECT_LE(queued_user_events(), 1);
    EXPECT_TRUE(out.wait(60000));
}

// A desktop's window and full screen, where there is a desktop: ctest runs these on a virtual X
// server of their own (with_xvfb.sh), through the accelerated renderer where Mesa provides one.
#define NEEDS_A_DESKTOP()                                                                               \
    do {                                                                                                \
        if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))                                 \
            GTEST_SKIP() << "no desktop: DISPLAY and WAYLAND_DISPLAY are unset";                        \
    } while (0)

TEST(screen, a_window_without_a_desktop_is_refused_rather_than_shown_nowhere) {
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("SDL_VIDEODRIVER"))
        GTEST_SKIP() << "a desktop, or a driver chosen by SDL_VIDEODRIVER";
    for (display_mode mode : {display_mode::window, display_mode::fullscreen}) {
        screen out;
        display_options opts;
        opts.mode = mode;
        const std::string why = out.open(opts, 8, 6);
        EXPECT_EQ(why.rfind("no desktop to open a window on (", 0), 0u) << why;
        EXPECT_NE(why.find("): is DISPLAY or WAYLAND_DISPLAY set? On a board without a desktop, try kmsdrm"),
                  std::string::npos) << why;
        EXPECT_EQ(out.driver(), "");
    }
}

TEST(window, is_the_turned_canvas_and_closes_on_escape_or_q) {
    NEEDS_A_DESKTOP();
    for (SDL_Keycode key : {SDLK_ESCAPE, SDLK_q}) {
        SCOPED_TRACE(SDL_GetKeyName(key));
        screen out;
        display_options opts;
        opts.rotate = 90;
        opts.vsync = false;
        ASSERT_EQ(out.open(opts, 5, 3), "");
        EXPECT_NE(out.driver(), "offscreen");
        EXPECT_EQ(out.output_width(), 3);
        EXPECT_EQ(out.output_height(), 5);
        canvas picture(5, 3, 0x42);
        out.present_all(picture.pixels.data(), picture.stride());
        EXPECT_EQ(pixels_not_shown(out, picture, 90), 0);
        EXPECT_TRUE(out.pump_events());
        push(SDL_KEYDOWN, 0, key);
        EXPECT_FALSE(out.pump_events());
    }
}

TEST(window, full_screen_magnifies_the_canvas_over_black_and_keys_do_not_close_it) {
    NEEDS_A_DESKTOP();
    screen out;
    display_options opts;
    opts.mode = display_mode::fullscreen;
    opts.vsync = false;
    ASSERT_EQ(out.open(opts, 5, 3), "");
    SDL_DisplayMode desktop{};
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0) << SDL_GetError();
    EXPECT_EQ(out.output_width(), desktop.w);
    EXPECT_EQ(out.output_height(), desktop.h);
    const placement p = out.where();
    const placement expected = fit_canvas(5, 3, 0, desktop.w, desktop.h);
    EXPECT_EQ(p.x, expected.x);
    EXPECT_EQ(p.y, expected.y);
    EXPECT_EQ(p.width, expected.width);
    EXPECT_EQ(p.scale, expected.scale);
    canvas picture(5, 3, 0x24);
    out.present_all(picture.pixels.data(), picture.stride());
    EXPECT_EQ(pixels_not_shown(out, picture, 0), 0);
    push(SDL_KEYDOWN, 0, SDLK_ESCAPE);
    EXPECT_TRUE(out.pump_events());
}

} // namespace
} // namespace pitwall::testing
