// The adapter connection in its five forms: what each failing step prints, whether the
// operation goes on, and what is released.
#include "adapter/connection.h"
#include "support/captured_stdout.h"
#include "support/printed_lines.h"
#include "support/sim_session.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct FormCase {
    ConnectionForm form;
    const char *failingCall; // nullptr: nothing fails
    bool goesOn;
    std::string output;
    bool releases; // close and disconnect reach the adapter library
};

std::string Name(const FormCase &c) {
    static const char *forms[] = {"Stopping", "SilentStopping", "Continuing", "Spi", "Sensor"};
    return std::string(forms[static_cast<int>(c.form)]) + " with " +
           (c.failingCall ? c.failingCall : "no failure");
}

const std::string kI2cTail = "0\nfreq= 100000\nI2C Enabled\n";
const std::string kSpiTail = "0\nfreq= 1000000\nSPI Enabled\n";
const std::string kBanner = "Connecting to DLN Devices\n";

const std::vector<FormCase> kCases = {
    {ConnectionForm::Stopping, nullptr, true, kAdapterInfo + kI2cTail, true},
    {ConnectionForm::Stopping, "DlnOpenDevice", false, "Failed to open device\n", true},
    {ConnectionForm::Stopping, "DlnGetVersion", false, "DlnGetVersion() failed\n", true},
    {ConnectionForm::Stopping, "DlnI2cMasterGetPortCount", false,
     kAdapterInfo + FailedCallLines("DlnI2cMasterGetPortCount"), true},
    {ConnectionForm::Stopping, "DlnI2cMasterGetFrequency", false,
     kAdapterInfo + "0\n" + FailedCallLines("DlnI2CMasterGetFrequency"), true},
    {ConnectionForm::Stopping, "DlnI2cMasterEnable", false,
     kAdapterInfo + "0\nfreq= 100000\n" + FailedCallLines("DlnI2cMasterEnable"), true},
    {ConnectionForm::SilentStopping, nullptr, true, "", true},
    {ConnectionForm::SilentStopping, "DlnI2cMasterGetFrequency", false,
     FailedCallLines("DlnI2CMasterGetFrequency"), true},
    {ConnectionForm::SilentStopping, "DlnI2cMasterEnable", false,
     FailedCallLines("DlnI2cMasterEnable"), true},
    {ConnectionForm::Continuing, "DlnOpenDevice", false, "Failed to open device\n", true},
    {ConnectionForm::Continuing, "DlnGetVersion", true, "DlnGetVersion() failed\n" + kI2cTail,
     true},
    {ConnectionForm::Continuing, "DlnI2cMasterGetPortCount", true,
     kAdapterInfo + FailedCallLines("DlnI2cMasterGetPortCount") + "freq= 100000\nI2C Enabled\n",
     true},
    {ConnectionForm::Continuing, "DlnI2cMasterGetFrequency", true,
     kAdapterInfo + "0\n" + FailedCallLines("DlnI2CMasterGetFrequency") + "freq= 0\nI2C Enabled\n",
     true},
    {ConnectionForm::Continuing, "DlnI2cMasterEnable", true,
     kAdapterInfo + "0\nfreq= 100000\n" + FailedCallLines("DlnI2cMasterEnable") + "I2C Enabled\n",
     true},
    {ConnectionForm::Spi, nullptr, true, kBanner + kAdapterInfo + kSpiTail, true},
    // After a failed open the SPI form goes on with handle 0, whose calls fail without
    // reaching the adapter.
    {ConnectionForm::Spi, "DlnOpenDevice", true,
     kBanner + "Failed to open device\n" + FailedCallLines("DlnSpiMasterGetPortCount", "0x41") +
         FailedCallLines("DlnSpiMasterGetFrequency", "0x41") + "freq= 0\n" +
         FailedCallLines("DlnSpiMasterEnable", "0x41") + "SPI Enabled\n",
     true},
    {ConnectionForm::Spi, "DlnSpiMasterGetPortCount", true,
     kBanner + kAdapterInfo + FailedCallLines("DlnSpiMasterGetPortCount") +
         "freq= 1000000\nSPI Enabled\n",
     true},
    {ConnectionForm::Sensor, nullptr, true,
     kBanner + kAdapterInfo + "0\n  count=1\n" + kI2cTail.substr(2), false},
    {ConnectionForm::Sensor, "DlnOpenDevice", false, kBanner + "Failed to open device\n", false},
    {ConnectionForm::Sensor, "DlnGetVersion", true,
     kBanner + "DlnGetVersion() failed\n0\n  count=1\n" + kI2cTail.substr(2), false},
    {ConnectionForm::Sensor, "DlnI2cMasterGetPortCount", false,
     kBanner + kAdapterInfo + FailedCallLines("DlnI2cMasterGetPortCount"), false},
    {ConnectionForm::Sensor, "DlnI2cMasterEnable", true,
     kBanner + kAdapterInfo + "0\n  count=1\nfreq= 100000\n" +
         FailedCallLines("DlnI2cMasterEnable") + "I2C Enabled\n",
     false},
};

TEST(AdapterConnection, EachFormHandlesEachFailingStepAsItsTableSays) {
    for (const FormCase &c : kCases) {
        dlnsim::SimBuilder builder;
        if (c.failingCall)
            builder.fault({c.failingCall, 0x4F, 0});
        SimSession session(builder);
        AdapterConnection connection;
        connection.form = c.form;
        bool goesOn = false;
        std::string out = CaptureStdout([&] {
            goesOn = OpenAdapterConnection(connection);
            if (goesOn)
                ReleaseAdapterConnection(connection);
        });
        EXPECT_EQ(goesOn, c.goesOn) << Name(c);
        EXPECT_EQ(out, c.output) << Name(c);
        std::vector<std::string> calls = session.calls();
        bool closed = std::count(calls.begin(), calls.end(), "DlnCloseHandle") > 0;
        bool opened = c.failingCall == nullptr || std::string(c.failingCall) != "DlnOpenDevice";
        EXPECT_EQ(closed, c.releases && opened) << Name(c);
    }
}

TEST(AdapterConnection, AdapterWithoutPortsEndsTheStoppingFormAfterItsInformation) {
    dlnsim::AdapterConfig config;
    config.i2cPortCount = 0;
    SimSession session(dlnsim::SimBuilder().adapter(config));
    AdapterConnection connection;
    std::string out = CaptureStdout([&] { EXPECT_FALSE(OpenAdapterConnection(connection)); });
    EXPECT_EQ(out, kAdapterInfo + "Current DLN adapter has no I2C ports\n");
    std::vector<std::string> calls = session.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "DlnCloseHandle"), 1);
}

TEST(AdapterConnection, NoServerPrintsOnlyTheConnectFailure) {
    for (ConnectionForm form : {ConnectionForm::Stopping, ConnectionForm::Spi}) {
        AdapterConnection connection;
        connection.form = form;
        std::string out = CaptureStdout([&] { EXPECT_FALSE(OpenAdapterConnection(connection)); });
        EXPECT_EQ(out, std::string(form == ConnectionForm::Spi ? kBanner : "") +
                           "Failed to connect to local DLN server\n");
    }
}

TEST(AdapterInformation, NamesTheTypeAndPrintsVersionsByteByByte) {
    struct Case {
        uint32_t type;
        const char *name;
    };
    for (Case c : {Case{0x0100, "DLN-1"}, Case{0x0200, "DLN-2"}, Case{0x0300, "DLN-3"},
                   Case{0x0401, "DLN-4M"}, Case{0x0402, "DLN-4S"}, Case{0x0403, "DLN-1???"},
                   Case{0, "DLN-1???"}}) {
        DLN_VERSION version{c.type, 0xFF010203, 0x11111111, 0x0000FF00, 0x80000001};
        std::string out =
            CaptureStdout([&] { PrintAdapterInformation(kPrintingReporter, version); });
        EXPECT_EQ(out, std::string(c.name) +
                           "\n\nHardware Version:255.1.2.3\nserverVersion:0.0.255.0"
                           "\nlibraryVersion:128.0.0.1\n");
    }
}

} // namespace
