// The engine: application and services, plug-in loading, instances and attribute marshalling.
#include "pitwall/engine.h"

#include <dirent.h>
#include <dlfcn.h>

#include <mutex>
#include <set>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>

namespace pitwall {
namespace {

// The application handle is the first member of this record, so the engine that owns a handle
// is found from the handle alone (gre_app_log receives nothing else).
struct app_record {
    gr_application_t app;
    engine *owner;
};

std::string quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

} // namespace

engine *engine_of(gr_application_t *app) {
    return app != nullptr ? reinterpret_cast<app_record *>(app)->owner : nullptr;
}

// ---- engine -----------------------------------------------------------------------------------

engine::engine(std::string base_dir) : base_dir_(std::move(base_dir)), resources_(base_dir_) {
    auto *record = new app_record{};
    record->owner = this;
    app_ = &record->app;
    app_->base_dir = base_dir_.c_str();
    app_->services = &services_;
    registry_.register_renderext = &engine::register_renderext;
    registry_.impl = this;
    services_.renderext_registry = &registry_;
    services_.render = nullptr;
    services_.resources = resources_.table();
}

engine::~engine() {
    unload_all();
    delete reinterpret_cast<app_record *>(app_);
}

int engine::register_renderext(gr_renderext_registry_t *registry, const gr_renderext_t *renderext) {
    static_cast<engine *>(registry->impl)->last_registered_ = renderext;
    return 0;
}

plugin *engine::load_plugin(const std::string &library_path, error *err) {
    return load_library(library_path, err, nullptr);
}

plugin *engine::load_library(const std::string &library_path, error *err, bool *name_taken) {
    auto fail = [&](std::string message) -> plugin * {
        if (err != nullptr) *err = library_path + ": " + message;
        return nullptr;
    };
    std::unique_ptr<plugin> loaded(new plugin(*this, library_path));
    loaded->library_ = dlopen(library_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (loaded->library_ == nullptr) {
        const char *why = dlerror();
        return fail(why != nullptr ? why : "cannot be loaded");
    }
    // A plug-in keeps process-wide state (the application handle its init was given, its shared
    // images): a second engine initialising the same library would take it from the first.
    if (!claim_library(loaded->library_))
        return fail("is in use by another engine of this process (one engine per plug-in library)");
    loaded->claimed_ = true;
    auto create = reinterpret_cast<gre_plugin_create_fn>(dlsym(loaded->library_, "gre_plugin_create"));
    if (create == nullptr) return fail("exports no gre_plugin_create");
    if (create(&loaded->record_) != 0) return fail("gre_plugin_create failed");
    if (loaded->record_.interface_version != GRE_PLUGIN_INTERFACE_VERSION)
        return fail("interface version " + std::to_string(loaded->record_.interface_version) + ", expected " +
                    std::to_string(GRE_PLUGIN_INTERFACE_VERSION) + ": refused");
    if (loaded->record_.name == nullptr || loaded->record_.init == nullptr)
        return fail("the plug-in record has no name or no init callback");
    loaded->name_ = loaded->record_.name;
    // Checked before init, so the second library's init never runs.
    if (const plugin *first = find_plugin(loaded->name_)) {
        if (name_taken != nullptr) *name_taken = true;
        return fail("registers \"" + loaded->name_ + "\", which " + first->path() + " registered already: not loaded");
    }
    last_registered_ = nullptr;
    loaded->record_.init(app_);
    loaded->initialised_ = true;
    if (last_registered_ == nullptr) return fail("init registered no render extension");
    loaded->descriptor_ = last_registered_;
    if (loaded->descriptor_->draw == nullptr || loaded->descriptor_->set_attribute == nullptr ||
        loaded->descriptor_->attributes == nullptr)
        return fail("the render extension lacks draw, set_attribute or its attribute table");
    plugins_.push_back(std::move(loaded));
    return plugins_.back().get();
}

namespace {

// The real path of a file or folder; the path itself if it cannot be resolved.
std::string real_path(const std::string &path) {
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(path, ec);
    return ec ? path : real.string();
}

} // namespace

std::vector<plugin *> engine::load_plugin_dir(const std::string &dir, std::vector<error> *errors) {
    return load_plugin_dirs({dir}, errors, errors);
}

std::vector<plugin *> engine::load_plugin_dirs(const std::vector<std::string> &dirs, std::vector<error> *errors,
                                               std::vector<error> *conflicts) {
    std::set<std::string> real_dirs, real_files;
    for (const auto &p : plugins_) real_files.insert(real_path(p->path()));
    std::vector<plugin *> loaded;
    for (const std::string &dir : dirs) {
        if (!real_dirs.insert(real_path(dir)).second) continue;
        std::vector<std::string> names;
        if (DIR *d = opendir(dir.c_str())) {
            while (dirent *entry = readdir(d)) {
                std::string name = entry->d_name;
                if (name.rfind("libgre-plugin-", 0) == 0 && name.size() > 3 && name.ends_with(".so"))
                    names.push_back(name);
            }
            closedir(d);
        } else if (errors != nullptr) {
            errors->push_back(dir + ": no such plug-in directory");
        }
        std::sort(names.begin(), names.end());
        for (const std::string &name : names) {
            const std::string path = dir + "/" + name;
            // The same library reached twice (a link, a folder under two names) is the one plug-in.
            if (!real_files.insert(real_path(path)).second) continue;
            error err;
            bool name_taken = false;
            if (plugin *p = load_library(path, &err, &name_taken))
                loaded.push_back(p);
            else if (std::vector<error> *to = name_taken ? conflicts : errors; to != nullptr)
                to->push_back(err);
        }
    }
    return loaded;
}

plugin *engine::find_plugin(std::string_view display_name) const {
    for (const auto &p : plugins_)
        if (p->display_name() == display_name) return p.get();
    return nullptr;
}

void engine::unload_all(const std::function<void(const plugin &)> &before_each) {
    // Last loaded, first unloaded.
    while (!plugins_.empty()) {
        if (before_each) before_each(*plugins_.back());
        plugins_.pop_back();
    }
}

void engine::write_log(int level, std::string text) {
    if (echo_ != nullptr && printer_) printer_(echo_, level, text);
    else if (echo_ != nullptr) std::fprintf(echo_, "%d %s\n", level, text.c_str());
    trace("log " + std::to_string(level) + " " + text);
    log_.push_back({level, std::move(text)});
}

void engine::report(std::string text) {
    if (echo_ != nullptr && printer_) printer_(echo_, -1, text);
    else if (echo_ != nullptr) std::fprintf(echo_, "pitwall: %s\n", text.c_str());
    reports_.push_back(std::move(text));
}

void engine::set_trace_hook(std::function<void(const std::string &)> hook) {
    trace_hook_ = std::move(hook);
    resources_.set_trace(trace_hook_);
}

void engine::trace(const std::string &line) const {
    if (trace_hook_) trace_hook_(line);
}

// ---- plugin -----------------------------------------------------------------------------------

namespace {

// The libraries some engine of this process holds, by dlopen handle (one per library file).
std::mutex g_claimed_mutex;
std::set<void *> g_claimed;

} // namespace

bool claim_library(void *handle) {
    std::lock_guard<std::mutex> lock(g_claimed_mutex);
    return g_claimed.insert(handle).second;
}

void release_library(void *handle) {
    std::lock_guard<std::mutex> lock(g_claimed_mutex);
    g_claimed.erase(handle);
}

plugin::plugin(engine &owner, std::string path) : engine_(&owner), path_(std::move(path)) {}

plugin::~plugin() {
    if (initialised_ && record_.fini != nullptr) record_.fini(engine_->app());
    std::free(record_.name);
    if (claimed_) release_library(library_);
    if (library_ != nullptr) dlclose(library_);
}

std::vector<gr_attribute_t> plugin::attributes() const {
    std::vector<gr_attribute_t> out;
    for (const gr_attribute_t *a = descriptor_->attributes; a->name != nullptr; ++a) out.push_back(*a);
    return out;
}

const gr_attribute_t *plugin::find_attribute(std::string_view name) const {
    for (const gr_attribute_t *a = descriptor_->attributes; a->name != nullptr; ++a)
        if (name == a->name) return a;
    return nullptr;
}

const gr_attribute_t *plugin::find_attribute(int32_t id) const {
    for (const gr_attribute_t *a = descriptor_->attributes; a->name != nullptr; ++a)
        if (a->id == id) return a;
    return nullptr;
}

std::unique_ptr<instance> plugin::create() { return std::unique_ptr<instance>(new instance(*this)); }

// ---- instance ---------------------------------------------------------------------------------

instance::instance(plugin &owner) : plugin_(&owner) {
    record_.visible = 1;
    record_.width = -1; // take the control's size until the widget is given its own
    record_.height = -1;
    record_.data = std::calloc(1, owner.descriptor().data_size > 0 ? owner.descriptor().data_size : 1);
}

instance::~instance() {
    if (plugin_->descriptor().destroy != nullptr) plugin_->descriptor().destroy(&record_);
    std::free(record_.data);
}

namespace {

// Convert a value for a type code into the bytes set_attribute receives.
struct marshalled {
    union {
        int32_t i32;
        float f32;
        uint8_t u8;
    } number{};
    std::string text;
    bool is_null_string = false;
};

error marshal(const gr_attribute_t &attr, const attr_value &value, marshalled &out) {
    std::string_view type = attr.type;
    std::string what = "attribute \"" + std::string(attr.name) + "\" (" + std::string(type) + ")";
    if (type == GR_TYPE_STRING) {
        if (std::holds_alternative<null_string>(value)) {
            out.is_null_string = true;
            return {};
        }
        if (const auto *s = std::get_if<std::string>(&value)) {
            out.text = *s;
            return {};
        }
        return what + " takes a string";
    }
    if (type == GR_TYPE_FLOAT) {
        if (const auto *d = std::get_if<double>(&value)) {
            out.number.f32 = static_cast<float>(*d);
            return {};
        }
        if (const auto *i = std::get_if<int64_t>(&value)) {
            out.number.f32 = static_cast<float>(*i);
            return {};
        }
        if (const auto *s = std::get_if<std::string>(&value)) {
            // JSON has no NaN or infinity: scenes spell them out.
            if (*s == "nan") { out.number.f32 = std::numeric_limits<float>::quiet_NaN(); return {}; }
            if (*s == "inf") { out.number.f32 = std::numeric_limits<float>::infinity(); return {}; }
            if (*s == "-inf") { out.number.f32 = -std::numeric_limits<float>::infinity(); return {}; }
        }
        return what + " takes a number (or \"nan\", \"inf\", \"-inf\")";
    }
    const auto *i = std::get_if<int64_t>(&value);
    if (i == nullptr) return what + " takes an integer";
    if (type == GR_TYPE_UINT8) {
        if (*i < 0 || *i > 255) return what + " takes 0 to 255, not " + std::to_string(*i);
        out.number.u8 = static_cast<uint8_t>(*i);
        return {};
    }
    if (type == GR_TYPE_INT32 || type == GR_TYPE_UINT32) {
        // Both accept the whole 32-bit pattern: colours with an alpha byte exceed INT32_MAX.
        if (*i < std::numeric_limits<int32_t>::min() || *i > std::numeric_limits<uint32_t>::max())
            return what + " takes a 32-bit integer, not " + std::to_string(*i);
        out.number.i32 = static_cast<int32_t>(static_cast<uint32_t>(*i));
        return {};
    }
    return what + " has a type code the engine does not know";
}

} // namespace

error instance::set(std::string_view name, const attr_value &value) {
    const gr_attribute_t *attr = plugin_->find_attribute(name);
    if (attr == nullptr) return quote(plugin_->display_name()) + " has no attribute " + quote(name);
    return set(attr->id, value);
}

error instance::set(int32_t id, const attr_value &value) {
    const gr_attribute_t *attr = plugin_->find_attribute(id);
    if (attr == nullptr) return quote(plugin_->display_name()) + " has no attribute id " + std::to_string(id);
    marshalled m;
    if (error err = marshal(*attr, value, m); !err.empty()) return quote(plugin_->display_name()) + ": " + err;
    if (std::string_view(attr->type) == GR_TYPE_STRING)
        set_raw(attr->id, m.is_null_string ? nullptr : m.text.c_str());
    else
        set_raw(attr->id, &m.number);
    return {};
}

void instance::set_raw(int32_t id, const void *value) { plugin_->descriptor().set_attribute(id, value, &record_); }

int instance::draw(gr_context_t *ctx, const gr_control_t &control) {
    gr_control_t copy = control;
    return plugin_->descriptor().draw(ctx, &copy, &record_);
}

std::unique_ptr<instance> instance::clone() {
    std::unique_ptr<instance> copy(new instance(*plugin_));
    void *data = copy->record_.data;
    copy->record_ = record_; // the engine's own fields travel with the clone
    copy->record_.data = data;
    if (plugin_->descriptor().clone != nullptr) plugin_->descriptor().clone(&copy->record_, &record_);
    return copy;
}

} // namespace pitwall
