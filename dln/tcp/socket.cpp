// The socket loops written once for POSIX and Winsock: name resolution within the deadline,
// the address loop, the send loop and the receive loop, over the single attempts of
// socket_platform.h.
#include "socket.h"

#include "socket_platform.h"

#if defined(_WIN32)
#include <ws2tcpip.h>
#else
#include <netdb.h>
#endif

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace dln::tcp {

namespace {

// The addresses of host:port for a TCP connection, or nullptr. Blocks as long as the system's
// resolver takes, which is why it runs on a thread of its own.
addrinfo *Resolve(const std::string &host, uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *addresses = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses) != 0)
        return nullptr;
    return addresses;
}

// One name lookup, run on a thread of its own so that a caller waits for it only until its
// deadline; a lookup that outlives its callers frees its addresses when it ends.
struct Lookup {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    addrinfo *addresses = nullptr;
    ~Lookup() {
        if (addresses != nullptr)
            freeaddrinfo(addresses);
    }
};

// The lookups under way, by "host:port": a resolver that never answers holds one thread per
// name, however often the callers retry. Never destroyed, as a lookup's thread may end after
// the process began to exit.
struct RunningLookups {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<Lookup>> byName;
};
RunningLookups &Running() {
    static auto *running = new RunningLookups;
    return *running;
}

std::shared_ptr<Lookup> StartLookup(const std::string &host, uint16_t port) {
    const std::string key = host + ":" + std::to_string(port);
    RunningLookups &running = Running();
    std::lock_guard lock(running.mutex);
    std::shared_ptr<Lookup> &slot = running.byName[key];
    if (slot)
        return slot;
    auto lookup = std::make_shared<Lookup>();
    slot = lookup;
    std::thread([lookup, key, host, port] {
        addrinfo *addresses = Resolve(host, port);
        {
            std::lock_guard hold(lookup->mutex);
            lookup->addresses = addresses;
            lookup->done = true;
        }
        lookup->ended.notify_all();
        RunningLookups &running = Running();
        std::lock_guard lock(running.mutex);
        auto it = running.byName.find(key);
        if (it != running.byName.end() && it->second == lookup)
            running.byName.erase(it);
    }).detach();
    return lookup;
}

// The addresses of host:port, or nullptr when the lookup failed or did not end by deadline.
// The lookup returned keeps them alive.
const addrinfo *ResolveBy(const std::string &host, uint16_t port, Clock::time_point deadline,
                          std::shared_ptr<Lookup> &lookup) {
    lookup = StartLookup(host, port);
    std::unique_lock lock(lookup->mutex);
    if (!lookup->ended.wait_until(lock, deadline, [&] { return lookup->done; }))
        return nullptr;
    return lookup->addresses;
}

} // namespace

SocketHandle SocketConnect(const std::string &host, uint16_t port,
                           std::chrono::milliseconds perAddress, Clock::time_point deadline) {
    if (!platform::Start())
        return kNoSocket;
    std::shared_ptr<Lookup> lookup;
    const addrinfo *addresses = ResolveBy(host, port, deadline, lookup);
    SocketHandle s = kNoSocket;
    // "localhost" may give ::1 before 127.0.0.1 while the server listens on one of them only.
    for (const addrinfo *a = addresses; a != nullptr && s == kNoSocket; a = a->ai_next) {
        if (Clock::now() >= deadline)
            break;
        s = platform::ConnectOne(*a, std::min(deadline, Clock::now() + perAddress));
    }
    return s;
}

IoStatus SocketSendAll(SocketHandle s, const uint8_t *data, size_t size,
                       Clock::time_point deadline) {
    while (size > 0) {
        // Checked on every turn: a peer that takes a few bytes at a time must not stretch it.
        if (Clock::now() >= deadline)
            return IoStatus::TimedOut;
        size_t sent = 0;
        IoStatus status = platform::SendOnce(s, data, size, sent, deadline);
        if (status != IoStatus::Ok)
            return status;
        data += sent;
        size -= sent;
    }
    return IoStatus::Ok;
}

IoStatus SocketReceiveSome(SocketHandle s, uint8_t *data, size_t capacity, size_t &received,
                           Clock::time_point deadline) {
    received = 0;
    for (;;) {
        // Checked on every turn, also when bytes are waiting: a peer trickling bytes must
        // not keep the caller past its deadline.
        if (Clock::now() >= deadline)
            return IoStatus::TimedOut;
        IoStatus status = platform::ReceiveOnce(s, data, capacity, received, deadline);
        if (status != IoStatus::Ok || received > 0)
            return status;
    }
}

bool SocketDiscardArrived(SocketHandle s) {
    return platform::DiscardArrived(s);
}

} // namespace dln::tcp
