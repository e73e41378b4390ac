#include "connection_threads.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace dlnsim {

struct ConnectionThreads::Shared {
    std::mutex mutex;
    std::condition_variable idle;
    std::deque<std::function<void()>> waiting;
    size_t running = 0;
};

ConnectionThreads::ConnectionThreads() : shared_(std::make_shared<Shared>()) {}

void ConnectionThreads::enqueue(std::function<void()> connection) {
    std::lock_guard lock(shared_->mutex);
    if (shared_->running >= kMaxThreads) {
        shared_->waiting.push_back(std::move(connection));
        return;
    }
    ++shared_->running;
    std::thread(Serve, shared_, std::move(connection)).detach();
}

void ConnectionThreads::shutdown() {
    std::unique_lock lock(shared_->mutex);
    shared_->idle.wait(lock, [this] { return shared_->running == 0; });
}

void ConnectionThreads::Serve(std::shared_ptr<Shared> shared, std::function<void()> connection) {
    for (;;) {
        connection();
        std::lock_guard lock(shared->mutex);
        if (shared->waiting.empty()) {
            if (--shared->running == 0)
                shared->idle.notify_all();
            return;
        }
        connection = std::move(shared->waiting.front());
        shared->waiting.pop_front();
    }
}

} // namespace dlnsim
