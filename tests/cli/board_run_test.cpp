// The racing dashboard as a board shows it: `pitwall run --display offscreen` of this build fed
// over UDP on loopback and from a candump log decoded by its DBC file, its screenshot byte for byte
// the one the desk's tool takes of the same feed. The board's test run names the desk's tool in
// the environment (PITWALL_DESK_TOOL, the armhf and arm64 test presets); elsewhere there is
// nothing to compare with.
#include "running_tool.h"
#include "tool_test.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pitwall::testing {
namespace {

const std::string k_examples = std::string(PITWALL_SOURCE_DIR) + "/examples";

void send_udp(int port, const std::string &bytes) {
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    ::close(s);
}

// How a case feeds the dashboard and knows that everything sent is drawn.
struct feed_case {
    const char *name;
    std::vector<std::string> args; // after the scene, --display offscreen and --stats
    const char *datagram;          // sent once the tool listens; nullptr for a log
};

class board_run : public tool_test {
protected:
    // The racing dashboard with its files named in full and nothing going stale or handing over to
    // the demo loop however slowly an emulated board draws: the last values stay on the screen.
    std::string dashboard() {
        nlohmann::json scene = nlohmann::json::parse(slurp(k_examples + "/racing-dashboard.json"));
        nlohmann::json &feeds = scene["feeds"];
        feeds.erase("sources");
        feeds["dbc"] = k_examples + "/" + feeds["dbc"].get<std::string>();
        feeds["demo_after"] = 3600;
        feeds["timeout"] = 3600;
        for (auto &channel : feeds["channels"])
            if (channel.contains("timeout")) channel["timeout"] = 3600;
        scene["telemetry"]["file"] = k_examples + "/" + scene["telemetry"]["file"].get<std::string>();
        return write("racing-dashboard.json", scene.dump(1));
    }

    // Runs `tool` on the case's feed until all of it is drawn, then stops it; its screenshot's bytes.
    std::string screenshot(const std::string &tool, const std::string &scene, const feed_case &c,
                           const std::string &png, std::vector<std::string> extra) {
        std::vector<std::string> args = {"run", scene, "--display", "offscreen", "--stats", "--screenshot", png};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), extra.begin(), extra.end());
        running_tool run(tool, args, dir, {"SDL_AUDIODRIVER=dummy"});
        EXPECT_TRUE(run.started()) << tool;
        size_t at = run.wait_for("shown at", 60);
        EXPECT_NE(at, std::string::npos) << run.err();
        if (c.datagram != nullptr) {
            const size_t port_at = run.err().find("udp 127.0.0.1:");
            EXPECT_NE(port_at, std::string::npos) << run.err();
            if (port_at == std::string::npos) return "";
            send_udp(std::atoi(run.err().c_str() + port_at + 14), c.datagram);
            at = run.wait_for(" values)", 60, at);
        } else {
            at = run.wait_for("no more data", 60, at);
        }
        EXPECT_NE(at, std::string::npos) << run.err();
        // A second without values (its line ends at the core's share): every value is drawn.
        EXPECT_NE(run.wait_for("% of a core\n", 60, at), std::string::npos) << run.err();
        EXPECT_EQ(run.stop(SIGTERM, 60), 0) << run.err();
        return slurp(png);
    }
};

TEST_F(board_run, the_racing_dashboard_fed_over_udp_and_from_a_candump_log_draws_as_on_the_desk) {
    const char *desk_tool = std::getenv("PITWALL_DESK_TOOL");
    if (desk_tool == nullptr || *desk_tool == '\0')
        GTEST_SKIP() << "no desk tool to compare with: the board's test run names one in PITWALL_DESK_TOOL";
    const feed_case cases[] = {
        {"udp", {"--feed", "udp:127.0.0.1:0"},
         R"({"lap_time": 83.456, "rpm": 7450, "speed": 212.4, "water": 96.5, "gear": 4, "oil": 3.2})"},
        {"candump",
         {"--feed", "candump:" + k_examples + "/lap-can.log?speed=100", "--feed-dbc", k_examples + "/race-ecu.dbc"},
         nullptr},
    };
    const std::string scene = dashboard();
    for (const feed_case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string board =
            screenshot(PITWALL_TOOL, scene, c, dir + "/" + c.name + "-board.png", {"--plugins", PITWALL_PLUGIN_DIR});
        const std::string desk = screenshot(desk_tool, scene, c, dir + "/" + c.name + "-desk.png", {});
        ASSERT_GT(desk.size(), 1000u) << "the desk's screenshot";
        EXPECT_TRUE(board == desk) << "byte for byte: " << dir << "/" << c.name << "-{board,desk}.png";
    }
}

} // namespace
} // namespace pitwall::testing
