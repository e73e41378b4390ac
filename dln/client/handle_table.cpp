#include "handle_table.h"

#include <map>
#include <mutex>

namespace dln::client {

namespace {

struct HandleEntry {
    std::shared_ptr<Connection> connection;
    uint16_t serverHandle = 0;
};

struct HandleTable {
    std::mutex mutex;
    std::map<HDLN, HandleEntry> handles;
    HDLN lastHandle = 0;
};

HandleTable &TheHandles() {
    // Never destroyed: other threads may still look handles up while the process exits.
    static HandleTable *table = new HandleTable;
    return *table;
}

} // namespace

HDLN AddHandle(std::shared_ptr<Connection> connection, uint16_t serverHandle) {
    HandleTable &t = TheHandles();
    std::lock_guard lock(t.mutex);
    // Handles count up and wrap, skipping 0 and those in use, so a stale handle is unlikely
    // to name a newer adapter.
    for (unsigned tries = 0; tries < 0xFFFF; ++tries) {
        t.lastHandle = static_cast<HDLN>(t.lastHandle == 0xFFFF ? 1 : t.lastHandle + 1);
        if (t.handles.count(t.lastHandle) == 0) {
            t.handles[t.lastHandle] = HandleEntry{std::move(connection), serverHandle};
            return t.lastHandle;
        }
    }
    return 0;
}

DLN_RESULT FindHandle(HDLN handle, std::shared_ptr<Connection> &connection,
                      uint16_t &serverHandle) {
    HandleTable &t = TheHandles();
    {
        std::lock_guard lock(t.mutex);
        auto it = t.handles.find(handle);
        if (handle == 0 || it == t.handles.end())
            return DLN_RES_INVALID_HANDLE;
        connection = it->second.connection;
        serverHandle = it->second.serverHandle;
    }
    return connection->usable() ? DLN_RES_SUCCESS : DLN_RES_NOT_CONNECTED;
}

void RemoveHandle(HDLN handle) {
    HandleTable &t = TheHandles();
    std::lock_guard lock(t.mutex);
    t.handles.erase(handle);
}

void RemoveHandlesOf(const std::shared_ptr<Connection> &connection) {
    HandleTable &t = TheHandles();
    std::lock_guard lock(t.mutex);
    for (auto it = t.handles.begin(); it != t.handles.end();)
        it = it->second.connection == connection ? t.handles.erase(it) : std::next(it);
}

void RemoveAllHandles() {
    HandleTable &t = TheHandles();
    std::lock_guard lock(t.mutex);
    t.handles.clear();
}

} // namespace dln::client
