// The live page's connections, one thread each, so that a slow client holds its own
// connection only and never a worker the others wait for (cpp-httplib's own pool has eight).
// At most kMaxThreads run at once; connections beyond wait for one to end.
#pragma once

#include <httplib.h>

#include <functional>
#include <memory>

namespace dlnsim {

class ConnectionThreads : public httplib::TaskQueue {
  public:
    static constexpr size_t kMaxThreads = 256;
    ConnectionThreads();
    void enqueue(std::function<void()> connection) override;
    // Waits for every connection to end: the server's timeouts bound how long.
    void shutdown() override;

  private:
    // Shared with the threads, which are detached: the last of them may still be returning
    // when shutdown() has seen every connection end.
    struct Shared;
    // Serves connections until none waits; then the thread ends.
    static void Serve(std::shared_ptr<Shared> shared, std::function<void()> connection);
    std::shared_ptr<Shared> shared_;
};

} // namespace dlnsim
