#include "adapter/eeprom_programmer.h"

#include "adapter/connection.h"
#include "adapter/eeprom_image.h"

#include <cstdio>
#include <vector>

namespace {

constexpr const char *kTransferCall = "DlnSpiMasterReadWrite";

Outcome End(AdapterConnection &connection, Outcome outcome) {
    ReleaseAdapterConnection(connection);
    fflush(stdout);
    return outcome;
}

// Connects, reads the identification and sets the write enable latch for the erase. Returns
// false when the operation ends here; the connection is then already released.
bool ConnectAndEnableErase(AdapterConnection &connection, EepromSession &session) {
    connection.form = ConnectionForm::Spi;
    if (!OpenAdapterConnection(connection)) {
        fflush(stdout);
        return false;
    }
    session.handle = connection.handle;

    DLN_RESULT result = EepromCommand(session, kEepromReadId, 4);
    ReportCallFailure(kTransferCall, result);
    printf("SPI Read Write Okay\n");
    for (int i = 0; i < 4; ++i)
        printf("READ:%d\t%x\n", i, session.reply[i]);

    result = EepromCommand(session, kEepromWriteEnable, 1);
    printf("Result code Write Enable Before Erase =%d\n", result);
    if (!DLN_SUCCEEDED(result)) {
        // Without the latch nothing after this point can work; leave the chip alone.
        ReportCallFailure(kTransferCall, result);
        End(connection, Outcome::Failed);
        return false;
    }
    return true;
}

void EraseChip(EepromSession &session) {
    DLN_RESULT result = EepromCommand(session, kEepromChipErase, 1);
    printf("Result code AFTER Erase =%d\n", result);
    // The erase command goes out once more with three zero bytes; its reply is what the
    // programming prints. The erase has used up the write enable latch, so the chip ignores it.
    ReportCallFailure(kTransferCall, EepromCommand(session, kEepromChipErase, 4));
    printf("WAIT ...\n");
    fflush(stdout);
    printf("DONE ...\n");
    fflush(stdout);
}

// Loads "program.hex" into image and writes "zz.dat". Returns false (after a line on standard
// error) when either file cannot be opened.
bool LoadAndDumpImage(uint8_t *image) {
    FILE *hex = fopen("program.hex", "r");
    printf("LOADING\n");
    if (hex == nullptr) {
        fprintf(stderr, "Could not open file program.hex to read.\n");
        return false;
    }
    LoadProgramHex(hex, image);
    fclose(hex);

    FILE *dump = fopen("zz.dat", "w");
    if (dump == nullptr) {
        fprintf(stderr, "Could not open file zz.dat to write.\n");
        return false;
    }
    const bool written = WriteImageDump(dump, image);
    if (fclose(dump) != 0 || !written)
        fprintf(stderr, "Could not write all of zz.dat; the chip is programmed anyway.\n");
    return true;
}

} // namespace

Outcome SpiEraseEEPROM() {
    AdapterConnection connection;
    EepromSession session;
    if (!ConnectAndEnableErase(connection, session))
        return Outcome::Failed;
    EraseChip(session);
    return End(connection, Outcome::Done);
}

Outcome SpiProgramEEPROM() {
    AdapterConnection connection;
    EepromSession session;
    if (!ConnectAndEnableErase(connection, session))
        return Outcome::Failed;
    EraseChip(session);
    for (int i = 0; i < 4; ++i)
        printf("BYTE (%d) = %x \n", i, session.reply[i]);

    std::vector<uint8_t> image(kEepromImageSize, 0);
    if (!LoadAndDumpImage(image.data()))
        return End(connection, Outcome::Failed);

    printf("Write Enable Command\n");
    DLN_RESULT result = EepromCommand(session, kEepromWriteEnable, 1);
    printf("Result code Write Enable Before PROGRAMMING =%d\n", result);
    ReportCallFailure(kTransferCall, result);
    result = EepromReadStatus(session);
    printf("Result After Get Status =%d\n", result);
    ReportCallFailure(kTransferCall, result);
    printf("EEPROM STATUS REGISTER BEFORE PAGE WRITE =%x\n", session.reply[1]);
    printf("+++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++\n");

    for (int block = 0; block < kEepromBlockCount; ++block)
        ProgramEepromBlockAndWait(session, image.data(), block);
    printf("INDEX= %d\n", kEepromImageSize);
    return End(connection, Outcome::Done);
}

void ProgramEepromBlockAndWait(EepromSession &session, const uint8_t *image, int block) {
    const int page = block / 2;
    printf("Program 128 Bytes\n");
    DLN_RESULT result = EepromProgramBlock(session, image, block);
    printf("Result code Page=%d After Program =%d\n", page, result);
    ReportCallFailure(kTransferCall, result);

    for (int polls = 1;; ++polls) {
        ReportCallFailure(kTransferCall, EepromReadStatus(session));
        printf("*** EEPROM STATUS REGISTER  AFTER PAGE WRITE COMMAND=%x\n", session.reply[1]);
        if ((session.reply[1] & kEepromStatusBusy) == 0)
            break;
        if (polls == kMaxStatusPolls) {
            printf("Page=%d: EEPROM still busy after %d status reads; going on\n", page, polls);
            break;
        }
    }

    result = EepromReadStatus(session);
    ReportCallFailure(kTransferCall, result);
    printf("Result code Page=%d After Get Status =%d\n", page, result);
    printf("*** EEPROM STATUS REGISTER AFTER KEYBOARD WAIT=%x\n", session.reply[1]);

    result = EepromCommand(session, kEepromWriteEnable, 1);
    ReportCallFailure(kTransferCall, result);
    printf("Result code Write Enable Before PROGRAMMING =%d\n", result);
}
