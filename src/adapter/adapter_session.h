// An adapter held open for as long as the object lives: connected to the DLN server, adapter 0
// opened and its I2C port 0 enabled. Whatever it acquired is released when it goes, on every
// path, so its callers write no release of their own. Prints nothing.
#pragma once

#include "adapter/bus.h"

#include <cstdint>
#include <string>

class AdapterSession {
  public:
    AdapterSession() = default;
    ~AdapterSession() { Release(); }
    AdapterSession(const AdapterSession &) = delete;
    AdapterSession &operator=(const AdapterSession &) = delete;

    // Connects to host:port, opens adapter 0 and enables I2C port 0. On a failed step releases
    // what it had acquired and returns that step's result.
    BusResult Open(const char *host, uint16_t port);

    // Enables SPI port 0 the first time it is asked for; later calls cost nothing.
    BusResult EnableSpi();

    // The open adapter's handle; 0 (which every adapter call refuses) when not open.
    HDLN handle() const { return handle_; }

    // Closes the handle and disconnects, as far as they were acquired; harmless twice.
    void Release();

  private:
    std::string host_;
    uint16_t port_ = 0;
    bool connected_ = false;
    HDLN handle_ = 0;
    bool spiEnabled_ = false;
};
