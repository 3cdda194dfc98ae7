// pitwall run, as a dashboard maker runs it: live values over UDP on loopback and from standard
// input drawn offscreen, the same picture as `render` of those values; the demo loop handing over
// to live data and back; stale channels and their recovery; a recording that replays to the same
// frame; a flood that leaves the loop drawing with memory flat; bad datagrams counted; a reload on
// SIGHUP; and the refusals, each with its reason.
#include "running_tool.h"
#include "tool_test.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace pitwall::testing {
namespace {

// A gauge, a box and a lamp; `feeds` and `more` complete the scene.
std::string dash_scene(const std::string &water, const std::string &speed, const std::string &feeds,
                       const std::string &more = "") {
    return R"({"canvas": {"width": 320, "height": 170, "background": "#101418"},
 "controls": [
  {"widget": "Modern Gauge Small", "name": "water", "x": 0, "y": 0, "width": 160, "height": 160,
   "attributes": {"value_min": 40, "value_max": 130, "decimals": 1, "text": "<channel value>", "font_size": 22,
                  "alignment": 2, "color_gauge": "#4eec00", "color_text": "#ffffff", "angle_start": 45, "angle_span": 270,
                  "value": )" + water + R"(}},
  {"widget": "Basic Box", "name": "speed", "x": 170, "y": 10, "width": 140, "height": 60,
   "attributes": {"render_text": ")" + speed + R"(", "font_size": 24}},
  {"widget": "Modern Alarm", "name": "sensors", "x": 170, "y": 100, "width": 140, "height": 40,
   "attributes": {"render_text": "SENSORS", "font_size": 16, "color_box": "grey", "upper_box": "red",
                  "upper_limit": 1, "upper_value": 0.5, "value": 0}}]
 )" + (feeds.empty() ? "" : ", " + feeds) + more + "}";
}

std::string feeds_with(double timeout, double demo_after) {
    return R"("feeds": {"demo_after": )" + std::to_string(demo_after) + R"(, "timeout": )" + std::to_string(timeout) + R"(,
   "channels": {
    "water": {"drives": {"control": "water", "attribute": "value"}, "stale": {"lamp": "sensors"}},
    "speed": {"drives": {"control": "speed", "attribute": "render_text", "format": "%.0f km/h"}, "stale": {"text": "--- km/h"}}}})";
}

const std::string k_demo = R"(, "tracks": [{"control": "speed", "attribute": "render_text", "keys": [[0, "DEMO 1"], [0.5, "DEMO 2"]]}])";

class udp_sender {
public:
    explicit udp_sender(int port) : socket_(::socket(AF_INET, SOCK_DGRAM, 0)) {
        to_.sin_family = AF_INET;
        to_.sin_port = htons(uint16_t(port));
        to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~udp_sender() { ::close(socket_); }
    void send(const std::string &bytes) {
        ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr *>(&to_), sizeof to_);
    }

private:
    int socket_;
    sockaddr_in to_{};
};

class run_test : public tool_test {
protected:
    std::unique_ptr<running_tool> tool;
    int port = 0;

    // `pitwall run SCENE --display offscreen ARGS...`, waiting until it has said where it listens.
    void start(const std::string &scene, std::vector<std::string> args) {
        std::vector<std::string> all = {"run", scene, "--display", "offscreen", "--stats", "--plugins", PITWALL_PLUGIN_DIR};
        all.insert(all.end(), args.begin(), args.end());
        tool = std::make_unique<running_tool>(PITWALL_TOOL, all, dir, std::vector<std::string>{"SDL_AUDIODRIVER=dummy"});
        ASSERT_TRUE(tool->started());
        ASSERT_NE(tool->wait_for("shown at", 30), std::string::npos) << tool->err();
        // --stats says once how long the start took, from the process's own start.
        ASSERT_NE(tool->wait_for(" s after the process started (", 30), std::string::npos) << tool->err();
        const size_t at = tool->err().find("udp 127.0.0.1:");
        if (at != std::string::npos) port = std::atoi(tool->err().c_str() + at + 14);
    }
    // Until a --stats line reports values shown after `from`, and a later second none (its line
    // ends at the core's share): every value sent before is drawn. The offset past it.
    size_t shown(size_t from = 0) {
        size_t at = tool->wait_for(" values)", 30, from);
        EXPECT_NE(at, std::string::npos) << tool->err();
        at = tool->wait_for("% of a core\n", 30, at);
        EXPECT_NE(at, std::string::npos) << tool->err();
        return at;
    }
    tool_result render(const std::string &scene, const std::string &png) {
        return pitwall({"render", write("render.json", scene), "-o", png});
    }
};

TEST_F(run_test, values_over_udp_and_stdin_draw_what_render_draws_of_them) {
    const std::string scene = write("dash.json", dash_scene("90", "0 km/h", feeds_with(60, 3)));
    ASSERT_EQ(render(dash_scene("101.5", "212 km/h", ""), dir + "/expected.png").exit_code, 0);
    for (const char *feed : {"udp:127.0.0.1:0", "stdin"}) {
        SCOPED_TRACE(feed);
        start(scene, {"--feed", feed, "--screenshot", dir + "/live.png"});
        const std::string values = R"({"water": 101.5, "speed": 212.4})";
        if (port > 0) udp_sender(port).send(values);
        else tool->write_input(values + "\n");
        shown();
        tool->close_input();
        EXPECT_EQ(tool->stop(SIGTERM), 0) << tool->err();
        EXPECT_TRUE(slurp(dir + "/live.png") == slurp(dir + "/expected.png")) << "byte for byte";
        port = 0;
    }
}

TEST_F(run_test, the_demo_hands_over_to_live_data_channels_go_stale_recover_and_the_demo_returns) {
    start(write("dash.json", dash_scene("90", "0 km/h", feeds_with(0.3, 1), k_demo)), {"--feed", "udp:127.0.0.1:0"});
    ASSERT_GT(port, 0);
    udp_sender udp(port);
    udp.send("water=95.5,speed=180");
    size_t at = tool->wait_for("live data: the demo loop stops", 30);
    ASSERT_NE(at, std::string::npos) << tool->err();
    at = tool->wait_for("channel \"water\": no value for 0.3 s, shown as stale", 30, at);
    ASSERT_NE(at, std::string::npos) << tool->err();
    udp.send("water=96");
    at = tool->wait_for("channel \"water\": live again", 30, at);
    ASSERT_NE(at, std::string::npos) << tool->err();
    at = tool->wait_for("no live value for 1 s: the demo loop plays", 30, at);
    ASSERT_NE(at, std::string::npos) << tool->err();
    EXPECT_EQ(tool->stop(SIGINT), 0) << tool->err();
    // Each change of state is told once.
    EXPECT_EQ(tool->err().find("live data: the demo loop stops", tool->err().find("live data: the demo loop stops") + 1),
              std::string::npos);
}

TEST_F(run_test, a_recording_replays_to_the_same_frame) {
    const std::string scene = write("dash.json", dash_scene("90", "0 km/h", feeds_with(60, 3)));
    start(scene, {"--feed", "udp:127.0.0.1:0", "--record", dir + "/day.csv", "--screenshot", dir + "/live.png"});
    udp_sender udp(port);
    for (const char *values : {"water=80", R"({"water": 88.25, "speed": 97.6})", "speed=143.5", "water=101.125"}) {
        udp.send(values);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    udp.send("water=101.125"); // the value the frame ends with
    shown();
    ASSERT_EQ(tool->stop(SIGTERM), 0) << tool->err();
    const std::string recorded = slurp(dir + "/day.csv");
    EXPECT_EQ(recorded.substr(0, recorded.find('\n')), "t,water,speed");
    EXPECT_NE(recorded.find(",88.25,97.6\n"), std::string::npos) << "one datagram, one row:\n" << recorded;
    EXPECT_NE(recorded.find(",,143.5\n"), std::string::npos) << "a channel without a value is an empty field:\n" << recorded;

    start(scene, {"--feed", "csv:" + dir + "/day.csv", "--screenshot", dir + "/replayed.png"});
    ASSERT_NE(tool->wait_for("no more data", 30), std::string::npos) << tool->err();
    EXPECT_EQ(tool->stop(SIGTERM), 0) << tool->err();
    EXPECT_TRUE(slurp(dir + "/replayed.png") == slurp(dir + "/live.png"));

    // The recording is never written over.
    const tool_result again = pitwall({"run", scene, "--display", "offscreen", "--record", dir + "/day.csv", "--seconds", "1"});
    EXPECT_EQ(again.exit_code, 2);
    EXPECT_NE(again.err.find("day.csv"), std::string::npos) << again.err;
    EXPECT_EQ(slurp(dir + "/day.csv"), recorded);
}

long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

TEST_F(run_test, a_flood_and_bad_datagrams_leave_the_loop_drawing_with_memory_flat) {
    const std::string scene = write("dash.json", dash_scene("90", "0 km/h", feeds_with(60, 3)));
    ASSERT_EQ(render(dash_scene("77", "55 km/h", ""), dir + "/expected.png").exit_code, 0);
    start(scene, {"--feed", "udp:127.0.0.1:0", "--screenshot", dir + "/live.png"});
    udp_sender udp(port);
    udp.send("water=60");
    size_t at = shown();
    const long before = resident_kib(tool->pid());
    // 100 000 datagrams within about a second, valid and not.
    const char *junk[] = {"{\"water\": ", "\x01\x02\xff", "[1,2,3]", "water=abc", "boost=1"};
    for (int i = 0; i < 100000; ++i) {
        if (i % 10 == 0) udp.send(junk[(i / 10) % 5]);
        else udp.send("{\"water\": " + std::to_string(40 + i % 90) + ", \"speed\": " + std::to_string(i % 300) + "}");
        if (i % 1000 == 999) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    at = tool->wait_for("datagrams refused", 30, at);
    EXPECT_NE(at, std::string::npos) << "bad datagrams are reported";
    // A second without values (its statistics end at the core's share): the flood is read.
    at = tool->wait_for("% of a core\n", 60, at);
    ASSERT_NE(at, std::string::npos) << tool->err();
    udp.send("water=77,speed=55");
    shown(at);
    const long after = resident_kib(tool->pid());
    EXPECT_LT(after - before, 64 * 1024) << "resident memory grew from " << before << " KiB to " << after << " KiB";
    EXPECT_EQ(tool->stop(SIGTERM), 0) << tool->err();
    EXPECT_TRUE(slurp(dir + "/live.png") == slurp(dir + "/expected.png")) << "the last value shows";
}

TEST_F(run_test, sighup_reloads_the_scene_and_keeps_the_old_one_when_the_new_one_is_broken) {
    const std::string scene = write("dash.json", dash_scene("90", "BEFORE", feeds_with(60, 3)));
    ASSERT_EQ(render(dash_scene("90", "AFTER", ""), dir + "/expected.png").exit_code, 0);
    start(scene, {"--screenshot", dir + "/live.png"});
    write("dash.json", "{\"controls\": [}");
    ::kill(tool->pid(), SIGHUP);
    size_t at = tool->wait_for("not reloaded, the scene shown stays", 30);
    ASSERT_NE(at, std::string::npos) << tool->err();
    write("dash.json", dash_scene("90", "AFTER", feeds_with(60, 3)));
    ::kill(tool->pid(), SIGHUP);
    ASSERT_NE(tool->wait_for("dash.json reloaded", 30, at), std::string::npos) << tool->err();
    EXPECT_EQ(tool->stop(SIGTERM), 0) << tool->err();
    EXPECT_TRUE(slurp(dir + "/live.png") == slurp(dir + "/expected.png"));
}

std::vector<std::string> frames_of(const std::string &log) {
    std::vector<std::string> frames;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (const size_t space = line.rfind(' '); space != std::string::npos) frames.push_back(line.substr(space + 1));
    return frames;
}

TEST_F(run_test, the_example_lap_plays_from_its_can_log_and_records_the_same_frames) {
    const std::string examples = std::string(PITWALL_SOURCE_DIR) + "/examples";
    start(examples + "/racing-dashboard.json",
          {"--feed", "candump:" + examples + "/lap-can.log?speed=30", "--feed-dbc", examples + "/race-ecu.dbc", "--record",
           dir + "/heard.log"});
    ASSERT_NE(tool->wait_for("no more data", 60), std::string::npos) << tool->err();
    EXPECT_EQ(tool->stop(SIGTERM), 0) << tool->err();
    EXPECT_EQ(tool->err().find("refused"), std::string::npos) << tool->err();
    EXPECT_EQ(tool->err().find("bad value"), std::string::npos) << tool->err();
    const std::vector<std::string> heard = frames_of(slurp(dir + "/heard.log"));
    const std::vector<std::string> sent = frames_of(slurp(examples + "/lap-can.log"));
    EXPECT_EQ(heard.size(), sent.size());
    EXPECT_TRUE(heard == sent) << "every frame recorded as it came, in order";
}

TEST_F(run_test, what_cannot_run_is_refused_with_its_reason) {
    const std::string scene = write("dash.json", dash_scene("90", "0 km/h", feeds_with(60, 3)));
    write("taken.csv", "t,water\n");
    std::filesystem::create_symlink(dir + "/taken.csv", dir + "/link.csv");
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--feed", "udp:127.0.0.1:99999"}, "99999"},
        {{"--feed", "serial:/dev/ttyS0"}, "serial:/dev/ttyS0"},
        {{"--feed", "csv:" + dir + "/missing.csv"}, "missing.csv"},
        {{"--display", "framebuffer"}, "framebuffer"},
        {{"--rotate", "45"}, "45"},
        {{"--fps", "0"}, "--fps"},
        {{"--record", dir + "/taken.csv"}, "taken.csv"},
        {{"--record", dir + "/link.csv"}, "link.csv"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"run", scene, "--display", "offscreen", "--seconds", "5"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args.back());
        const tool_result r = pitwall(args);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(slurp(dir + "/taken.csv"), "t,water\n");
    const std::string broken = write("broken.json", dash_scene("90", "0", R"("feeds": {"channels": {"water": {"control": "gauge", "attribute": "value"}}})"));
    const tool_result r = pitwall({"run", broken, "--display", "offscreen", "--seconds", "5"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("broken.json:12:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no control named \"gauge\""), std::string::npos) << r.err;
}

} // namespace
} // namespace pitwall::testing
