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

using Clock = std::chrono::steady_clock;

struct CountedConnection {
    std::shared_ptr<Connection> connection;
    unsigned count = 0; // 0: lingering, unused, until idleUntil
    uint64_t order = 0; // when it was opened, to find the oldest
    Clock::time_point idleUntil;
};

struct ConnectionTable {
    // Serialises connects and disconnects, which may wait for the network; lookups only
    // take the table lock, so calls on other handles go on meanwhile.
    std::mutex connectMutex;
    std::condition_variable lingerChanged; // waited on with connectMutex by the closer
    bool closerRunning = false;
    Clock::time_point closerWakesAt = Clock::time_point::max();
    std::mutex mutex;
    std::map<std::string, CountedConnection> connections;
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

// Takes the lingering connections whose time is up out of the table, for the caller to close
// (outside the table lock); tells when the next one is due.
std::vector<std::shared_ptr<Connection>> TakeExpired(ConnectionTable &t, Clock::time_point now,
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
void CloseExpiredConnections(ConnectionTable &t) {
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

DLN_RESULT SendConnectionCall(Connection &connection, wire::Call call) {
    wire::Request request;
    request.call = call;
    wire::Reply reply;
    DLN_RESULT result = connection.exchange(request, reply);
    return DLN_SUCCEEDED(result) ? reply.result : result;
}

} // namespace

DLN_RESULT Connect(const char *host, uint16_t port) {
    if (host == nullptr || host[0] == '\0')
        return DLN_RES_INVALID_ARGUMENT;
    ConnectionTable &t = TheConnections();
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
        RemoveHandlesOf(entry.connection);
    entry.connection = connection;
    entry.order = t.nextOrder++;
    ++entry.count;
    return result;
}

DLN_RESULT Disconnect(const char *host, uint16_t port) {
    if (host == nullptr)
        return DLN_RES_INVALID_ARGUMENT;
    ConnectionTable &t = TheConnections();
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
        RemoveHandlesOf(connection);
        bool sound = DLN_SUCCEEDED(result) && connection->usable();
        if (!sound || connection->linger().count() == 0 || !StartLinger(t, it->second)) {
            t.connections.erase(it);
            connection->close();
        }
    }
    return result;
}

std::shared_ptr<Connection> FirstUsableConnection() {
    ConnectionTable &t = TheConnections();
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

void DropAllConnections() {
    ConnectionTable &t = TheConnections();
    std::lock_guard connectLock(t.connectMutex);
    std::map<std::string, CountedConnection> dropped;
    {
        std::lock_guard lock(t.mutex);
        dropped.swap(t.connections);
    }
    RemoveAllHandles();
    for (auto &[key, entry] : dropped)
        entry.connection->close();
}

} // namespace dln::client
