// The laser's one owner: the adapter connection kept by operation 0 and the driver record
// (which holds the adapter handle its traffic uses), for the life of the process. Every laser
// operation runs under the owner's lock, so calls from several threads take turns: each
// operation's register traffic runs whole, never interleaved with another's.
#pragma once

#include "adapter/connection.h"
#include "ranging/device/ranging_device.h"

#include <cstdint>
#include <mutex>

class LaserSensor {
  public:
    // Runs operation code under the lock: 0 connects and resets the sensor, any other code
    // identifies it and runs the operation of that code. *resultWord as RunLaserOperation.
    void run(int32_t code, int32_t *resultWord);

    // A copy of the record, taken under the lock.
    RangingDevice record() const;

    // Forgets the connection without releasing it and restores the record's creation values,
    // under the lock. For tests that start afresh after their simulator has gone.
    void forget();

  private:
    mutable std::mutex lock_;
    AdapterConnection connection_;
    RangingDevice device_{};
};

// The process-wide owner, created before the first call and kept until the library is
// unloaded.
LaserSensor &TheLaserSensor();
