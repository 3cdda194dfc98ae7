// resources.h - the engine's resource manager: fonts by resource name.
//
// A name resolves, in this order, to an entry a test or scene registered (map_font, add_font), to
// a file of that name under the application's base directory, or to a default font file
// (map_default_font: the default theme's, which only the tool sets); a staged fault makes the lookup
// or the font of a name fail until it is cleared. Each
// lookup with a style yields the font at that style's pixel size; fonts are created once per
// (name, size) and live as long as the engine.
#ifndef PITWALL_RESOURCES_H
#define PITWALL_RESOURCES_H

#include "gre_host.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

// The engine's font: a named font file at one pixel size. The render contexts read these fields.
struct gr_font {
    std::string name; // resource name as the plug-in asked for it
    std::string file; // absolute font file, empty for a font that only the recording context models
    int32_t size;     // pixel size
};

// A resource-manager entry: one font name at the pixel size of the style it was looked up with.
struct gr_resource {
    gr_font font;
};

namespace pitwall {

class resources {
public:
    explicit resources(std::string base_dir);
    resources(const resources &) = delete;
    resources &operator=(const resources &) = delete;

    gr_resources_t *table() { return &table_; }

    // Point a resource name at a font file (absolute, or relative to the base directory).
    void map_font(const std::string &name, const std::string &file);
    // A font file for a name that neither a map nor the application directory resolves.
    void map_default_font(const std::string &name, const std::string &file) { defaults_[name] = file; }
    // A name that resolves without a file: enough for the recording context.
    void add_font(const std::string &name);
    // A name that res_lookup finds but whose res_font fails (a name not registered yet resolves
    // without a file).
    void stage_font_failure(const std::string &name);
    // A name that res_lookup does not find, even when registered.
    void stage_lookup_failure(const std::string &name);
    // The name resolves as it did before any fault was staged.
    void clear_fault(const std::string &name);
    // Forget every registered name.
    void clear();

    // Resolve a name at a pixel size to its entry, created once, or null (what res_lookup does,
    // without tracing). A name already resolved is found without copying it.
    gr_resource *find(std::string_view name, int32_t size);

    // Number of res_release calls so far (failed res_font paths release their resource).
    int releases() const { return releases_; }

    void set_trace(std::function<void(const std::string &)> trace) { trace_ = std::move(trace); }

private:
    static gr_resource_t *res_lookup(gr_resources_t *res, const char *kind, const char *name,
                                     gr_text_style_t *style);
    static gr_font_t *res_font(gr_resources_t *res, gr_resource_t *resource);
    static void res_release(gr_resources_t *res, gr_resource_t *resource);

    std::string base_dir_;
    gr_resources_t table_{};
    enum class fault { lookup, font };
    // Entries by (name, size), searchable by a view of the name: lookups on every draw copy nothing.
    using entry_key = std::pair<std::string, int32_t>;
    using entry_probe = std::pair<std::string_view, int32_t>;
    struct entry_order {
        using is_transparent = void;
        static entry_probe view(const entry_key &k) { return {k.first, k.second}; }
        static entry_probe view(const entry_probe &k) { return k; }
        template <typename A, typename B> bool operator()(const A &a, const B &b) const { return view(a) < view(b); }
    };
    std::map<std::string, std::string, std::less<>> names_; // name -> absolute file, empty for a modelled font
    std::map<std::string, std::string, std::less<>> defaults_; // name -> absolute file
    std::map<std::string, fault, std::less<>> faults_;
    std::map<entry_key, std::unique_ptr<gr_resource>, entry_order> entries_;
    int releases_ = 0;
    std::function<void(const std::string &)> trace_;
};

} // namespace pitwall

#endif // PITWALL_RESOURCES_H
