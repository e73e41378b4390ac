// The typed library's sessions: an adapter session kept open between calls, reached from Java
// through an opaque id, never a pointer, so that a closed, stale or made-up id finds nothing.
#pragma once

#include "adapter/adapter_session.h"
#include "ranging/device/ranging_device.h"

#include <jni.h>

#include <memory>
#include <mutex>
#include <string>

struct TypedSession {
    AdapterSession adapter;
    std::mutex calls;    // one call at a time on a session, whichever thread makes it
    std::string failure; // the last failure's text; "" when the last call succeeded
    RangingDevice laser; // the ranging sensor's driver record, set up by laserConnect
};

// Takes the session over and returns its id; ids are never reused within a process.
jlong AddSession(std::unique_ptr<TypedSession> session);

// The session of id, or null. The caller's reference keeps it alive through a concurrent close.
std::shared_ptr<TypedSession> FindSession(jlong id);

// Forgets id; the session is released once the last caller holding it is done. Harmless for an
// unknown id.
void RemoveSession(jlong id);
