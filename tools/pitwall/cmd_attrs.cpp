// pitwall attrs [WIDGET]: each plug-in's display name and attribute table.
#include "commands.h"

#include "pitwall/default_dirs.h"

#include <cstdio>

namespace pitwall::cli {

int cmd_attrs(const options &opts) {
    std::unique_ptr<engine> eng = make_engine(opts, default_app_dir());
    if (!eng) return exit_usage;
    bool found = false;
    for (const auto &p : eng->plugins()) {
        if (!opts.widget.empty() && p->display_name() != opts.widget) continue;
        found = true;
        std::printf("%s (%s, %lu bytes per instance)\n", p->display_name().c_str(), p->path().c_str(),
                    static_cast<unsigned long>(p->descriptor().data_size));
        for (const gr_attribute_t &a : p->attributes()) std::printf("  %3d  %-16s %s\n", a.id, a.name, a.type);
    }
    if (!found) {
        std::fprintf(stderr, "pitwall attrs: no plug-in named \"%s\"\n", opts.widget.c_str());
        return exit_usage;
    }
    return exit_ok;
}

} // namespace pitwall::cli
