// The simulator's client sessions and the adapter handles each has open. A handle belongs to
// the session that opened it and closes with it. Not locked: the simulator's lock guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>

namespace dlnsim {

class SessionTable {
  public:
    // Handles one session may hold at once: 64 clients (dln-sim's default limit) at this
    // limit still leave handles for the rest, so no client can use up the adapter's 65535.
    static constexpr size_t kHandlesPerSession = 1000;

    // A new session's number, never 0 and never one in use.
    uint32_t open();
    // Forgets session and closes its handles; nothing for an unknown session.
    void close(uint32_t session);
    bool isOpen(uint32_t session) const;
    size_t count() const { return sessions_.size(); }
    bool owns(uint32_t session, uint16_t handle) const;
    // A new handle of session (never 0, never one in use), or 0 when the session holds
    // kHandlesPerSession already or all 65535 are in use.
    uint16_t openHandle(uint32_t session);
    void closeHandle(uint32_t session, uint16_t handle);
    // Closes every handle of every session (the adapter was unplugged); sessions stay open.
    void closeAllHandles();

  private:
    std::map<uint32_t, std::set<uint16_t>> sessions_;
    std::set<uint16_t> handles_; // of every session
    uint16_t lastHandle_ = 0;
    uint32_t lastSession_ = 0;
};

} // namespace dlnsim
