#include "dlnsim/providers.h"

#include "provider_link.h"

#include <asio.hpp>

#include <cstdio>
#include <list>
#include <stdexcept>
#include <thread>

namespace dlnsim {

using asio::ip::tcp;

struct ProviderServer::Impl {
    std::shared_ptr<Simulator> simulator;
    Log log;
    asio::io_context io;
    std::optional<tcp::acceptor> acceptor;
    std::thread runner;
    uint16_t port = 0;
    // Touched by the serving thread only.
    std::list<std::shared_ptr<ProviderLink>> links;
    bool stopping = false;

    void accept() {
        acceptor->async_accept([this](asio::error_code error, tcp::socket socket) {
            if (stopping || error == asio::error::operation_aborted)
                return;
            if (!error) {
                auto link = std::make_shared<ProviderLink>(
                    std::move(socket), simulator, log, [this](ProviderLink *ended) {
                        links.remove_if([ended](const auto &link) { return link.get() == ended; });
                    });
                links.push_back(link);
                link->start();
            }
            accept();
        });
    }
};

ProviderServer::ProviderServer(std::shared_ptr<Simulator> simulator, Log log)
    : impl_(std::make_unique<Impl>()) {
    impl_->simulator = std::move(simulator);
    impl_->log = std::move(log);
    if (!impl_->log)
        impl_->log = [](const std::string &line) {
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
        };
}

ProviderServer::~ProviderServer() {
    stop();
}

uint16_t ProviderServer::port() const {
    return impl_->port;
}

void ProviderServer::start(uint16_t port) {
    tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), port);
    tcp::acceptor acceptor(impl_->io);
    asio::error_code error;
    acceptor.open(endpoint.protocol(), error);
    if (!error)
        acceptor.bind(endpoint, error);
    if (!error)
        acceptor.listen(16, error);
    if (error)
        throw std::runtime_error("cannot listen for device providers on 127.0.0.1:" +
                                 std::to_string(port) + ": " + error.message());
    impl_->port = acceptor.local_endpoint().port();
    impl_->acceptor.emplace(std::move(acceptor));
    impl_->accept();
    impl_->runner = std::thread([this] { impl_->io.run(); });
}

void ProviderServer::stop() {
    if (!impl_->acceptor)
        return;
    asio::post(impl_->io, [impl = impl_.get()] {
        impl->stopping = true;
        asio::error_code ignored;
        impl->acceptor->close(ignored);
        auto links = impl->links; // closing one removes it from the list
        for (auto &link : links)
            link->close("the server stops");
    });
    impl_->runner.join();
    impl_->acceptor.reset();
}

} // namespace dlnsim
