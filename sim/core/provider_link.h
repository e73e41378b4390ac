// One device provider's connection: its hello and claims, the requests dln-sim sends it with
// a time-out each, and its answers and state, one JSON object a line. Lives on the provider
// server's I/O thread; ask() may come from any thread.
#pragma once

#include "dlnsim/external.h"
#include "dlnsim/simulator.h"

#include <asio.hpp>

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace dlnsim {

class ProviderLink : public ExternalLink, public std::enable_shared_from_this<ProviderLink> {
  public:
    static constexpr size_t kMaxLine = 64 * 1024;
    // Lines waiting to be sent beyond which a provider that does not read is dropped.
    static constexpr size_t kMaxQueued = 4096;
    using Log = std::function<void(const std::string &line)>;
    // ended runs once, on the I/O thread, when the connection has closed.
    ProviderLink(asio::ip::tcp::socket socket, std::shared_ptr<Simulator> simulator, Log log,
                 std::function<void(ProviderLink *)> ended);

    void start();
    // Closes the connection: its open requests fail, its claims end. On the I/O thread.
    void close(const std::string &why);
    void ask(const ExternalRequest &request, uint32_t timeoutMs,
             std::function<void(ExternalAnswer)> done) override;

  private:
    struct Open {
        ExternalRequest request;
        std::function<void(ExternalAnswer)> done;
        std::unique_ptr<asio::steady_timer> timer;
    };
    void readMore();
    void line(const std::string &text);
    // A line read as JSON (discarded when it is none).
    void take(const nlohmann::json &message);
    void hello(const nlohmann::json &message);
    void answer(const nlohmann::json &message);
    void send(const nlohmann::json &message);
    void writeNext();
    void sendRequest(const ExternalRequest &request, uint32_t timeoutMs,
                     std::function<void(ExternalAnswer)> done);
    // Ends the open request id with answer; nothing if it is not open any more.
    void finish(uint64_t id, ExternalAnswer answer);

    asio::ip::tcp::socket socket_;
    std::shared_ptr<Simulator> simulator_;
    Log log_;
    std::function<void(ProviderLink *)> ended_;
    std::string peer_;
    std::string name_; // empty until its hello was granted
    std::mutex closedMutex_;
    bool closed_ = false; // under closedMutex_; once true, ask() answers at once
    std::string input_;
    std::array<char, 16384> chunk_;
    std::deque<std::string> outbox_;
    bool closeAfterSend_ = false;
    uint64_t lastId_ = 0;
    std::map<uint64_t, Open> open_;
};

} // namespace dlnsim
