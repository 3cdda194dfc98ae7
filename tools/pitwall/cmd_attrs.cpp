// pitwall attrs [WIDGET]: each plug-in's display name and attribute table.
#include "commands.h"

#include <cstdio>

namespace pitwall::cli {

int cmd_attrs(int argc, char **argv) {
    options opts;
    std::string err;
    if (!parse_options(argc, argv, opts, &err) || opts.positional.size() > 1) {
        std::fprintf(stderr, "pitwall attrs: %s\nusage: pitwall attrs [WIDGET] [--plugins DIR]\n",
                     err.empty() ? "too many arguments" : err.c_str());
        return exit_usage;
    }
    std::unique_ptr<engine> eng = make_engine(opts, default_app_dir());
    if (!eng) return exit_usage;
    bool found = false;
    for (const auto &p : eng->plugins()) {
        if (!opts.positional.empty() && p->display_name() != opts.positional[0]) continue;
        found = true;
        std::printf("%s (%s, %lu bytes per instance)\n", p->display_name().c_str(), p->path().c_str(),
                    static_cast<unsigned long>(p->descriptor().data_size));
        for (const gr_attribute_t &a : p->attributes()) std::printf("  %3d  %-16s %s\n", a.id, a.name, a.type);
    }
    if (!found) {
        std::fprintf(stderr, "pitwall attrs: no plug-in named \"%s\"\n", opts.positional[0].c_str());
        return exit_usage;
    }
    return exit_ok;
}

} // namespace pitwall::cli
