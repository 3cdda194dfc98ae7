#include "plugin_harness.h"

#include <cstdio>

namespace pitwall::testing {

std::string plugin_path(const std::string &deliverable) {
    return std::string(PITWALL_PLUGIN_DIR) + "/" + deliverable + ".so";
}

plugin_harness::plugin_harness(const std::string &deliverable, const std::string &base_dir)
    : eng(base_dir) {
    error err;
    plugin_ = eng.load_plugin(plugin_path(deliverable), &err);
    EXPECT_NE(plugin_, nullptr) << err;
    rec.clear_trace();
}

std::unique_ptr<instance> plugin_harness::make() { return plugin_->create(); }

void plugin_harness::set(instance &inst, const std::string &name, const attr_value &value) {
    error err = inst.set(name, value);
    EXPECT_TRUE(err.empty()) << err;
}

int plugin_harness::draw(instance &inst, const gr_control_t &ctl) {
    rec.clear_trace();
    return inst.draw(rec.context(), ctl);
}

std::vector<std::string> plugin_harness::lines(const std::string &prefix) const {
    std::vector<std::string> out;
    for (const std::string &l : rec.trace())
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
}

bool plugin_harness::has(const std::string &line) const { return find(line) >= 0; }

int plugin_harness::find(const std::string &line, int from) const {
    const auto &t = rec.trace();
    for (size_t i = static_cast<size_t>(from < 0 ? 0 : from); i < t.size(); ++i)
        if (t[i] == line) return static_cast<int>(i);
    return -1;
}

std::vector<std::string> exported_symbols(const std::string &library_path) {
    std::vector<std::string> out;
    std::string command = "nm -D --defined-only '" + library_path + "' 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        // "<address> <type> <name>"
        std::string l = line;
        while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
        size_t last = l.rfind(' ');
        if (last != std::string::npos) out.push_back(l.substr(last + 1));
    }
    pclose(pipe);
    return out;
}

} // namespace pitwall::testing
