#include "session_table.h"

namespace dlnsim {

uint32_t SessionTable::open() {
    do
        ++lastSession_;
    while (lastSession_ == 0 || sessions_.count(lastSession_) != 0);
    sessions_[lastSession_];
    return lastSession_;
}

void SessionTable::close(uint32_t session) {
    auto it = sessions_.find(session);
    if (it == sessions_.end())
        return;
    for (uint16_t handle : it->second)
        handles_.erase(handle);
    sessions_.erase(it);
}

bool SessionTable::isOpen(uint32_t session) const {
    return sessions_.count(session) != 0;
}

bool SessionTable::owns(uint32_t session, uint16_t handle) const {
    auto it = sessions_.find(session);
    return it != sessions_.end() && it->second.count(handle) != 0;
}

uint16_t SessionTable::openHandle(uint32_t session) {
    std::set<uint16_t> &own = sessions_[session];
    if (handles_.size() >= 0xFFFF || own.size() >= kHandlesPerSession)
        return 0;
    do
        ++lastHandle_;
    while (lastHandle_ == 0 || handles_.count(lastHandle_) != 0);
    handles_.insert(lastHandle_);
    own.insert(lastHandle_);
    return lastHandle_;
}

void SessionTable::closeHandle(uint32_t session, uint16_t handle) {
    auto it = sessions_.find(session);
    if (it != sessions_.end())
        it->second.erase(handle);
    handles_.erase(handle);
}

void SessionTable::closeAllHandles() {
    for (auto &[session, handles] : sessions_)
        handles.clear();
    handles_.clear();
}

} // namespace dlnsim
