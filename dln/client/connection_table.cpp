#include "connection_table.h"

#include "handle_table.h"

#include <condition_variable>
#include <map>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace dln::client {

namespace {

struct CountedConnection {
    std::shared_ptr<Connection> connection; // null until the first open succeeds
    unsigned count = 0;                     // 0: lingering, unused, until idleUntil
    unsigned busy = 0;    // Connect and Disconnect calls under way; the entry stays meanwhile
    bool opening = false; // one of them opens a new connection; the others wait for it
    DLN_RESULT opened = DLN_RES_SUCCESS; // how the last open ended, for those who waited
    uint64_t order = 0;                  // when it was opened, to find the oldest
    Clock::time_point idleUntil;
};

// The table's lock orders every change of the table and is never held across the network:
// calls wait for each other only on a connection they share, each until its own deadline.
struct ConnectionTable {
    std::mutex mutex;
    std::condition_variable openEnded;     // an open of some entry ended
    std::condition_variable lingerChanged; // wakes the closer
    bool closerRunning = false;
    Clock::time_point closerWakesAt = Clock::time_point::max();
    // Entries are shared so that a call under way keeps its own across removals.
    std::map<std::string, std::shared_ptr<CountedConnection>> connections;
    uint64_t nextOrder = 1;
};

ConnectionTable &TheConnections() {
    // Never destroyed: the closer thread may still be waiting on it while the process exits.
    static ConnectionTable *table = new ConnectionTable;
    return *table;
}

std::string Key(const char *host, uint16_t port) {
    return std::string(host) + ":" + std::to_string(port);
}

bool Lingering(const CountedConnection &entry) {
    return entry.count == 0 && entry.busy == 0 && entry.connection;
}

// The closer: closes lingering connections when their time is up, outside the table lock.
void CloseExpiredConnections(ConnectionTable &t) {
    std::unique_lock lock(t.mutex);
    for (;;) {
        std::vector<std::shared_ptr<Connection>> expired;
        Clock::time_point now = Clock::now(), next = Clock::time_point::max();
        for (auto it = t.connections.begin(); it != t.connections.end();) {
            CountedConnection &entry = *it->second;
            if (Lingering(entry) && entry.idleUntil <= now) {
                expired.push_back(entry.connection);
                it = t.connections.erase(it);
                continue;
            }
            if (Lingering(entry) && entry.idleUntil < next)
                next = entry.idleUntil;
            ++it;
        }
        t.closerWakesAt = next;
        lock.unlock();
        for (auto &connection : expired)
            connection->close();
        lock.lock();
        if (t.closerWakesAt == Clock::time_point::max())
            t.lingerChanged.wait(lock);
        else
            t.lingerChanged.wait_until(lock, t.closerWakesAt);
    }
}

// Lets the entry's connection linger unused; false when it cannot (no closer thread), and it
// must close now. The caller holds the table lock.
bool StartLinger(ConnectionTable &t, CountedConnection &entry) {
    if (!t.closerRunning) {
        try {
            std::thread(CloseExpiredConnections, std::ref(t)).detach();
        } catch (const std::system_error &) {
            return false;
        }
        t.closerRunning = true;
    }
    entry.idleUntil = Clock::now() + entry.connection->linger();
    // Waking the closer costs a thread switch per method; it is needed only when the closer
    // would otherwise sleep past this deadline.
    if (entry.idleUntil < t.closerWakesAt) {
        t.closerWakesAt = entry.idleUntil;
        t.lingerChanged.notify_one();
    }
    return true;
}

// An entry nobody counts any more: its connection lingers when sound, else it goes. The
// caller holds the table lock.
void Release(ConnectionTable &t, const std::string &key,
             const std::shared_ptr<CountedConnection> &entry, bool sound) {
    if (entry->count > 0 || entry->busy > 0)
        return;
    auto &connection = entry->connection;
    if (connection && sound && connection->usable() && connection->linger().count() > 0 &&
        StartLinger(t, *entry))
        return;
    if (connection)
        connection->close();
    auto it = t.connections.find(key);
    if (it != t.connections.end() && it->second == entry)
        t.connections.erase(it);
}

DLN_RESULT SendConnectionCall(Connection &connection, wire::Call call, Clock::time_point deadline) {
    wire::Request request;
    request.call = call;
    wire::Reply reply;
    DLN_RESULT result = connection.exchange(request, reply, deadline);
    return DLN_SUCCEEDED(result) ? reply.result : result;
}

// Opens a new connection for entry and sends it the Connect call, with the table lock
// released meanwhile. lock holds the table lock on entry and on return.
DLN_RESULT OpenFor(ConnectionTable &t, std::unique_lock<std::mutex> &lock, CountedConnection &entry,
                   const char *host, uint16_t port, Clock::time_point deadline) {
    entry.opening = true;
    lock.unlock();
    std::unique_ptr<Transport> transport;
    std::shared_ptr<Connection> fresh;
    DLN_RESULT result = OpenTransport(host, port, deadline, transport);
    if (DLN_SUCCEEDED(result)) {
        fresh = std::make_shared<Connection>(std::move(transport));
        result = SendConnectionCall(*fresh, wire::Call::Connect, deadline);
        if (!DLN_SUCCEEDED(result))
            fresh->close();
    }
    lock.lock();
    entry.opening = false;
    entry.opened = result;
    if (DLN_SUCCEEDED(result)) {
        if (entry.connection) {
            RemoveHandlesOf(entry.connection);
            entry.connection->close();
        }
        entry.connection = fresh;
        entry.order = t.nextOrder++;
    }
    t.openEnded.notify_all();
    return result;
}

// The Connect call on entry: reuses its connection when it has a sound one, else opens one,
// or waits for the open another thread has under way. lock holds the table lock throughout,
// except while the network is used.
DLN_RESULT ConnectEntry(ConnectionTable &t, std::unique_lock<std::mutex> &lock,
                        CountedConnection &entry, const char *host, uint16_t port,
                        Clock::time_point deadline) {
    for (;;) {
        if (entry.opening) {
            while (entry.opening)
                if (t.openEnded.wait_until(lock, deadline) == std::cv_status::timeout &&
                    entry.opening)
                    return DLN_RES_TIMEOUT;
            // The server that failed that open would fail this one too; trying again could
            // only take longer than this call may.
            if (!DLN_SUCCEEDED(entry.opened))
                return entry.opened;
        }
        std::shared_ptr<Connection> existing = entry.connection;
        if (!existing || !existing->usable())
            return OpenFor(t, lock, entry, host, port, deadline);
        // A lingering connection is reused like a counted one. Its server may have gone away
        // meanwhile: then the Connect call fails on the closed socket, and a fresh connection
        // (or the failure to make one) decides.
        lock.unlock();
        DLN_RESULT result = SendConnectionCall(*existing, wire::Call::Connect, deadline);
        lock.lock();
        // A server restarted since the last call closed the old socket: that shows only now,
        // and a fresh connection reaches the new server. A silent server (time-out) is not
        // tried again, so the call stays within its bound.
        bool serverWentAway = result == DLN_RES_NOT_CONNECTED && !existing->usable();
        if (!serverWentAway)
            return result;
        // Unless another thread has replaced it meanwhile, this one opens the next.
    }
}

} // namespace

DLN_RESULT Connect(const char *host, uint16_t port) {
    if (host == nullptr || host[0] == '\0')
        return DLN_RES_INVALID_ARGUMENT;
    Clock::time_point deadline = Clock::now() + kCallTime;
    ConnectionTable &t = TheConnections();
    std::string key = Key(host, port);
    std::unique_lock lock(t.mutex);
    auto &slot = t.connections[key];
    if (!slot)
        slot = std::make_shared<CountedConnection>();
    std::shared_ptr<CountedConnection> entry = slot;
    ++entry->busy;
    DLN_RESULT result = ConnectEntry(t, lock, *entry, host, port, deadline);
    --entry->busy;
    if (DLN_SUCCEEDED(result))
        ++entry->count;
    else
        Release(t, key, entry, true); // a sound lingering connection lingers on
    return result;
}

DLN_RESULT Disconnect(const char *host, uint16_t port) {
    if (host == nullptr)
        return DLN_RES_INVALID_ARGUMENT;
    Clock::time_point deadline = Clock::now() + kCallTime;
    ConnectionTable &t = TheConnections();
    std::string key = Key(host, port);
    std::unique_lock lock(t.mutex);
    auto it = t.connections.find(key);
    if (it == t.connections.end() || it->second->count == 0 || !it->second->connection)
        return DLN_RES_NOT_CONNECTED;
    std::shared_ptr<CountedConnection> entry = it->second;
    std::shared_ptr<Connection> connection = entry->connection;
    // The count is released even when the server reports a failure, so a caller can never
    // leak it; at zero the handles go with it.
    if (--entry->count == 0)
        RemoveHandlesOf(connection);
    ++entry->busy;
    lock.unlock();
    DLN_RESULT result = connection->usable()
                            ? SendConnectionCall(*connection, wire::Call::Disconnect, deadline)
                            : DLN_RES_NOT_CONNECTED;
    lock.lock();
    --entry->busy;
    Release(t, key, entry, DLN_SUCCEEDED(result));
    return result;
}

std::shared_ptr<Connection> FirstUsableConnection() {
    ConnectionTable &t = TheConnections();
    std::lock_guard lock(t.mutex);
    std::shared_ptr<Connection> best;
    uint64_t bestOrder = 0;
    for (auto &[key, entry] : t.connections)
        // A lingering connection is closed to its caller.
        if (entry->count > 0 && entry->connection && entry->connection->usable() &&
            (!best || entry->order < bestOrder)) {
            best = entry->connection;
            bestOrder = entry->order;
        }
    return best;
}

void DropAllConnections() {
    ConnectionTable &t = TheConnections();
    std::map<std::string, std::shared_ptr<CountedConnection>> dropped;
    {
        std::lock_guard lock(t.mutex);
        dropped.swap(t.connections);
    }
    RemoveAllHandles();
    for (auto &[key, entry] : dropped)
        if (entry->connection)
            entry->connection->close();
}

} // namespace dln::client
