#include "replay_sessions.h"

#include <cstdio>
#include <mutex>

namespace dlnsim::replay {

namespace {

void ToStandardError(const std::string &text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

// The connections open, for the loop to see a new first one.
struct Clients {
    std::mutex mutex;
    size_t open = 0;
    bool begun = false;
};

} // namespace

std::shared_ptr<Replay> OpenReplay(const std::string &path, Mode mode, const ReadOptions &options,
                                   Timing timing) {
    std::vector<std::string> warnings;
    ReadOptions reading = options;
    reading.warnings = &warnings;
    auto calls = ReadRecordingFile(path, reading);
    for (const std::string &warning : warnings) {
        ToStandardError("dln-sim: " + warning);
        if (options.warnings != nullptr)
            options.warnings->push_back(warning);
    }
    return std::make_shared<Replay>(calls, mode, ToStandardError, timing);
}

Server::NewSession ReplaySessions(std::shared_ptr<Replay> replay, bool loop) {
    auto clients = std::make_shared<Clients>();
    return [replay, loop, clients] {
        {
            std::lock_guard lock(clients->mutex);
            if (loop && clients->open == 0 && clients->begun)
                replay->restart();
            ++clients->open;
            clients->begun = true;
        }
        // Counts the connection closed when its session (holding this) goes.
        auto closer = std::shared_ptr<void>(nullptr, [clients](void *) {
            std::lock_guard lock(clients->mutex);
            --clients->open;
        });
        return std::make_unique<Session>(
            [replay, closer](const dln::wire::Request &request, uint64_t &heldUs) {
                return replay->answer(request, &heldUs);
            });
    };
}

} // namespace dlnsim::replay
