// Loading plug-ins: the one export, the interface version, registration, attribute marshalling.
#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <memory>

namespace {

using pitwall::testing::plugin_harness;

std::vector<std::string> built_plugins() {
    std::vector<std::string> out;
    if (DIR *d = opendir(PITWALL_PLUGIN_DIR)) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n.rfind("libgre-plugin-", 0) == 0 && n.ends_with(".so")) out.push_back(n);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(plugin_libraries, each_exports_exactly_gre_plugin_create) {
    std::vector<std::string> libs = built_plugins();
    ASSERT_FALSE(libs.empty());
    for (const std::string &lib : libs) {
        std::vector<std::string> symbols = pitwall::testing::exported_symbols(std::string(PITWALL_PLUGIN_DIR) + "/" + lib);
        // Sanitizer builds add the runtime's own hooks; nothing of ours may appear besides the entry point.
        std::vector<std::string> ours;
        for (const std::string &s : symbols)
            if (s.rfind("__asan", 0) != 0 && s.rfind("__ubsan", 0) != 0 && s.rfind("__sanitizer", 0) != 0 &&
                s.rfind("__lsan", 0) != 0)
                ours.push_back(s);
        EXPECT_EQ(ours, std::vector<std::string>{"gre_plugin_create"}) << lib;
    }
}

TEST(plugin_libraries, each_loads_registers_and_names_itself_consistently) {
    pitwall::engine eng{"/app"};
    std::vector<pitwall::error> errors;
    auto loaded = eng.load_plugin_dir(PITWALL_PLUGIN_DIR, &errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(loaded.size(), built_plugins().size());
    for (pitwall::plugin *p : loaded) {
        EXPECT_EQ(p->display_name(), p->descriptor().name) << "record and descriptor carry the same name";
        auto attrs = p->attributes();
        ASSERT_GE(attrs.size(), 13u) << p->display_name();
        for (size_t i = 0; i < attrs.size(); ++i) {
            auto found = std::count_if(attrs.begin(), attrs.end(), [&](const gr_attribute_t &a) {
                return a.id == static_cast<int32_t>(i);
            });
            EXPECT_EQ(found, 1) << p->display_name() << ": ids cover 0.." << attrs.size() - 1 << " once each";
        }
        EXPECT_EQ(p->descriptor().aux1(nullptr), 0);
        EXPECT_EQ(p->descriptor().aux1, p->descriptor().aux2);
        EXPECT_EQ(p->descriptor().reserved10, nullptr);
    }
}

TEST(plugin_loading, a_wrong_interface_version_is_refused_clearly) {
    pitwall::engine eng{"/app"};
    pitwall::error err;
    EXPECT_EQ(eng.load_plugin(std::string(PITWALL_TEST_PLUGIN_DIR) + "/test-plugin-version4.so", &err), nullptr);
    EXPECT_NE(err.find("interface version 4, expected 5"), std::string::npos) << err;
    EXPECT_TRUE(eng.plugins().empty());
}

TEST(plugin_loading, a_plugin_that_registers_nothing_or_a_missing_file_is_an_error) {
    pitwall::engine eng{"/app"};
    pitwall::error err;
    EXPECT_EQ(eng.load_plugin(std::string(PITWALL_TEST_PLUGIN_DIR) + "/test-plugin-unregistered.so", &err), nullptr);
    EXPECT_NE(err.find("registered no render extension"), std::string::npos) << err;
    EXPECT_EQ(eng.load_plugin("/nonexistent/libgre-plugin-None.so", &err), nullptr);
    EXPECT_NE(err.find("/nonexistent/libgre-plugin-None.so"), std::string::npos) << err;
}

// A plug-in keeps its application handle and shared images process-wide: a second engine loading
// the same library while the first holds it would take them over, so it is refused; once the
// first engine has unloaded it, the library serves the next.
TEST(plugin_loading, one_engine_at_a_time_per_library) {
    const std::string splash = std::string(PITWALL_PLUGIN_DIR) + "/libgre-plugin-SplashImage.so";
    auto first = std::make_unique<pitwall::engine>("/app");
    ASSERT_NE(first->load_plugin(splash, nullptr), nullptr);
    pitwall::engine second{"/other"};
    pitwall::error err;
    EXPECT_EQ(second.load_plugin(splash, &err), nullptr);
    EXPECT_NE(err.find("is in use by another engine of this process"), std::string::npos) << err;
    EXPECT_EQ(first->load_plugin(splash, &err), nullptr) << "nor twice in one engine";
    first.reset();
    EXPECT_NE(second.load_plugin(splash, &err), nullptr) << err;
}

TEST(attribute_marshalling, unknown_names_and_wrong_kinds_are_errors_never_crashes) {
    plugin_harness h{"libgre-plugin-SplashImage"};
    auto logo = h.make();
    EXPECT_NE(logo->set("no_such", int64_t{1}), "");
    EXPECT_NE(logo->set("logo_path", int64_t{1}).find("takes a string"), std::string::npos);
    EXPECT_NE(logo->set("x", 1.5).find("takes an integer"), std::string::npos);
    EXPECT_NE(logo->set("x", int64_t{1} << 40).find("32-bit"), std::string::npos);
    EXPECT_NE(logo->set("rotation", std::string("left")), "");
    EXPECT_EQ(logo->set("rotation", std::string("nan")), "");
    EXPECT_EQ(logo->set("logo_path", pitwall::null_string{}), "");
    EXPECT_EQ(logo->set(12, std::string("a.png")), "");
    EXPECT_NE(logo->set(400, int64_t{1}), "");
    EXPECT_EQ(logo->record()->dirty, 2);
}

} // namespace
