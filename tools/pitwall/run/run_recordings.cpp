// The recordings of `pitwall run --record`.
#include "run_recordings.h"

#include <cstdio>

namespace pitwall::cli {

bool run_recordings::choose(const std::vector<std::string> &paths) {
    for (const std::string &path : paths) {
        std::string &slot = path.ends_with(".log") ? raw_path_ : values_path_;
        if (!slot.empty()) {
            std::fprintf(stderr, "pitwall run: --record %s and %s: one recording of %s at a time\n", slot.c_str(),
                         path.c_str(), path.ends_with(".log") ? "raw frames (.log)" : "values (.csv)");
            return false;
        }
        slot = path;
    }
    return true;
}

bool run_recordings::open_raw() {
    if (raw_path_.empty()) return true;
    if (std::string why = raw_.open(raw_path_); !why.empty()) {
        std::fprintf(stderr, "pitwall run: %s\n", why.c_str());
        return false;
    }
    raw_open_ = true;
    return true;
}

bool run_recordings::open_values(const latest_values &table) {
    if (values_path_.empty()) return true;
    if (std::string why = values_.open(values_path_, table); !why.empty()) {
        std::fprintf(stderr, "pitwall run: %s\n", why.c_str());
        return false;
    }
    values_open_ = true;
    return true;
}

bool run_recordings::close() {
    bool ok = true;
    auto report = [&ok](const std::string &path, const std::string &why) {
        if (why.empty()) return;
        std::fprintf(stderr, "pitwall run: %s: %s\n", path.c_str(), why.c_str());
        ok = false;
    };
    if (values_open_) report(values_path_, values_.close());
    if (raw_open_) report(raw_path_, raw_.close());
    values_open_ = raw_open_ = false;
    return ok;
}

} // namespace pitwall::cli
