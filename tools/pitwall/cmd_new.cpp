// pitwall new -o SCENE.json [--size WxH]: a starting scene with one control of a few kinds, laid
// out on the canvas, each drawing as it is. No font map: the default theme's font resolves.
//
// The file is created, never replaced: an existing file, or a link (even a dangling one), in its
// place is refused and left alone.
#include "commands.h"
#include "snippet.h"

#include "pitwall/default_dirs.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace pitwall::cli {
namespace {

constexpr const char *k_widgets[] = {"Modern Gauge Large", "Common Vertical Bar", "Modern Box", "Modern Alarm", "Label"};
constexpr int k_margin = 16;

struct placed {
    const char *widget;
    int x, y, width, height;
};

// The cells side by side in rows, scaled down together until they fit the canvas; `scale` says
// by how much.
std::vector<placed> lay_out(const std::vector<sheet> &sheets, int width, int height, double &scale) {
    for (scale = 1.0;; scale *= 0.9) {
        std::vector<placed> out;
        int x = k_margin, y = k_margin, row_height = 0;
        bool fits = true;
        for (const sheet &s : sheets) {
            const int w = std::max(1, int(s.cell_width * scale)), h = std::max(1, int(s.cell_height * scale));
            if (x > k_margin && x + w > width - k_margin) {
                x = k_margin;
                y += row_height + k_margin;
                row_height = 0;
            }
            if (x + w > width - k_margin || y + h > height - k_margin) fits = false;
            out.push_back({s.widget.c_str(), x, y, w, h});
            x += w + k_margin;
            row_height = std::max(row_height, h);
        }
        if (fits || scale < 0.2) return out;
    }
}

// Created exclusively, never through a link; a failed write removes the file it made.
bool create_file(const std::string &path, const std::string &bytes, std::string *why) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        *why = errno == EEXIST ? "already exists; choose another name or remove it first" : std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    if (!ok) *why = std::strerror(errno);
    if (::close(fd) != 0 && ok) {
        *why = std::strerror(errno);
        ::unlink(path.c_str());
        return false;
    }
    if (!ok) ::unlink(path.c_str());
    return ok;
}

} // namespace

int cmd_new(const options &opts) {
    std::unique_ptr<engine> eng = make_engine(opts, default_app_dir());
    if (!eng) return exit_usage;
    std::vector<sheet> sheets;
    for (const char *widget : k_widgets)
        if (eng->find_plugin(widget) != nullptr) sheets.push_back(sheet_for(widget));
    if (sheets.empty()) {
        std::fprintf(stderr, "pitwall new: none of the starting widgets is loaded\n");
        return exit_usage;
    }

    nlohmann::ordered_json scene;
    scene["_about"] = "A starting scene from `pitwall new`. Draw it: pitwall render " + opts.new_scene +
                      " -o dash.png. Each control's _states gives the value (and text) of its threshold states; "
                      "`pitwall snippet WIDGET` prints a control of any widget.";
    scene["canvas"] = {{"width", opts.new_width}, {"height", opts.new_height}, {"background", "#101418"}};
    nlohmann::ordered_json controls = nlohmann::ordered_json::array();
    double scale = 1.0;
    const std::vector<placed> cells = lay_out(sheets, opts.new_width, opts.new_height, scale);
    for (size_t i = 0; i < sheets.size(); ++i) {
        std::string name = sheets[i].widget;
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        nlohmann::ordered_json control = snippet_control(sheets[i], name, int16_t(cells[i].x), int16_t(cells[i].y),
                                                         int16_t(cells[i].width), int16_t(cells[i].height));
        // Text shrinks with its control, so that it still fits on a small screen.
        if (scale < 1.0 && control.contains("attributes"))
            for (const char *size : {"font_size", "title_size"})
                if (auto it = control["attributes"].find(size); it != control["attributes"].end() && it->is_number())
                    *it = std::max(8, int(std::lround(it->get<double>() * scale)));
        controls.push_back(std::move(control));
    }
    scene["controls"] = controls;

    std::string why;
    if (!create_file(opts.new_scene, scene.dump(2) + "\n", &why)) {
        std::fprintf(stderr, "pitwall new: %s: %s\n", opts.new_scene.c_str(), why.c_str());
        return exit_usage;
    }
    std::printf("%s\n", opts.new_scene.c_str());
    return exit_ok;
}

} // namespace pitwall::cli
