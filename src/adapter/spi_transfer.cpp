#include "adapter/spi_transfer.h"

#include "adapter/bus.h"
#include "adapter/connection.h"
#include "adapter/method_bound.h"
#include "adapter/spi_port.h"

#include <cstdio>

namespace {

// Mode, frequency and select are set anew on every call; each failure is reported and the
// transfer still goes ahead with whatever the port has.
void ApplyPortSettings(AdapterConnection &connection, uint8_t mode, uint32_t requested,
                       uint8_t mask) {
    const HDLN handle = connection.handle;
    connection.reporter->Line("SPI Mode To Set=%d\n", mode);
    DLN_RESULT result = BoundedCall(DlnSpiMasterSetMode, handle, kBusPort, mode);
    ReportCallFailure(*connection.reporter, "DlnSpiMasterSetMode", result);

    connection.frequencyFormat = "SPI freq= %d\n";
    RunConnectionSteps(connection, 5, 6);

    result = BoundedCall(DlnSpiMasterGetMode, handle, kBusPort, &mode);
    ReportCallFailure(*connection.reporter, "DlnSpiMasterGetMode", result);
    connection.reporter->Line("SPI Mode=%d\n", mode);

    uint32_t actual = 0;
    result = BoundedCall(DlnSpiMasterSetFrequency, handle, kBusPort, requested, &actual);
    ReportCallFailure(*connection.reporter, "DlnSpiMasterSetFrequency", result);
    connection.reporter->Line(
        "\n******************\nSPI Requested Frequency: %ld  Actual Frequency=%ld "
        "\n****************\n",
        static_cast<long>(requested), static_cast<long>(actual));

    result = BoundedCall(DlnSpiMasterSetSS, handle, kBusPort, mask);
    ReportCallFailure(*connection.reporter, "DlnSpiMasterSetSS", result);
}

} // namespace

uint8_t SpiMode(int32_t cpol, int32_t cpha) {
    return static_cast<uint8_t>(static_cast<uint32_t>(cpol) + 2u * static_cast<uint32_t>(cpha));
}

uint8_t SpiSlaveSelectMask(int32_t line) {
    if (line < 0 || line > 3)
        line = 0;
    return static_cast<uint8_t>(~(1u << line));
}

SpiTransferResult SpiWriteRead(const SpiTransferRequest &request) {
    const auto port = HoldSpiPort();
    SpiTransferResult result;
    ScopedConnection connection{ConnectionForm::Spi}; // nothing on the bus until its steps run
    connection.reporter->Line(
        "\n*******************\nSPI CPOL=%d CPHA=%d SS=%d freqReques=%ld\n********\n", request.cpol,
        request.cpha, request.slaveSelect, static_cast<long>(request.frequency));
    const uint8_t mask = SpiSlaveSelectMask(request.slaveSelect);

    if (!RunConnectionSteps(connection, 0, 4))
        return result;
    result.connected = true;
    ApplyPortSettings(connection, SpiMode(request.cpol, request.cpha), request.frequency, mask);

    const DLN_RESULT transfer =
        SpiTransfer(connection.handle, request.bytes, result.received, request.count).code;
    ReportCallFailure(*connection.reporter, "DlnSpiMasterReadWrite", transfer);
    if (DLN_SUCCEEDED(transfer))
        result.outcome = Outcome::Done;
    connection.reporter->Line("SPI Read Write Okay\n");
    for (int i = 0; i < request.count; ++i)
        connection.reporter->Line("SPI C READ:%d\t%x\n", i, result.received[i]);
    connection.reporter->Flush();
    return result;
}
