// The resource manager: font names resolved to files, one entry per name and pixel size.
#include "pitwall/resources.h"

#include <sys/stat.h>

#include <cstring>

namespace pitwall {
namespace {

bool is_file(const std::string &path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

resources &owner_of(gr_resources_t *res) { return *static_cast<resources *>(res->impl); }

} // namespace

resources::resources(std::string base_dir) : base_dir_(std::move(base_dir)) {
    table_.res_lookup = &resources::res_lookup;
    table_.res_font = &resources::res_font;
    table_.res_release = &resources::res_release;
    table_.impl = this;
}

void resources::map_font(const std::string &name, const std::string &file) {
    std::string path = (!file.empty() && file[0] != '/') ? base_dir_ + "/" + file : file;
    names_[name] = path;
}

void resources::add_font(const std::string &name) { names_[name] = ""; }

void resources::stage_font_failure(const std::string &name) {
    names_.try_emplace(name, "");
    faults_[name] = fault::font;
}

void resources::stage_lookup_failure(const std::string &name) { faults_[name] = fault::lookup; }

void resources::clear_fault(const std::string &name) { faults_.erase(name); }

void resources::clear() {
    names_.clear();
    faults_.clear();
    entries_.clear();
}

gr_resource *resources::find(std::string_view name, int32_t size) {
    if (auto f = faults_.find(name); f != faults_.end() && f->second == fault::lookup) return nullptr;
    if (auto it = entries_.find(entry_probe{name, size}); it != entries_.end()) return it->second.get();
    std::string file;
    if (auto it = names_.find(name); it != names_.end()) {
        file = it->second;
    } else {
        // Not registered: a font file of that name under the application directory, else the
        // default for that name.
        file = (!name.empty() && name[0] == '/') ? std::string(name) : base_dir_ + "/" + std::string(name);
        if (!is_file(file)) {
            auto fallback = defaults_.find(name);
            if (fallback == defaults_.end()) return nullptr;
            file = fallback->second;
        }
    }
    auto entry = std::make_unique<gr_resource>(gr_resource{gr_font{std::string(name), file, size}});
    gr_resource *raw = entry.get();
    entries_.emplace(entry_key{std::string(name), size}, std::move(entry));
    return raw;
}

gr_resource_t *resources::res_lookup(gr_resources_t *res, const char *kind, const char *name,
                                     gr_text_style_t *style) {
    resources &self = owner_of(res);
    std::string_view n = name != nullptr ? name : "";
    int32_t size = style != nullptr ? style->size : 0;
    gr_resource *entry = (kind != nullptr && std::strcmp(kind, "font") == 0) ? self.find(n, size) : nullptr;
    if (self.trace_)
        self.trace_("res_lookup " + std::string(kind != nullptr ? kind : "null") + " \"" + std::string(n) + "\" size=" +
                    std::to_string(size) + (entry != nullptr ? " -> ok" : " -> null"));
    return reinterpret_cast<gr_resource_t *>(entry);
}

gr_font_t *resources::res_font(gr_resources_t *res, gr_resource_t *resource) {
    resources &self = owner_of(res);
    auto *entry = reinterpret_cast<gr_resource *>(resource);
    bool fails = entry == nullptr || self.faults_.count(entry->font.name) != 0;
    gr_font_t *font = fails ? nullptr : reinterpret_cast<gr_font_t *>(&entry->font);
    if (self.trace_)
        self.trace_("res_font \"" + (entry != nullptr ? entry->font.name : std::string("null")) + "\"" +
                    (font != nullptr ? " -> ok" : " -> null"));
    return font;
}

void resources::res_release(gr_resources_t *res, gr_resource_t *resource) {
    resources &self = owner_of(res);
    auto *entry = reinterpret_cast<gr_resource *>(resource);
    self.releases_ += 1;
    if (self.trace_)
        self.trace_("res_release \"" + (entry != nullptr ? entry->font.name : std::string("null")) + "\"");
}

} // namespace pitwall
