#include "live_page.h"

#include "connection_threads.h"
#include "dlnsim/models/option_error.h"
#include "dlnsim/recent_calls.h"
#include "live_state.h"
#include "request_guard.h"
#include "web_assets.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace dlnsim {

namespace {

constexpr auto kUpdateInterval = std::chrono::milliseconds(250);
// Each event stream holds a thread for as long as it is open; past this many, a page polls
// /api/state instead.
constexpr int kMaxStreams = 128;
// A change is a few hundred bytes; a bigger body is refused before it is read into memory.
constexpr size_t kMaxBodyBytes = 64 * 1024;
// A request must arrive, and each write reach the client, within this: a client that sends or
// reads slower is dropped, and stopping waits no longer than this for any connection.
constexpr time_t kIoTimeoutUs = 400000;

void ReplyJson(httplib::Response &response, int status, const nlohmann::json &body) {
    response.status = status;
    response.set_content(body.dump(), "application/json");
}

// The request's JSON body, or an error reply (false) when it is not JSON.
bool JsonBody(const httplib::Request &request, httplib::Response &response, nlohmann::json &body) {
    if (request.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
        ReplyJson(response, 415, {{"error", "send the body as application/json"}});
        return false;
    }
    body = nlohmann::json::parse(request.body, nullptr, false);
    if (body.is_discarded()) {
        ReplyJson(response, 400, {{"error", "the body is not valid JSON"}});
        return false;
    }
    return true;
}

// Runs a change and replies with what it did, or 400 naming the refused key.
void Change(LiveState &state, const nlohmann::json &change, httplib::Response &response) {
    try {
        ReplyJson(response, 200, {{"applied", state.change(change)}});
    } catch (const OptionError &e) {
        std::string where = e.key.empty() ? "" : e.key + ": ";
        ReplyJson(response, 400, {{"error", where + e.what()}});
    }
}

} // namespace

struct LivePage::Streams {
    std::mutex mutex;
    std::condition_variable wake;
    int open = 0;
    bool stopping = false;
    // The last event sent, shared by every stream for one update interval: one snapshot per
    // interval however many pages are open.
    std::string event;
    std::chrono::steady_clock::time_point eventTime;
};

LivePage::LivePage(std::shared_ptr<Simulator> simulator, std::shared_ptr<RecentCalls> recent)
    : simulator_(simulator), recent_(std::move(recent)),
      state_(std::make_unique<LiveState>(simulator)), server_(std::make_unique<httplib::Server>()),
      streams_(std::make_shared<Streams>()) {
    route();
}

LivePage::~LivePage() {
    stop();
}

void LivePage::route() {
    server_->new_task_queue = [] { return new ConnectionThreads; };
    server_->set_read_timeout(0, kIoTimeoutUs);
    server_->set_write_timeout(0, kIoTimeoutUs);
    // One request per connection: an idle kept-alive connection would hold stopping for a
    // whole second.
    server_->set_keep_alive_max_count(1);
    server_->set_payload_max_length(kMaxBodyBytes);
    // The page is never framed (a framed page could be clicked through by another site), and
    // nothing it sends is taken for another type than the one named.
    server_->set_default_headers({{"X-Frame-Options", "DENY"},
                                  {"Content-Security-Policy", "frame-ancestors 'none'"},
                                  {"X-Content-Type-Options", "nosniff"}});
    server_->set_pre_routing_handler(
        [this](const httplib::Request &request, httplib::Response &response) {
            std::optional<std::string> origin;
            if (request.has_header("Origin"))
                origin = request.get_header_value("Origin");
            auto refusal = guard_->refusal(request.get_header_value("Host"), origin);
            if (!refusal)
                return httplib::Server::HandlerResponse::Unhandled;
            ReplyJson(response, 403, {{"error", *refusal}});
            return httplib::Server::HandlerResponse::Handled;
        });
    server_->set_error_handler([](const httplib::Request &, httplib::Response &response) {
        if (response.status == 413)
            ReplyJson(response, 413,
                      {{"error", "a body of at most " + std::to_string(kMaxBodyBytes >> 10) +
                                     " KB is taken"}});
    });
    for (const WebAsset &asset : WebAssets()) {
        // Appended rather than "/" + name: GCC 12 warns falsely (-Wrestrict) on the latter.
        std::string path = "/";
        if (asset.name != "index.html")
            path.append(asset.name);
        server_->Get(path, [asset](const httplib::Request &, httplib::Response &response) {
            std::string type = std::string(asset.type) + "; charset=utf-8";
            response.set_content(asset.content.data(), asset.content.size(), type.c_str());
        });
    }
    server_->Get("/bus.vcd", [this](const httplib::Request &, httplib::Response &response) {
        if (!recent_) {
            ReplyJson(response, 404, {{"error", "this page keeps no calls to draw"}});
            return;
        }
        response.set_header("Content-Disposition", "attachment; filename=\"dln-bus.vcd\"");
        // Sent as it is drawn: a busy minute draws to hundreds of megabytes.
        auto recent = recent_;
        AdapterConfig adapter = simulator_->config();
        response.set_chunked_content_provider(
            "text/plain", [recent, adapter](size_t, httplib::DataSink &sink) {
                recent->draw(adapter, [&sink](std::string_view text) {
                    sink.write(text.data(), text.size());
                });
                sink.done();
                return true;
            });
    });
    server_->Get("/api/state", [this](const httplib::Request &, httplib::Response &response) {
        ReplyJson(response, 200, state_->snapshot());
    });
    server_->Get("/api/events", [this](const httplib::Request &, httplib::Response &response) {
        auto streams = streams_;
        {
            std::lock_guard lock(streams->mutex);
            if (streams->open >= kMaxStreams || streams->stopping) {
                ReplyJson(response, 503, {{"error", "too many pages open"}});
                return;
            }
            ++streams->open;
        }
        response.set_header("Cache-Control", "no-cache");
        LiveState *state = state_.get();
        response.set_chunked_content_provider(
            "text/event-stream",
            [state, streams](size_t, httplib::DataSink &sink) {
                std::string event;
                {
                    std::lock_guard lock(streams->mutex);
                    auto now = std::chrono::steady_clock::now();
                    if (streams->event.empty() || now - streams->eventTime >= kUpdateInterval) {
                        streams->event = "data: " + state->snapshot().dump() + "\n\n";
                        streams->eventTime = now;
                    }
                    event = streams->event;
                }
                if (!sink.write(event.data(), event.size()))
                    return false; // the page went away
                std::unique_lock lock(streams->mutex);
                return !streams->wake.wait_for(lock, kUpdateInterval,
                                               [&] { return streams->stopping; });
            },
            [streams](bool) {
                std::lock_guard lock(streams->mutex);
                --streams->open;
            });
    });
    server_->Post("/api/world",
                  [this](const httplib::Request &request, httplib::Response &response) {
                      nlohmann::json body;
                      if (JsonBody(request, response, body))
                          Change(*state_, body, response);
                  });
    server_->Post("/api/faults",
                  [this](const httplib::Request &request, httplib::Response &response) {
                      nlohmann::json body;
                      if (JsonBody(request, response, body))
                          Change(*state_, {{"fault", body}}, response);
                  });
    server_->Delete("/api/faults", [this](const httplib::Request &, httplib::Response &response) {
        Change(*state_, {{"clearFaults", true}}, response);
    });
}

void LivePage::start(uint16_t port, const std::string &bindAddress) {
    int bound = port == 0 ? server_->bind_to_any_port(bindAddress)
                          : (server_->bind_to_port(bindAddress, port) ? port : -1);
    if (bound <= 0)
        throw std::runtime_error("live page: cannot listen on " + bindAddress + ":" +
                                 std::to_string(port));
    port_ = static_cast<uint16_t>(bound);
    guard_ = std::make_unique<RequestGuard>(bindAddress, port_);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

void LivePage::stop() {
    {
        std::lock_guard lock(streams_->mutex);
        streams_->stopping = true;
    }
    streams_->wake.notify_all();
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

} // namespace dlnsim
