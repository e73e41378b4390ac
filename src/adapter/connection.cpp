#include "adapter/connection.h"

#include "adapter/method_bound.h"

namespace {

// What each form does; one row per form, one piece of code reading it.
struct FormRules {
    bool spi;           // SPI calls and names instead of I2C
    bool banner;        // step 0 prints "Connecting to DLN Devices"
    bool openEnds;      // a failed open ends the operation (else it goes on with handle 0)
    bool versionEnds;   // a failed version query ends the operation
    bool portCountEnds; // a failed port count, or a count of 0, ends the operation
    bool frequencyEnds; // a failed frequency query ends the operation
    bool enableEnds;    // a failed enable ends the operation
    bool successPrints; // adapter information, port list, frequency, "Enabled"
    bool printsCount;   // "  count=%d" after the port list
    bool releases;      // step 8 closes and disconnects (the sensor keeps its connection)
};

constexpr FormRules kRules[] = {
    // spi    banner open   version ports  freq   enable prints count  releases
    {false, false, true, true, true, true, true, true, false, true},     // Stopping
    {false, false, true, true, true, true, true, false, false, true},    // SilentStopping
    {false, false, true, false, false, false, false, true, false, true}, // Continuing
    {true, true, false, false, false, false, false, true, false, true},  // Spi
    {false, true, true, false, true, false, false, true, true, false},   // Sensor
};

const FormRules &RulesOf(ConnectionForm form) {
    return kRules[static_cast<int>(form)];
}

void PrintVersionText(const Reporter &reporter, uint32_t value) {
    reporter.Line("%d.%d.%d.%d", static_cast<int>((value >> 24) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>(value & 0xFF));
}

// Ends the operation as the form prescribes: release what is held, report the end.
bool End(AdapterConnection &c) {
    ReleaseAdapterConnection(c);
    return false;
}

bool StepConnect(AdapterConnection &c, const FormRules &rules) {
    if (rules.banner)
        c.reporter->Line("Connecting to DLN Devices\n");
    DLN_RESULT result = BoundedCall(DlnConnect, kDlnHost, kDlnPort);
    if (!DLN_SUCCEEDED(result)) {
        c.reporter->Line("Failed to connect to local DLN server\n");
        return false;
    }
    c.connected = true;
    return true;
}

bool StepOpen(AdapterConnection &c, const FormRules &rules) {
    HDLN handle = 0;
    if (!DLN_SUCCEEDED(BoundedCall(DlnOpenDevice, 0, &handle))) {
        c.reporter->Line("Failed to open device\n");
        // Handle 0 is never issued, so the later calls of a form that goes on fail without
        // reaching an adapter.
        c.handle = 0;
        return rules.openEnds ? End(c) : true;
    }
    c.handle = handle;
    c.opened = true;
    return true;
}

bool StepVersion(AdapterConnection &c, const FormRules &rules) {
    if (!c.opened && !rules.openEnds)
        return true; // the SPI form skips identification after a failed open
    DLN_VERSION version{};
    if (!DLN_SUCCEEDED(BoundedCall(DlnGetVersion, c.handle, &version))) {
        ReportFailure(*c.reporter, "DlnGetVersion");
        return rules.versionEnds ? End(c) : true;
    }
    if (rules.successPrints)
        PrintAdapterInformation(*c.reporter, version);
    return true;
}

bool StepPortCount(AdapterConnection &c, const FormRules &rules) {
    uint8_t count = 0;
    DLN_RESULT result = rules.spi ? BoundedCall(DlnSpiMasterGetPortCount, c.handle, &count)
                                  : BoundedCall(DlnI2cMasterGetPortCount, c.handle, &count);
    c.portCount = count;
    if (!DLN_SUCCEEDED(result)) {
        ReportCallFailure(*c.reporter,
                          rules.spi ? "DlnSpiMasterGetPortCount" : "DlnI2cMasterGetPortCount",
                          result);
        if (rules.portCountEnds)
            return End(c);
    } else if (count == 0) {
        c.reporter->Line(rules.spi ? "Current DLN adapter has no SPI Master ports\n"
                                   : "Current DLN adapter has no I2C ports\n");
        if (rules.portCountEnds)
            return End(c);
    }
    if (rules.successPrints) {
        for (int port = 0; port < count; ++port)
            c.reporter->Line("%d\n", port);
        if (rules.printsCount)
            c.reporter->Line("  count=%d\n", count);
    }
    return true;
}

bool StepFrequency(AdapterConnection &c, const FormRules &rules) {
    uint32_t frequency = 0;
    DLN_RESULT result = rules.spi
                            ? BoundedCall(DlnSpiMasterGetFrequency, c.handle, kBusPort, &frequency)
                            : BoundedCall(DlnI2cMasterGetFrequency, c.handle, kBusPort, &frequency);
    c.frequency = frequency;
    if (!DLN_SUCCEEDED(result)) {
        ReportCallFailure(*c.reporter,
                          rules.spi ? "DlnSpiMasterGetFrequency" : "DlnI2CMasterGetFrequency",
                          result);
        if (rules.frequencyEnds)
            return End(c);
    }
    if (rules.successPrints)
        c.reporter->Line(c.frequencyFormat, static_cast<int>(frequency));
    return true;
}

bool StepEnable(AdapterConnection &c, const FormRules &rules) {
    uint16_t conflict = 0;
    DLN_RESULT result = rules.spi ? BoundedCall(DlnSpiMasterEnable, c.handle, kBusPort, &conflict)
                                  : BoundedCall(DlnI2cMasterEnable, c.handle, kBusPort, &conflict);
    if (!DLN_SUCCEEDED(result)) {
        ReportCallFailure(*c.reporter, rules.spi ? "DlnSpiMasterEnable" : "DlnI2cMasterEnable",
                          result);
        if (rules.enableEnds)
            return End(c);
    }
    if (rules.successPrints)
        c.reporter->Line(rules.spi ? "SPI Enabled\n" : "I2C Enabled\n");
    return true;
}

} // namespace

bool RunConnectionSteps(AdapterConnection &connection, int first, int last) {
    using Step = bool (*)(AdapterConnection &, const FormRules &);
    // Step 0 (the banner) is printed by the connect step so that both run as one.
    static constexpr Step kSteps[] = {nullptr,       StepConnect,   StepOpen,  StepVersion,
                                      StepPortCount, StepFrequency, StepEnable};
    const FormRules &rules = RulesOf(connection.form);
    if (first == 0)
        first = 1;
    for (int step = first; step <= last && step <= 6; ++step) {
        if (!kSteps[step](connection, rules))
            return false;
    }
    return true;
}

DLN_RESULT ReleaseAdapterConnection(AdapterConnection &connection) {
    if (!RulesOf(connection.form).releases || connection.released)
        return connection.disconnectResult;
    connection.released = true;
    if (connection.opened)
        DlnCloseHandle(connection.handle);
    if (connection.connected)
        connection.disconnectResult = DlnDisconnect(kDlnHost, kDlnPort);
    return connection.disconnectResult;
}

void ReleaseKeptConnection(AdapterConnection &connection) {
    if (connection.opened)
        DlnCloseHandle(connection.handle);
    if (connection.connected)
        DlnDisconnect(kDlnHost, kDlnPort);
    connection = AdapterConnection{};
}

ScopedConnection::~ScopedConnection() {
    ReleaseAdapterConnection(*this);
}

void PrintAdapterInformation(const Reporter &reporter, const DLN_VERSION &version) {
    switch (version.hardwareType) {
    case 0x0100:
        reporter.Line("DLN-1\n");
        break;
    case 0x0200:
        reporter.Line("DLN-2\n");
        break;
    case 0x0300:
        reporter.Line("DLN-3\n");
        break;
    case 0x0401:
        reporter.Line("DLN-4M\n");
        break;
    case 0x0402:
        reporter.Line("DLN-4S\n");
        break;
    default:
        reporter.Line("DLN-1???\n");
        break;
    }
    reporter.Line("\nHardware Version:");
    PrintVersionText(reporter, version.hardwareVersion);
    reporter.Line("\nserverVersion:");
    PrintVersionText(reporter, version.serverVersion);
    reporter.Line("\nlibraryVersion:");
    PrintVersionText(reporter, version.libraryVersion);
    reporter.Line("\n");
    reporter.Flush();
}
