// fuzz_raster_scene - a scene read from the input and drawn through the raster context, frame by
// frame, into a PNG: real image decoding, nine-patch borders, text through FreeType.
//
// Input: a scene as `pitwall render` reads it (scene-format.md). Its top-level "_images" string,
// if any (keys starting with "_" are comments to the scene reader), is read as fuzz bytes
// (fuzz_input.h) that write image files for this input:
//   - images/fuzz/0.png .. 3.png and images/fuzz/0.9.png .. 3.9.png: each a small valid PNG, a
//     nine-patch with marks from the bytes, a valid file with bytes flipped or cut short, raw
//     bytes, or a header declaring up to 8192 x 8192 pixels; a splash's logo_path reaches them;
//   - one of the theme's own nine-patch files, replaced the same ways for this input and put back
//     afterwards, so that the widgets' nine-patch layouts meet odd bands and failed loads.
// The application folder is a copy of the build's theme made once per process, with the default
// font, removed when the process exits. Each input gets a fresh engine (the plug-in libraries stay loaded: the fuzzer holds every
// one of them open) and a canvas of the scene's size, at most 640 x 480.
//
// Checked for every input, besides the sanitizers:
//   - once the instances are destroyed and the plug-ins finalised, no image and no path is left
//     on the raster context;
//   - the decoded images never exceed the raster context's total budget;
//   - the frame is written as a PNG.
#include "fuzz_input.h"
#include "zero_png.h"

#include "pitwall/engine.h"
#include "pitwall/png_file.h"
#include "pitwall/raster_context.h"
#include "pitwall/scene.h"
#include "pitwall/scene_run.h"

#include <nlohmann/json.hpp>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int k_max_width = 640, k_max_height = 480;
constexpr size_t k_max_frames = 6;
constexpr int k_fuzz_files = 4;
constexpr const char *k_font = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

struct workspace {
    std::string app;                      // the application folder
    std::string out;                      // the PNG of each input
    std::vector<std::string> theme_nines; // the theme's nine-patch files, relative to app
};

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void spill(const std::string &path, const std::string &bytes) { std::ofstream(path, std::ios::binary) << bytes; }

const workspace &setup() {
    static const workspace ws = [] {
        workspace w;
        char pattern[] = "/tmp/fuzz_raster_scene.XXXXXX";
        if (mkdtemp(pattern) == nullptr) fuzz::fail("no temporary folder");
        static const std::string root = pattern;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(root, ec);
        });
        w.app = root + "/app";
        w.out = root + "/frame.png";
        fs::create_directories(w.app + "/fonts");
        fs::create_directories(w.app + "/images/fuzz");
        fs::copy(std::string(PITWALL_APP_DIR) + "/images", w.app + "/images", fs::copy_options::recursive);
        fs::copy_file(k_font, w.app + "/fonts/CPMono_v07 Plain.otf");
        for (const auto &entry : fs::recursive_directory_iterator(w.app + "/images")) {
            const std::string path = entry.path().string();
            if (path.size() > 6 && path.compare(path.size() - 6, 6, ".9.png") == 0)
                w.theme_nines.push_back(path.substr(w.app.size() + 1));
        }
        std::sort(w.theme_nines.begin(), w.theme_nines.end());
        if (w.theme_nines.empty()) fuzz::fail("the theme has no nine-patch files", PITWALL_APP_DIR);
        // The plug-in libraries stay loaded for the whole run: libFuzzer cannot follow the coverage
        // counters of a library that is unloaded, and each engine loads them again.
        for (const auto &entry : fs::directory_iterator(PITWALL_PLUGIN_DIR)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("libgre-plugin-", 0) == 0 && entry.path().extension() == ".so")
                if (dlopen(entry.path().c_str(), RTLD_NOW | RTLD_LOCAL) == nullptr) fuzz::fail("dlopen", dlerror());
        }
        return w;
    }();
    return ws;
}

// A small PNG with pixels from the input; `nine`: its border marked from the input too.
std::string small_png(fuzz::input &in, bool nine, const std::string &scratch) {
    const int w = 1 + in.byte() % 24, h = 1 + in.byte() % 24;
    pitwall::argb_image image(w, h);
    for (uint32_t &p : image.pixels) {
        const uint8_t b = in.byte();
        // Mostly opaque colours, with transparent and half-transparent ones and marks among them.
        p = b < 0x20 ? in.raw<uint32_t>() : b % 4 == 0 ? 0xFF000000u : 0xFF000000u | uint32_t(b) * 0x010101u;
    }
    if (nine)
        for (int x = 0; x < w; ++x) image.at(x, 0) = in.byte() % 2 ? 0xFF000000u : 0u;
    std::string why;
    if (!pitwall::write_png(scratch, image, &why)) fuzz::fail("write_png", why);
    return slurp(scratch);
}

// Without choices: a valid 12 x 8 image with a soft edge, or a 12 x 8 nine-patch whose middle
// thirds are marked.
std::string default_png(bool nine, const std::string &scratch) {
    pitwall::argb_image image(12, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x) image.at(x, y) = uint32_t(255 - x * 20) << 24 | uint32_t(x * 20) << 16 | uint32_t(y * 30);
    if (nine) {
        for (int x = 0; x < 12; ++x) image.at(x, 0) = x >= 4 && x < 8 ? 0xFF000000u : 0u;
        for (int y = 0; y < 8; ++y) image.at(0, y) = y >= 3 && y < 5 ? 0xFF000000u : 0u;
    }
    std::string why;
    if (!pitwall::write_png(scratch, image, &why)) fuzz::fail("write_png", why);
    return slurp(scratch);
}

// One file's bytes, as the input chooses.
std::string image_bytes(fuzz::input &in, const std::string &original, const std::string &scratch) {
    switch (in.byte() % 6) {
    case 0:
        return small_png(in, false, scratch);
    case 1:
        return small_png(in, true, scratch);
    case 2: { // bytes flipped
        std::string bytes = original.empty() ? small_png(in, true, scratch) : original;
        for (int n = in.byte() % 8; n > 0 && !bytes.empty(); --n) {
            const size_t at = in.raw<uint16_t>() % bytes.size();
            bytes[at] = char(bytes[at] ^ char(in.byte() | 1));
        }
        return bytes;
    }
    case 3: { // cut short
        std::string bytes = original.empty() ? small_png(in, false, scratch) : original;
        return bytes.substr(0, in.raw<uint16_t>() % (bytes.size() + 1));
    }
    case 4:
        return in.text(256);
    default: // a header that declares a large image, and rows of zeros
        return pitwall::testing::zero_png(1 + in.raw<uint16_t>() % 8192, 1 + in.raw<uint16_t>() % 8192);
    }
}

// The "_images" string of the scene, or nothing.
std::string image_choices(const std::string &text) {
    nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    if (!doc.is_object()) return {};
    auto it = doc.find("_images");
    return it != doc.end() && it->is_string() ? it->get<std::string>() : std::string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const workspace &ws = setup();
    const std::string text(reinterpret_cast<const char *>(data), size);
    pitwall::scene s;
    pitwall::error err;
    if (!pitwall::parse_scene(text, ws.app, s, &err)) return 0;

    const std::string choices = image_choices(text);
    fuzz::input in(reinterpret_cast<const uint8_t *>(choices.data()), choices.size());
    const std::string scratch = ws.out + ".tmp.png";
    for (int i = 0; i < k_fuzz_files; ++i) {
        for (const char *suffix : {".png", ".9.png"}) {
            const std::string path = ws.app + "/images/fuzz/" + std::to_string(i) + suffix;
            static const std::string defaults[2] = {default_png(false, scratch), default_png(true, scratch)};
            const bool nine = std::string(suffix) == ".9.png";
            spill(path, in.empty() ? defaults[nine ? 1 : 0] : image_bytes(in, {}, scratch));
        }
    }
    std::string replaced, original;
    if (!in.empty()) {
        replaced = ws.app + "/" + ws.theme_nines[in.raw<uint16_t>() % ws.theme_nines.size()];
        original = slurp(replaced);
        spill(replaced, image_bytes(in, original, scratch));
    }

    {
        pitwall::engine eng(ws.app);
        std::vector<pitwall::error> load_errors;
        eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &load_errors);
        if (!load_errors.empty()) fuzz::fail("a plug-in did not load", load_errors.front());
        pitwall::raster_context canvas(eng, std::min<int>(s.width, k_max_width), std::min<int>(s.height, k_max_height),
                                       s.background);
        pitwall::scene_run run;
        if (pitwall::error e = run.build(eng, s); e.empty()) {
            for (size_t frame = 0; frame <= std::min(s.steps.size(), k_max_frames); ++frame) {
                if (frame > 0) {
                    if (!run.apply(s.steps[frame - 1]).empty()) break;
                    canvas.clear(s.background);
                }
                run.draw(canvas.context());
                if (canvas.decoded_image_bytes() > pitwall::raster_context::max_decoded_image_bytes)
                    fuzz::fail("decoded images over the total budget");
            }
            std::string why;
            if (!canvas.write_png(ws.out, 1, &why)) fuzz::fail("the frame was not written", why);
        }
        // As the tool does: instances and plug-ins go while the canvas is the render context.
        run.clear();
        eng.unload_all();
        if (canvas.live_images() != 0) fuzz::fail("images left after every plug-in was finalised");
        if (canvas.live_paths() != 0) fuzz::fail("paths left after every plug-in was finalised");
    }
    if (!replaced.empty()) spill(replaced, original);
    return 0;
}
