// pitwall serve SCENE: the workbench as a web page. The handlers only translate between HTTP and
// the workbench; the page itself is compiled in (serve_files.h, generated from serve/), and every
// request passes serve_guard first.
//
// Loopback only unless --host says otherwise: the page can write scene files.
#include "commands.h"
#include "serve_guard.h"
#include "workbench.h"
#include "workbench_palette.h"

#include "pitwall/default_dirs.h"

#include "serve_files.h"

#include <httplib.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cmath>
#include <exception>
#include <map>
#include <pthread.h>
#include <string>
#include <thread>

namespace pitwall::cli {
namespace {

using json = nlohmann::json;

// Slow or idle clients give their worker back after this long without a byte; with more
// workers than a browser opens connections, a few trickling clients cannot starve the page.
constexpr time_t read_timeout_seconds = 5;
constexpr time_t keep_alive_seconds = 2;
constexpr size_t worker_threads = 32;

// Where the page finds the run's token: index.html holds this text, replaced as it is served.
constexpr const char *token_placeholder = "@PITWALL_TOKEN@";

void send_json(httplib::Response &res, const json &body, int status = 200) {
    res.status = status;
    res.set_header("Cache-Control", "no-store");
    // A message may quote what a request sent, invalid UTF-8 and all: replaced, never thrown on.
    res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

// A failed request: the workbench's message, as the command line would print it.
void send_error(httplib::Response &res, const error &why, int status = 400) { send_json(res, {{"error", why}}, status); }

request_view view_of(const httplib::Request &req) {
    request_view v{req.method,
                   req.get_header_value("Host"),
                   req.get_header_value("Origin"),
                   req.get_header_value("Content-Type"),
                   req.get_header_value(token_header),
                   std::nullopt,
                   req.get_header_value("Transfer-Encoding").find("chunked") != std::string::npos};
    if (req.has_header("Content-Length")) {
        const std::string text = req.get_header_value("Content-Length");
        size_t length = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), length);
        // A length that does not read as one is as bad as one too large.
        v.content_length = ec == std::errc() && end == text.data() + text.size() ? length : SIZE_MAX;
    }
    return v;
}

void guard_requests(httplib::Server &server, const serve_guard &guard) {
    server.set_pre_routing_handler([&guard](const httplib::Request &req, httplib::Response &res) {
        const refusal r = guard.check(view_of(req));
        if (r.status == 0) return httplib::Server::HandlerResponse::Unhandled;
        // The body, if any, is never read: the connection ends with the answer.
        res.set_header("Connection", "close");
        send_error(res, r.message, r.status);
        return httplib::Server::HandlerResponse::Handled;
    });
    // What the library answers by itself (no such page, a body past the limit, a malformed
    // request) is JSON like the rest.
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        const char *why = res.status == 404   ? "no such page"
                          : res.status == 413 ? "the request is too large"
                          : res.status == 405 ? "only GET and POST are served"
                                              : "a malformed request";
        send_error(res, why, res.status);
        return httplib::Server::HandlerResponse::Handled;
    }));
    // A fault of ours: said on the terminal, never to the page.
    server.set_exception_handler([](const httplib::Request &req, httplib::Response &res, std::exception_ptr ep) {
        std::string what = "unknown exception";
        try {
            std::rethrow_exception(ep);
        } catch (const std::exception &e) {
            what = e.what();
        } catch (...) {
        }
        std::fprintf(stderr, "pitwall serve: %s %s: %s\n", quoted_escaped(req.method).c_str(),
                     quoted_escaped(req.path).c_str(), what.c_str());
        send_error(res, "internal error", 500);
    });
    // Nothing of the page may be framed by another site (a click there would be a click here).
    server.set_post_routing_handler([](const httplib::Request &, httplib::Response &res) {
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("X-Frame-Options", "DENY");
        res.set_header("Content-Security-Policy", "frame-ancestors 'none'");
        res.set_header("Referrer-Policy", "no-referrer");
    });
}

void add_page(httplib::Server &server, const serve_guard &guard) {
    for (const serve_file &f : serve_files) {
        const bool index = std::string(f.name) == "index.html";
        std::string body(reinterpret_cast<const char *>(f.data), f.size);
        if (index) body.replace(body.find(token_placeholder), std::string(token_placeholder).size(), guard.token());
        server.Get(index ? "/" : "/" + std::string(f.name),
                   [&f, body = std::move(body)](const httplib::Request &, httplib::Response &res) {
                       res.set_header("Cache-Control", "no-store");
                       res.set_content(body, f.mime);
                   });
    }
}

// The save request's fields, each of its own type, or a message.
error read_save_request(const std::string &body, workbench::save_request &out) {
    const json request = json::parse(body, nullptr, false);
    if (request.is_discarded() || !request.is_object())
        return "malformed JSON: a save gives {\"name\": FILE, \"version\": VERSION}";
    auto field = [&](const char *name, auto &into, bool (json::*is_kind)() const noexcept, const char *kind) -> error {
        auto it = request.find(name);
        if (it == request.end()) return {};
        if (!((*it).*is_kind)()) return std::string("a save's \"") + name + "\" is " + kind;
        into = it->template get<std::remove_reference_t<decltype(into)>>();
        return {};
    };
    if (error e = field("name", out.name, &json::is_string, "a string"); !e.empty()) return e;
    if (error e = field("version", out.version, &json::is_string, "a string"); !e.empty()) return e;
    return field("overwrite", out.overwrite, &json::is_boolean, "true or false");
}

// A number field of a small request ({"time": T}, {"speed": S}), or a message.
error read_number(const std::string &body, const char *key, double &out) {
    const json request = json::parse(body, nullptr, false);
    auto it = request.is_object() ? request.find(key) : request.end();
    if (request.is_discarded() || !request.is_object() || it == request.end() || !it->is_number())
        return std::string("malformed JSON: give {\"") + key + "\": NUMBER}";
    out = it->get<double>();
    return {};
}

void add_palette(httplib::Server &server, const std::map<std::string, palette_widget> &palette) {
    server.Get("/api/widgets", [&palette](const httplib::Request &, httplib::Response &res) {
        json list = json::array();
        for (const auto &[name, w] : palette) list.push_back({{"name", name}, {"thumbnail", !w.png.empty()}});
        send_json(res, list);
    });
    server.Get("/thumbnail.png", [&palette](const httplib::Request &req, httplib::Response &res) {
        auto it = palette.find(req.get_param_value("widget"));
        if (it == palette.end() || it->second.png.empty()) return send_error(res, "no such widget", 404);
        res.set_header("Cache-Control", "max-age=3600");
        res.set_content(it->second.png, "image/png");
    });
}

void add_api(httplib::Server &server, workbench &bench) {
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
    server.Post("/api/geometry", [&bench](const httplib::Request &req, httplib::Response &res) {
        if (error e = bench.geometry_request(req.body); !e.empty()) return send_error(res, e);
        send_json(res, bench.state());
    });
    server.Post("/api/layout", [&bench](const httplib::Request &req, httplib::Response &res) {
        std::string name;
        if (error e = bench.layout_request(req.body, &name); !e.empty()) return send_error(res, e);
        json state = bench.state();
        if (!name.empty()) state["added"] = name;
        send_json(res, state);
    });
    server.Post("/api/undo", [&bench](const httplib::Request &, httplib::Response &res) {
        error e;
        if (!bench.undo(&e)) return send_error(res, e.empty() ? "nothing to undo" : e, 409);
        send_json(res, bench.state());
    });
    server.Post("/api/redo", [&bench](const httplib::Request &, httplib::Response &res) {
        error e;
        if (!bench.redo(&e)) return send_error(res, e.empty() ? "nothing to redo" : e, 409);
        send_json(res, bench.state());
    });
    server.Post("/api/seek", [&bench](const httplib::Request &req, httplib::Response &res) {
        double t = 0;
        if (error e = read_number(req.body, "time", t); !e.empty()) return send_error(res, e);
        bench.seek(t);
        send_json(res, bench.state());
    });
    server.Post("/api/speed", [&bench](const httplib::Request &req, httplib::Response &res) {
        double speed = 1;
        if (error e = read_number(req.body, "speed", speed); !e.empty()) return send_error(res, e);
        if (error e = bench.set_speed(speed); !e.empty()) return send_error(res, e);
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
    server.Post("/api/reload", [&bench](const httplib::Request &, httplib::Response &res) {
        if (error e = bench.reload(); !e.empty()) return send_error(res, e);
        send_json(res, bench.state());
    });
    server.Post("/api/save", [&bench](const httplib::Request &req, httplib::Response &res) {
        workbench::save_request request;
        if (error e = read_save_request(req.body, request); !e.empty()) return send_error(res, e);
        workbench::save_outcome outcome = workbench::save_outcome::refused;
        if (error e = bench.save(request, &outcome); !e.empty()) {
            if (outcome == workbench::save_outcome::exists) return send_json(res, {{"error", e}, {"exists", true}}, 409);
            return send_error(res, e, outcome == workbench::save_outcome::conflict ? 409 : 400);
        }
        send_json(res, {{"saved", request.name.empty() ? bench.state()["scene"].get<std::string>() : request.name}});
    });
}

} // namespace

int cmd_serve(const options &opts) {
    // The palette's thumbnails are drawn before the scene's engine loads the plug-ins.
    const std::map<std::string, palette_widget> palette =
        palette_widgets(opts, opts.app.empty() ? default_app_dir() : opts.app);
    workbench bench({opts.scene, opts.plugins, opts.app, starter_control, opts.no_default_plugins});
    if (error e = bench.load(); !e.empty()) {
        std::fprintf(stderr, "pitwall serve: %s\n", e.c_str());
        return exit_usage;
    }

    // SIGINT, SIGTERM and SIGHUP (the terminal closed) stop the server in an orderly way (the
    // plug-ins unload): blocked here, before any thread starts, and taken by one thread with sigwait.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(worker_threads); };
    server.set_read_timeout(read_timeout_seconds);
    server.set_write_timeout(read_timeout_seconds);
    server.set_keep_alive_timeout(keep_alive_seconds);
    server.set_payload_max_length(opts.max_body);
    const int port = opts.port == 0 ? server.bind_to_any_port(opts.host)
                                    : (server.bind_to_port(opts.host, opts.port) ? opts.port : -1);
    if (port < 0) {
        std::fprintf(stderr, "pitwall serve: cannot listen on %s port %d\n", opts.host.c_str(), opts.port);
        return exit_usage;
    }
    const serve_guard guard(opts.host, port, opts.max_body);
    if (guard.token().empty()) {
        std::fprintf(stderr, "pitwall serve: no randomness for the page's token\n");
        return exit_usage;
    }
    guard_requests(server, guard);
    add_page(server, guard);
    add_api(server, bench);
    add_palette(server, palette);
    if (guard.reachable_by_others())
        std::fprintf(stderr,
                     "pitwall serve: warning: listening on %s: anyone who can reach this address can change the "
                     "scene and write files in its folder (with the token the page holds)\n",
                     opts.host.c_str());
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
