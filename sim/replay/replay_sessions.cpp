#include "replay_sessions.h"

#include "recording_file.h"

#include <cstdio>

namespace dlnsim::replay {

std::shared_ptr<Replay> OpenReplay(const std::string &path, Mode mode, Timing timing) {
    return std::make_shared<Replay>(
        ReadRecordingFile(path), mode,
        [](const std::string &text) {
            std::fprintf(stderr, "%s\n", text.c_str());
            std::fflush(stderr);
        },
        timing);
}

Server::NewSession ReplaySessions(std::shared_ptr<Replay> replay) {
    return [replay] {
        return std::make_unique<Session>(
            [replay](const dln::wire::Request &request, uint64_t &heldUs) {
                return replay->answer(request, &heldUs);
            });
    };
}

} // namespace dlnsim::replay
