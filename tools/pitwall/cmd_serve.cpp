// pitwall serve SCENE: the workbench as a web page. The handlers only translate between HTTP and
// the workbench; the page itself is compiled in (serve_files.h, generated from serve/).
//
// Loopback only unless --host says otherwise: the page can write scene files.
#include "commands.h"
#include "workbench.h"

#include "serve_files.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <thread>

namespace pitwall::cli {
namespace {

using json = nlohmann::json;

void send_json(httplib::Response &res, const json &body, int status = 200) {
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(body.dump(), "application/json");
}

// A failed request: the workbench's message, as the command line would print it.
void send_error(httplib::Response &res, const error &why) { send_json(res, {{"error", why}}, 400); }

void add_routes(httplib::Server &server, workbench &bench) {
    for (const serve_file &f : serve_files) {
        const std::string path = std::string(f.name) == "index.html" ? "/" : "/" + std::string(f.name);
        server.Get(path, [&f](const httplib::Request &, httplib::Response &res) {
            res.set_content(reinterpret_cast<const char *>(f.data), f.size, f.mime);
        });
    }
    server.Get("/frame.png", [&bench](const httplib::Request &, httplib::Response &res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(bench.frame_png(), "image/png");
    });
    server.Get("/api/state", [&bench](const httplib::Request &, httplib::Response &res) { send_json(res, bench.state()); });
    server.Get("/api/control", [&bench](const httplib::Request &req, httplib::Response &res) {
        error err;
        json form = bench.control_form(req.get_param_value("name"), &err);
        if (!err.empty()) return send_error(res, err);
        send_json(res, form);
    });
    server.Post("/api/set", [&bench](const httplib::Request &req, httplib::Response &res) {
        if (error e = bench.apply_request(req.body); !e.empty()) return send_error(res, e);
        send_json(res, bench.state());
    });
    server.Post("/api/play", [&bench](const httplib::Request &, httplib::Response &res) {
        bench.play(true);
        send_json(res, bench.state());
    });
    server.Post("/api/pause", [&bench](const httplib::Request &, httplib::Response &res) {
        bench.play(false);
        send_json(res, bench.state());
    });
    server.Post("/api/step", [&bench](const httplib::Request &, httplib::Response &res) {
        bench.play(false);
        bench.step();
        send_json(res, bench.state());
    });
    server.Post("/api/save", [&bench](const httplib::Request &req, httplib::Response &res) {
        json request = json::parse(req.body, nullptr, false);
        if (request.is_discarded() || !request.is_object()) return send_error(res, "malformed JSON: a save gives {\"name\": FILE}");
        std::string name = request.value("name", std::string());
        if (error e = bench.save(name); !e.empty()) return send_error(res, e);
        send_json(res, {{"saved", name.empty() ? bench.state()["scene"].get<std::string>() : name}});
    });
}

} // namespace

int cmd_serve(const options &opts) {
    workbench bench({opts.scene, opts.plugins, opts.app});
    if (error e = bench.load(); !e.empty()) {
        std::fprintf(stderr, "pitwall serve: %s\n", e.c_str());
        return exit_usage;
    }

    // SIGINT and SIGTERM stop the server in an orderly way (the plug-ins unload, the scratch
    // folder goes): blocked here, before any thread starts, and taken by one thread with sigwait.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    httplib::Server server;
    add_routes(server, bench);
    const int port = opts.port == 0 ? server.bind_to_any_port(opts.host)
                                    : (server.bind_to_port(opts.host, opts.port) ? opts.port : -1);
    if (port < 0) {
        std::fprintf(stderr, "pitwall serve: cannot listen on %s port %d\n", opts.host.c_str(), opts.port);
        return exit_usage;
    }
    std::printf("pitwall: serving %s at http://%s:%d/\n", opts.scene.c_str(), opts.host.c_str(), port);
    std::fflush(stdout);

    std::atomic<bool> stopping{false}, signalled{false};
    // The clock: the player's steps, and a look at the scene file's modification time.
    std::thread clock([&] {
        while (!stopping) {
            std::this_thread::sleep_for(std::chrono::duration<double>(workbench::step_seconds));
            bench.reload_if_changed();
            bench.tick();
        }
    });
    std::thread signals([&] {
        int signal = 0;
        sigwait(&stop_signals, &signal);
        signalled = true;
        if (!stopping) server.stop();
    });

    const bool listened = server.listen_after_bind();
    stopping = true;
    // Wake the signal thread if the server stopped by itself.
    if (!signalled) pthread_kill(signals.native_handle(), SIGTERM);
    signals.join();
    clock.join();
    return listened || signalled ? exit_ok : exit_usage;
}

} // namespace pitwall::cli
