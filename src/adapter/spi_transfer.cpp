#include "adapter/spi_transfer.h"

#include "adapter/connection.h"

#include <cstdio>

namespace {

constexpr int kSpiBufferSize = 512;

void PrintCallFailure(const char *call, DLN_RESULT result) {
    printf("%s() function returns 0x%X\n", call, static_cast<unsigned>(result));
    printf("%s() failed\n", call);
}

// Mode, frequency and select are set anew on every call; each failure is reported and the
// transfer still goes ahead with whatever the port has.
void ApplyPortSettings(AdapterConnection &connection, uint8_t mode, uint32_t requested,
                       uint8_t mask) {
    const HDLN handle = connection.handle;
    printf("SPI Mode To Set=%d\n", mode);
    DLN_RESULT result = DlnSpiMasterSetMode(handle, 0, mode);
    if (!DLN_SUCCEEDED(result))
        PrintCallFailure("DlnSpiMasterSetMode", result);

    connection.frequencyFormat = "SPI freq= %d\n";
    RunConnectionSteps(connection, 5, 6);

    result = DlnSpiMasterGetMode(handle, 0, &mode);
    if (!DLN_SUCCEEDED(result))
        PrintCallFailure("DlnSpiMasterGetMode", result);
    printf("SPI Mode=%d\n", mode);

    uint32_t actual = 0;
    result = DlnSpiMasterSetFrequency(handle, 0, requested, &actual);
    if (!DLN_SUCCEEDED(result))
        PrintCallFailure("DlnSpiMasterSetFrequency", result);
    printf("\n******************\nSPI Requested Frequency: %ld  Actual Frequency=%ld "
           "\n****************\n",
           static_cast<long>(requested), static_cast<long>(actual));

    result = DlnSpiMasterSetSS(handle, 0, mask);
    if (!DLN_SUCCEEDED(result))
        PrintCallFailure("DlnSpiMasterSetSS", result);
}

} // namespace

uint32_t SpiRequestedFrequency(const int32_t frequencySlots[4]) {
    uint32_t frequency = 0;
    for (int i = 3; i >= 0; --i)
        frequency = frequency * 256u + static_cast<uint32_t>(frequencySlots[i]);
    return frequency;
}

uint8_t SpiMode(int32_t cpol, int32_t cpha) {
    return static_cast<uint8_t>(static_cast<uint32_t>(cpol) + 2u * static_cast<uint32_t>(cpha));
}

uint8_t SpiSlaveSelectMask(int32_t line) {
    if (line < 0 || line > 3)
        line = 0;
    return static_cast<uint8_t>(~(1u << line));
}

int SpiWriteRead(int32_t *slots) {
    const int32_t count = slots[0];
    if (count < 0 || count > kMaxSpiTransferCount) {
        printf("spiWriteRead: byte count %d is outside 0..%d; nothing transferred\n", count,
               kMaxSpiTransferCount);
        return -1;
    }
    uint8_t send[kSpiBufferSize] = {};
    uint8_t receive[kSpiBufferSize] = {};
    for (int i = 0; i < count; ++i)
        send[i] = static_cast<uint8_t>(slots[8 + i]);
    const uint32_t requested = SpiRequestedFrequency(&slots[4]);
    printf("\n*******************\nSPI CPOL=%d CPHA=%d SS=%d freqReques=%ld\n********\n", slots[1],
           slots[2], slots[3], static_cast<long>(requested));
    const uint8_t mask = SpiSlaveSelectMask(slots[3]);

    AdapterConnection connection;
    connection.form = ConnectionForm::Spi;
    if (!RunConnectionSteps(connection, 0, 4))
        return 0;
    ApplyPortSettings(connection, SpiMode(slots[1], slots[2]), requested, mask);

    DLN_RESULT result =
        DlnSpiMasterReadWrite(connection.handle, 0, static_cast<uint16_t>(count), send, receive);
    if (!DLN_SUCCEEDED(result))
        PrintCallFailure("DlnSpiMasterReadWrite", result);
    printf("SPI Read Write Okay\n");
    for (int i = 0; i < count; ++i)
        printf("SPI C READ:%d\t%x\n", i, receive[i]);
    fflush(stdout);
    for (int i = 0; i < count; ++i)
        slots[8 + i] = receive[i];
    ReleaseAdapterConnection(connection);
    return 0;
}
