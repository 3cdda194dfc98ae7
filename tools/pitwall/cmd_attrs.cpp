// pitwall attrs [WIDGET]: each plug-in's display name and attribute table, each attribute with its
// description from the attribute catalog (built in, or the plug-in's own description file): kind,
// range and unit, what it does, the names a scene may write for it and its default.
#include "commands.h"

#include "pitwall/attribute_catalog.h"
#include "pitwall/default_dirs.h"
#include "pitwall/plugin_description.h"

#include <cstdio>

namespace pitwall::cli {

int cmd_attrs(const options &opts) {
    std::unique_ptr<engine> eng = make_engine(opts, default_app_dir());
    if (!eng) return exit_usage;
    bool found = false;
    std::vector<std::string> names;
    for (const auto &p : eng->plugins()) {
        names.push_back(p->display_name());
        if (!opts.widget.empty() && p->display_name() != opts.widget) continue;
        found = true;
        std::printf("%s (%s, %lu bytes per instance)\n", p->display_name().c_str(), p->path().c_str(),
                    static_cast<unsigned long>(p->descriptor().data_size));
        const widget_info *w = find_widget_info(p->display_name());
        if (w != nullptr && !w->what.empty()) std::printf("  %s\n", w->what.c_str());
        if (w == nullptr) std::printf("  undescribed (a description would be %s)\n", description_path(p->path()).c_str());
        else if (!w->built_in()) std::printf("  described by %s\n", w->source.c_str());
        for (const gr_attribute_t &a : p->attributes()) {
            const attribute_info *info = w != nullptr ? w->find(a.name) : nullptr;
            if (info == nullptr) {
                // The engine keeps the common attributes (ids up to 11) itself, whoever describes them.
                if (a.id <= 11) std::printf("  %3d  %-16s %s\n", a.id, a.name, a.type);
                else std::printf("  %3d  %-16s %-4s undescribed\n", a.id, a.name, a.type);
                continue;
            }
            std::printf("  %3d  %-16s %-4s %-22s %s\n", a.id, a.name, a.type, info->kind_text().c_str(),
                        info->what.c_str());
            // Continuation lines line up under the description.
            const char *indent = "                                                     ";
            if (!info->values.empty())
                std::printf("%s%s: %s\n", indent, info->kind == attribute_kind::palette ? "colours" : "names",
                            info->values_text().c_str());
            if (!info->when_invalid.empty()) std::printf("%soutside the range: %s\n", indent, info->when_invalid.c_str());
            if (w->built_in() || !info->default_value.empty()) std::printf("%sdefault: %s\n", indent, info->default_value.c_str());
        }
    }
    if (!found) {
        std::fprintf(stderr, "pitwall attrs: no plug-in named \"%s\"%s\n", opts.widget.c_str(),
                     did_you_mean(opts.widget, names).c_str());
        return exit_usage;
    }
    return exit_ok;
}

} // namespace pitwall::cli
