// The adapter's SPI port keeps its selected line, mode and frequency between calls, and the
// EEPROM commands use whatever the last transfer selected. So every SPI operation of this
// process holds the port from its first SPI call to its last, and concurrent calls never mix
// their lines. Another process using the same adapter is beyond reach: the adapter's interface
// has no lock across processes.
#pragma once

#include <mutex>

// Waits for the process's SPI port and holds it until the returned lock goes.
[[nodiscard]] std::unique_lock<std::mutex> HoldSpiPort();
