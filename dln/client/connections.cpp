#include "connections.h"

#include <condition_variable>
#include <cstring>
#include <map>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace dln::client {

namespace {

using Clock = std::chrono::steady_clock;

struct CountedConnection {
    std::shared_ptr<Connection> connection;
    unsigned count = 0; // 0: lingering, unused, until idleUntil
    uint64_t order = 0; // when it was opened, to find the oldest
    Clock::time_point idleUntil;
};

struct HandleEntry {
    std::shared_ptr<Connection> connection;
    uint16_t serverHandle = 0;
};

struct Tables {
    // Serialises connects and disconnects, which may wait for the network; lookups only
    // take the table lock, so calls on other handles go on meanwhile.
    std::mutex connectMutex;
    std::condition_variable lingerChanged; // waited on with connectMutex by the closer
    bool closerRunning = false;
    Clock::time_point closerWakesAt = Clock::time_point::max();
    std::mutex mutex;
    std::map<std::string, CountedConnection> connections;
    std::map<HDLN, HandleEntry> handles;
    uint64_t nextOrder = 1;
    HDLN lastHandle = 0;
};

Tables &TheTables() {
    // Never destroyed: the closer thread may still be waiting on it while the process exits.
    static Tables *tables = new Tables;
    return *tables;
}

std::string Key(const char *host, uint16_t port) {
    return std::string(host) + ":" + std::to_string(port);
}

// Removes the handles of connection; the caller holds the table lock.
void DropHandlesOf(Tables &t, const std::shared_ptr<Connection> &connection) {
    for (auto it = t.handles.begin(); it != t.handles.end();)
        it = it->second.connection == connection ? t.handles.erase(it) : std::next(it);
}

// Takes the lingering connections whose time is up out of the table, for the caller to close
// (outside the table lock); tells when the next one is due.
std::vector<std::shared_ptr<Connection>> TakeExpired(Tables &t, Clock::time_point now,
                                                     Clock::time_point &next) {
    std::vector<std::shared_ptr<Connection>> expired;
    next = Clock::time_point::max();
    std::lock_guard lock(t.mutex);
    for (auto it = t.connections.begin(); it != t.connections.end();) {
        CountedConnection &entry = it->second;
        if (entry.count == 0 && entry.idleUntil <= now) {
            expired.push_back(entry.connection);
            it = t.connections.erase(it);
            continue;
        }
        if (entry.count == 0 && entry.idleUntil < next)
            next = entry.idleUntil;
        ++it;
    }
    return expired;
}

// The closer: closes lingering connections when their time is up. It holds connectMutex
// while it looks, so a connect never reuses a connection it is closing.
void CloseExpiredConnections(Tables &t) {
    std::unique_lock connectLock(t.connectMutex);
    for (;;) {
        Clock::time_point next;
        for (auto &connection : TakeExpired(t, Clock::now(), next))
            connection->close();
        t.closerWakesAt = next;
        if (next == Clock::time_point::max())
            t.lingerChanged.wait(connectLock);
        else
            t.lingerChanged.wait_until(connectLock, next);
    }
}

// Lets connection linger unused; false when it cannot (no closer thread), and it must close
// now. The caller holds connectMutex and the table lock.
bool StartLinger(Tables &t, CountedConnection &entry) {
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

DLN_RESULT SendConnectionCall(Connection &connection, wire::Call call) {
    wire::Request request;
    request.call = call;
    wire::Reply reply;
    DLN_RESULT result = connection.exchange(request, reply);
    return DLN_SUCCEEDED(result) ? reply.result : result;
}

} // namespace

Connection::Connection(std::unique_ptr<Transport> transport)
    : linger_(transport->linger()), transport_(std::move(transport)) {}

DLN_RESULT Connection::exchange(const wire::Request &request, wire::Reply &reply) {
    std::lock_guard lock(mutex_);
    if (!transport_)
        return DLN_RES_NOT_CONNECTED;
    DLN_RESULT result = transport_->exchange(request, reply);
    if (DLN_SUCCEEDED(result) && reply.call != request.call)
        result = DLN_RES_PROTOCOL_ERROR;
    if (!DLN_SUCCEEDED(result))
        transport_.reset(); // the stream is out of step: nothing more can be trusted on it
    return result;
}

bool Connection::usable() {
    std::lock_guard lock(mutex_);
    return transport_ != nullptr;
}

void Connection::close() {
    std::lock_guard lock(mutex_);
    transport_.reset();
}

DLN_RESULT Connect(const char *host, uint16_t port) {
    if (host == nullptr || host[0] == '\0')
        return DLN_RES_INVALID_ARGUMENT;
    Tables &t = TheTables();
    std::lock_guard connectLock(t.connectMutex);
    std::string key = Key(host, port);

    std::shared_ptr<Connection> existing;
    {
        std::lock_guard lock(t.mutex);
        auto it = t.connections.find(key);
        if (it != t.connections.end())
            existing = it->second.connection;
    }
    // A lingering connection is reused like a counted one. Its server may have gone away
    // meanwhile: then the Connect call below fails on the closed socket, and a fresh
    // connection (or the failure to make one) decides.
    if (existing && existing->usable()) {
        DLN_RESULT result = SendConnectionCall(*existing, wire::Call::Connect);
        // A server restarted since the last call closed the old socket: that shows only
        // now, and a fresh connection (below) reaches the new server. A silent server
        // (time-out) is not tried again, so the call stays within its bound.
        bool serverWentAway = result == DLN_RES_NOT_CONNECTED && !existing->usable();
        if (!serverWentAway) {
            if (DLN_SUCCEEDED(result)) {
                std::lock_guard lock(t.mutex);
                ++t.connections[key].count;
            }
            return result;
        }
    }

    // No connection yet, or the previous one was lost (server restarted): open a new one.
    std::unique_ptr<Transport> transport;
    DLN_RESULT result = OpenTransport(host, port, transport);
    if (!DLN_SUCCEEDED(result))
        return result;
    auto connection = std::make_shared<Connection>(std::move(transport));
    result = SendConnectionCall(*connection, wire::Call::Connect);
    if (!DLN_SUCCEEDED(result)) {
        connection->close();
        return result;
    }
    std::lock_guard lock(t.mutex);
    CountedConnection &entry = t.connections[key];
    if (entry.connection)
        DropHandlesOf(t, entry.connection);
    entry.connection = connection;
    entry.order = t.nextOrder++;
    ++entry.count;
    return result;
}

DLN_RESULT Disconnect(const char *host, uint16_t port) {
    if (host == nullptr)
        return DLN_RES_INVALID_ARGUMENT;
    Tables &t = TheTables();
    std::lock_guard connectLock(t.connectMutex);
    std::string key = Key(host, port);

    std::shared_ptr<Connection> connection;
    {
        std::lock_guard lock(t.mutex);
        auto it = t.connections.find(key);
        if (it == t.connections.end() || it->second.count == 0)
            return DLN_RES_NOT_CONNECTED;
        connection = it->second.connection;
    }
    DLN_RESULT result = connection->usable()
                            ? SendConnectionCall(*connection, wire::Call::Disconnect)
                            : DLN_RES_NOT_CONNECTED;

    std::lock_guard lock(t.mutex);
    auto it = t.connections.find(key);
    if (--it->second.count == 0) {
        DropHandlesOf(t, connection);
        bool sound = DLN_SUCCEEDED(result) && connection->usable();
        if (!sound || connection->linger().count() == 0 || !StartLinger(t, it->second)) {
            t.connections.erase(it);
            connection->close();
        }
    }
    return result;
}

std::shared_ptr<Connection> FirstUsableConnection() {
    Tables &t = TheTables();
    std::vector<std::pair<uint64_t, std::shared_ptr<Connection>>> candidates;
    {
        std::lock_guard lock(t.mutex);
        for (auto &[key, entry] : t.connections)
            if (entry.count > 0) // a lingering connection is closed to its caller
                candidates.emplace_back(entry.order, entry.connection);
    }
    std::shared_ptr<Connection> best;
    uint64_t bestOrder = 0;
    for (auto &[order, connection] : candidates)
        if ((!best || order < bestOrder) && connection->usable()) {
            best = connection;
            bestOrder = order;
        }
    return best;
}

HDLN AddHandle(std::shared_ptr<Connection> connection, uint16_t serverHandle) {
    Tables &t = TheTables();
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
    Tables &t = TheTables();
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
    Tables &t = TheTables();
    std::lock_guard lock(t.mutex);
    t.handles.erase(handle);
}

void DropAllConnections() {
    Tables &t = TheTables();
    std::lock_guard connectLock(t.connectMutex);
    std::map<std::string, CountedConnection> dropped;
    {
        std::lock_guard lock(t.mutex);
        dropped.swap(t.connections);
        t.handles.clear();
    }
    for (auto &[key, entry] : dropped)
        entry.connection->close();
}

} // namespace dln::client
