// The per-call adapter connection: connect, open adapter 0, identify it, check the bus's port
// count, print its frequency, enable port 0; then the operation's transfers; then close and
// disconnect. Five forms differ only in what a failed step does and what success prints.
#pragma once

#include "adapter/failure_report.h"
#include "adapter/reporter.h"
#include "dln_api.h"

#include <cstdint>

// The DLN server runs on this machine at a fixed port.
inline constexpr const char *kDlnHost = "localhost";
inline constexpr uint16_t kDlnPort = 9656;

enum class ConnectionForm {
    Stopping,       // any failed step ends the operation
    SilentStopping, // as Stopping, but steps 3 to 6 print nothing on success
    Continuing,     // only a failed connect or open ends; the rest is reported and skipped over
    Spi,            // SPI calls; only a failed connect ends, a failed open goes on with handle 0
    Sensor,         // I2C, never released; adds "  count=%d" after the port list
};

struct AdapterConnection {
    ConnectionForm form = ConnectionForm::Stopping;
    HDLN handle = 0;        // 0 until the open succeeds (and stays 0 after a failed open)
    bool connected = false; // DlnConnect succeeded: step 8 disconnects
    bool opened = false;    // DlnOpenDevice succeeded: step 8 closes the handle
    bool released = false;  // step 8 has run (it runs once)
    uint8_t portCount = 0;
    uint32_t frequency = 0;
    DLN_RESULT disconnectResult = 0; // of the disconnect at step 8 or at an early end
    // The frequency line of step 5; the SPI transfer prints "SPI freq= %d\n" instead.
    const char *frequencyFormat = "freq= %d\n";
    // Where the steps' lines go; the operations on this connection report through it too.
    const Reporter *reporter = &kPrintingReporter;
};

// An AdapterConnection of form that is released (step 8) when it goes, on every path, so the
// operations that hold one write no release of their own.
class ScopedConnection : public AdapterConnection {
  public:
    explicit ScopedConnection(ConnectionForm connectionForm = ConnectionForm::Stopping) {
        form = connectionForm;
    }
    ~ScopedConnection();
    ScopedConnection(const ScopedConnection &) = delete;
    ScopedConnection &operator=(const ScopedConnection &) = delete;
};

// Runs the connection's steps first..last (0 = the "Connecting" banner of the SPI and sensor
// forms, 1 connect, 2 open, 3 version and adapter information, 4 port count, 5 frequency,
// 6 enable). Returns true when the operation goes on; false when the form ends it, in which
// case the connection has already been released as the form prescribes.
bool RunConnectionSteps(AdapterConnection &connection, int first, int last);

// Steps 0 to 6.
inline bool OpenAdapterConnection(AdapterConnection &connection) {
    return RunConnectionSteps(connection, 0, 6);
}

// Step 8: close the handle if it was opened, then disconnect if connected; the sensor form
// releases nothing. Returns the DlnDisconnect result (0 when nothing was disconnected).
DLN_RESULT ReleaseAdapterConnection(AdapterConnection &connection);

// Releases a connection of any form, the sensor's included (it connects anew), and resets the
// record to a fresh one.
void ReleaseKeptConnection(AdapterConnection &connection);

// Reports the adapter's type and its hardware, server and library versions, then flushes.
void PrintAdapterInformation(const Reporter &reporter, const DLN_VERSION &version);
