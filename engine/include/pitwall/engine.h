// engine.h - the stand-in engine as the tools and tests drive it: an application with its
// services, plug-ins loaded from shared libraries, instances with attribute marshalling by the
// plug-in's own attribute table, and a log sink.
#ifndef PITWALL_ENGINE_H
#define PITWALL_ENGINE_H

#include "gre_host.h"
#include "pitwall/resources.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pitwall {

class engine;
class plugin;

struct log_line {
    int level;
    std::string text;
};

// A value as a scene or a test gives it; the engine converts it by the attribute's type code.
//   null_string  -> a null "1s0" value
//   std::string  -> "1s0"
//   int64_t      -> "4s1", "4u1", "1u1" (range-checked), or "4f1"
//   double       -> "4f1"
struct null_string {};
using attr_value = std::variant<null_string, std::string, int64_t, double>;

// What went wrong, in words for a person; empty on success.
using error = std::string;

// One widget instance: the engine's instance record and the plug-in's zero-filled data.
class instance {
public:
    ~instance(); // calls the plug-in's destroy, then frees the record

    plugin &owner() const { return *plugin_; }
    gr_instance_t *record() { return &record_; }
    const gr_instance_t *record() const { return &record_; }
    void *data() const { return record_.data; }

    // Set by attribute name or id; the value is converted by the table's type code.
    error set(std::string_view name, const attr_value &value);
    error set(int32_t id, const attr_value &value);
    // Hand raw bytes to set_attribute, exactly as given (tests of the protocol).
    void set_raw(int32_t id, const void *value);

    // Draw on a control at (x, y) of the given size over a canvas; returns the plug-in's result.
    int draw(gr_context_t *ctx, const gr_control_t &control);

    // A new instance filled by the plug-in's clone from this one.
    std::unique_ptr<instance> clone();

private:
    friend class plugin;
    explicit instance(plugin &owner);
    plugin *plugin_;
    gr_instance_t record_{};
};

// One loaded plug-in library with its registered render extension.
class plugin {
public:
    ~plugin(); // calls fini, frees the record name, unloads the library

    const std::string &display_name() const { return name_; }
    const std::string &path() const { return path_; }
    const gr_renderext_t &descriptor() const { return *descriptor_; }

    // The attribute table entries, without the end entry.
    std::vector<gr_attribute_t> attributes() const;
    const gr_attribute_t *find_attribute(std::string_view name) const;
    const gr_attribute_t *find_attribute(int32_t id) const;

    std::unique_ptr<instance> create();
    engine &owner() const { return *engine_; }

private:
    friend class engine;
    plugin(engine &owner, std::string path);
    engine *engine_;
    std::string path_;
    std::string name_;
    void *library_ = nullptr;
    gre_plugin_t record_{};
    const gr_renderext_t *descriptor_ = nullptr;
    bool initialised_ = false;
    bool claimed_ = false; // this plug-in holds the library's process-wide claim
};

// The engine: one application handle, its services and the loaded plug-ins.
class engine {
public:
    explicit engine(std::string base_dir);
    ~engine(); // unloads every plug-in (fini first)
    engine(const engine &) = delete;
    engine &operator=(const engine &) = delete;

    gr_application_t *app() { return app_; }
    const std::string &base_dir() const { return base_dir_; }
    resources &fonts() { return resources_; }

    // The render context the plug-ins use outside draws (destroy, fini); may be null.
    void set_render_context(gr_context_t *ctx) { services_.render = ctx; }

    // Load a plug-in library, create, check the interface version and init it.
    plugin *load_plugin(const std::string &library_path, error *err);
    // Load every libgre-plugin-*.so of a directory, in name order; errors are collected.
    std::vector<plugin *> load_plugin_dir(const std::string &dir, std::vector<error> *errors);
    // The same for several directories, in order. A directory or a library reached again (by its
    // real path) is skipped; a library whose display name is loaded already is not loaded, and the
    // message naming both files goes to conflicts, every other failure to errors.
    std::vector<plugin *> load_plugin_dirs(const std::vector<std::string> &dirs, std::vector<error> *errors,
                                           std::vector<error> *conflicts);
    plugin *find_plugin(std::string_view display_name) const;
    const std::vector<std::unique_ptr<plugin>> &plugins() const { return plugins_; }
    // Unload every plug-in, last loaded first; before_each sees each one just before its fini.
    void unload_all(const std::function<void(const plugin &)> &before_each = {});

    // The log: every line is kept, passed to the trace hook, and optionally echoed.
    const std::vector<log_line> &log() const { return log_; }
    void clear_log() { log_.clear(); }
    void set_log_echo(FILE *stream) { echo_ = stream; }
    // How echoed lines are written, instead of "LEVEL TEXT" and "pitwall: TEXT": called for each
    // log line (its level) and each report (level -1) while an echo stream is set.
    using log_printer = std::function<void(FILE *stream, int level, const std::string &text)>;
    void set_log_printer(log_printer printer) { printer_ = std::move(printer); }
    void write_log(int level, std::string text);

    // The engine's own diagnostics: why a file a widget or scene named could not be used (an
    // image that is not a PNG, a font map entry that is a FIFO). Kept apart from the log, which
    // holds what the widgets said; echoed as "pitwall: <text>" to the log echo stream.
    const std::vector<std::string> &reports() const { return reports_; }
    void report(std::string text);

    // One hook that sees every log line and resource-manager call as a trace line (the
    // recording context installs itself here); empty to remove.
    void set_trace_hook(std::function<void(const std::string &)> hook);
    void trace(const std::string &line) const;

    // A canvas record of the given size for controls.
    static gr_canvas_t canvas(int16_t width, int16_t height) { return gr_canvas_t{{width, height}}; }

private:
    static int register_renderext(gr_renderext_registry_t *registry, const gr_renderext_t *renderext);
    // load_plugin; *name_taken says whether it failed on a display name loaded already.
    plugin *load_library(const std::string &library_path, error *err, bool *name_taken);

    std::string base_dir_;
    gr_application_t *app_ = nullptr; // first member of an engine-private record
    gr_services_t services_{};
    gr_renderext_registry_t registry_{};
    resources resources_;
    std::vector<std::unique_ptr<plugin>> plugins_;
    const gr_renderext_t *last_registered_ = nullptr;
    std::vector<log_line> log_;
    std::vector<std::string> reports_;
    std::function<void(const std::string &)> trace_hook_;
    FILE *echo_ = nullptr;
    log_printer printer_;

    friend class plugin;
};

// One engine at a time per plug-in library in a process: claim a dlopen handle (false when another
// plug-in record holds it), release it at unload.
bool claim_library(void *handle);
void release_library(void *handle);

// The engine that owns an application handle (the one every gre_app_log call names).
engine *engine_of(gr_application_t *app);

// A control record at (x, y) of (width, height) over a canvas.
inline gr_control_t make_control(int16_t x, int16_t y, int16_t width, int16_t height, gr_canvas_t *canvas) {
    return gr_control_t{x, y, width, height, canvas};
}

} // namespace pitwall

#endif // PITWALL_ENGINE_H
