#include "live_page.h"

#include "dlnsim/models/option_error.h"
#include "dlnsim/recent_calls.h"
#include "live_state.h"
#include "web_assets.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

namespace dlnsim {

namespace {

constexpr auto kUpdateInterval = std::chrono::milliseconds(250);
// Each event stream holds one of the server's worker threads for as long as it is open.
constexpr int kMaxStreams = 4;

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
                std::string event = "data: " + state->snapshot().dump() + "\n\n";
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
