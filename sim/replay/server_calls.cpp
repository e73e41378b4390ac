#include "server_calls.h"

#include <map>
#include <set>
#include <string>

namespace dlnsim::replay {

using dln::record::CallRecord;
using dln::wire::Call;

namespace {

// Our dln's tables as the recorded calls change them: connection counts per host:port and
// the handles open on each connection.
class ClientTables {
  public:
    // Whether our dln would send call to a server, and what it changes in the tables.
    bool reachesServer(const CallRecord &call) {
        if (call.nullPointer)
            return false;
        switch (call.request.call) {
        case Call::Connect:
            if (Succeeded(call))
                ++counts_[key(call)];
            return true;
        case Call::Disconnect: {
            auto it = counts_.find(key(call));
            if (it == counts_.end() || it->second == 0)
                return false;
            if (--it->second == 0)
                dropHandlesOf(key(call));
            return true;
        }
        case Call::OpenDevice:
            if (firstCounted().empty())
                return false;
            if (Succeeded(call) && !call.reply.words.empty())
                handles_[static_cast<uint16_t>(call.reply.words[0])] = firstCounted();
            return true;
        case Call::CloseHandle: {
            bool held = handles_.count(call.request.handle) != 0;
            if (held && (Succeeded(call) || call.reply.result == 0x40)) // 0x40: connection lost
                handles_.erase(call.request.handle);
            return held;
        }
        default:
            return handles_.count(call.request.handle) != 0;
        }
    }

  private:
    static std::string key(const CallRecord &call) {
        return call.host + ":" + std::to_string(call.tcpPort);
    }
    // Our dln opens devices on its oldest counted connection; the first counted key stands
    // for it (recordings reach one server).
    std::string firstCounted() const {
        for (auto &[key, count] : counts_)
            if (count > 0)
                return key;
        return {};
    }
    void dropHandlesOf(const std::string &connection) {
        for (auto it = handles_.begin(); it != handles_.end();)
            it = it->second == connection ? handles_.erase(it) : std::next(it);
    }

    std::map<std::string, unsigned> counts_;
    std::map<uint16_t, std::string> handles_;
};

} // namespace

std::vector<CallRecord> CallsThatReachTheServer(const std::vector<CallRecord> &recording) {
    ClientTables tables;
    std::vector<CallRecord> reaching;
    for (const CallRecord &call : recording)
        if (tables.reachesServer(call))
            reaching.push_back(call);
    return reaching;
}

} // namespace dlnsim::replay
