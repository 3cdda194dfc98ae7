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
    names_[name] = source{path, false};
}

void resources::add_font(const std::string &name) { names_[name] = source{"", false}; }

void resources::stage_font_failure(const std::string &name) { names_[name] = source{"", true}; }

void resources::clear() {
    names_.clear();
    entries_.clear();
}

gr_resource *resources::find(const std::string &name, int32_t size) {
    auto key = std::make_pair(name, size);
    if (auto it = entries_.find(key); it != entries_.end()) return it->second.get();
    source src;
    if (auto it = names_.find(name); it != names_.end()) {
        src = it->second;
    } else {
        // Not registered: a font file of that name under the application directory.
        std::string path = (!name.empty() && name[0] == '/') ? name : base_dir_ + "/" + name;
        if (!is_file(path)) return nullptr;
        src = source{path, false};
    }
    auto entry = std::make_unique<gr_resource>(gr_resource{gr_font{name, src.file, size}, src.font_fails});
    gr_resource *raw = entry.get();
    entries_[key] = std::move(entry);
    return raw;
}

gr_resource_t *resources::res_lookup(gr_resources_t *res, const char *kind, const char *name,
                                     gr_text_style_t *style) {
    resources &self = owner_of(res);
    std::string n = name != nullptr ? name : "";
    int32_t size = style != nullptr ? style->size : 0;
    gr_resource *entry = (kind != nullptr && std::strcmp(kind, "font") == 0) ? self.find(n, size) : nullptr;
    if (self.trace_)
        self.trace_("res_lookup " + std::string(kind != nullptr ? kind : "null") + " \"" + n + "\" size=" +
                    std::to_string(size) + (entry != nullptr ? " -> ok" : " -> null"));
    return reinterpret_cast<gr_resource_t *>(entry);
}

gr_font_t *resources::res_font(gr_resources_t *res, gr_resource_t *resource) {
    resources &self = owner_of(res);
    auto *entry = reinterpret_cast<gr_resource *>(resource);
    gr_font_t *font = (entry != nullptr && !entry->font_fails) ? reinterpret_cast<gr_font_t *>(&entry->font)
                                                               : nullptr;
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
