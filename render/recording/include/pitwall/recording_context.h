// recording_context.h - a render context that draws nothing and writes one readable trace line
// per operation (the format is documented in docs/trace-format.md). It is the backbone of the
// plug-in tests: text metrics come from a deterministic model the test can set, images from a
// registry the test fills, so that missing files, failing queries and nine-patches can be staged.
#ifndef PITWALL_RECORDING_CONTEXT_H
#define PITWALL_RECORDING_CONTEXT_H

#include "gre_host.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pitwall {

class engine;

// An image the registry knows, by its path relative to the application's base directory.
struct recorded_image {
    int16_t width = 0;
    int16_t height = 0;
    bool nine_patch = false;
    int16_t sx = 0, sw = 0, sy = 0, sh = 0; // stretch bands of a nine-patch
    bool size_query_fails = false;          // image_info id 0 returns nonzero
};

class recording_context {
public:
    // Installs itself as the engine's trace hook (log lines and font calls appear in the trace)
    // and as its render context outside draws, until destroyed.
    explicit recording_context(engine &owner);
    ~recording_context();
    recording_context(const recording_context &) = delete;
    recording_context &operator=(const recording_context &) = delete;

    gr_context_t *context() { return &context_; }

    // ---- staging -------------------------------------------------------------------------
    // Stage an image exactly as described (plain or nine-patch, failing size query or not).
    void stage_image(const std::string &path, const recorded_image &staged) { registry_[path] = staged; }
    void add_image(const std::string &path, int16_t width, int16_t height);
    void add_nine_patch(const std::string &path, int16_t width, int16_t height, int16_t sx, int16_t sw,
                        int16_t sy, int16_t sh);
    void fail_size_query(const std::string &path);
    void remove_image(const std::string &path);

    // Text model: width = bytes x advance, height = the line height of the style's size, unless
    // the text has a fixed extent of its own (at every size).
    void set_text_advance(int32_t pixels_per_byte) { advance_ = pixels_per_byte; }
    void set_text_extent(const std::string &text, int16_t width, int16_t height) { extents_[text] = {width, height}; }
    void set_line_height(int32_t size, int32_t height) { line_heights_[size] = height; }
    int32_t line_height(int32_t size) const; // default: the size itself
    void fail_text_extent(bool fail) { fail_text_extent_ = fail; }
    // create_path returns no path (the trace line ends in "-> null"), as a host out of memory does.
    void fail_create_path(bool fail) { fail_create_path_ = fail; }

    // Start with a clip set (as if an enclosing layer had set one), or with none (the default).
    // Clips are kept in canvas coordinates, as the raster context keeps them: set_clip under a
    // translation adds it, get_clip subtracts the translation in force when it is asked.
    void set_clip_state(std::optional<gr_rect_t> clip);
    std::optional<gr_rect_t> clip_state() const; // canvas coordinates, clamped to 16 bits

    // ---- the trace -----------------------------------------------------------------------
    const std::vector<std::string> &trace() const { return trace_; }
    std::string trace_text() const; // lines joined with '\n', ending in one
    void clear_trace() { trace_.clear(); }
    void record(const std::string &line) { trace_.push_back(line); }

    int live_images() const;   // loaded and not yet released
    // Drop the records of released images, for runs of millions of draws (fuzzing): the trace
    // then names such a handle "unknown", and a read through it is a use after free.
    void forget_released_images();
    int live_paths() const { return live_paths_; }
    int32_t translation_x() const { return static_cast<int32_t>(tx_); }
    int32_t translation_y() const { return static_cast<int32_t>(ty_); }

private:
    struct image;
    struct ops;

    std::string relative(const std::string &path) const;
    std::string name_of(const gr_image_t *image) const;

    engine &engine_;
    gr_context_t context_{};
    std::map<std::string, recorded_image> registry_;
    std::vector<std::unique_ptr<image>> images_;
    std::vector<std::string> trace_;
    std::map<int32_t, int32_t> line_heights_;
    std::map<std::string, std::pair<int16_t, int16_t>> extents_;
    int32_t advance_ = 8;
    bool fail_text_extent_ = false;
    bool fail_create_path_ = false;
    struct canvas_rect {
        int64_t x1, y1, x2, y2;
    };
    std::optional<canvas_rect> clip_;
    int64_t tx_ = 0, ty_ = 0; // 64 bits: no sequence of 32-bit moves overflows them in practice
    int live_paths_ = 0;
    int next_path_ = 1;
};

} // namespace pitwall

#endif // PITWALL_RECORDING_CONTEXT_H
