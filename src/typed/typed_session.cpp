#include "typed/typed_session.h"

#include <map>

namespace {

struct SessionTable {
    std::mutex lock;
    jlong nextId = 1;
    std::map<jlong, std::shared_ptr<TypedSession>> sessions;
};

SessionTable &Table() {
    static SessionTable table;
    return table;
}

} // namespace

jlong AddSession(std::unique_ptr<TypedSession> session) {
    SessionTable &table = Table();
    std::lock_guard<std::mutex> hold(table.lock);
    const jlong id = table.nextId++;
    table.sessions.emplace(id, std::move(session));
    return id;
}

std::shared_ptr<TypedSession> FindSession(jlong id) {
    SessionTable &table = Table();
    std::lock_guard<std::mutex> hold(table.lock);
    const auto found = table.sessions.find(id);
    return found == table.sessions.end() ? nullptr : found->second;
}

void RemoveSession(jlong id) {
    std::shared_ptr<TypedSession> removed;
    SessionTable &table = Table();
    {
        std::lock_guard<std::mutex> hold(table.lock);
        const auto found = table.sessions.find(id);
        if (found == table.sessions.end())
            return;
        removed = std::move(found->second);
        table.sessions.erase(found);
    }
    // Released here, outside the table's lock, unless a call still holds it: then by that call.
}
