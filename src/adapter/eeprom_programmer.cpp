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

// "program.hex" and "zz.dat", open from before the erase until the image is loaded and dumped,
// so that a chip is never erased for an image that cannot be programmed.
struct ImageFiles {
    FILE *hex = nullptr;
    FILE *dump = nullptr;
    ImageFiles() = default;
    ImageFiles(const ImageFiles &) = delete;
    ImageFiles &operator=(const ImageFiles &) = delete;
    ~ImageFiles() {
        if (hex != nullptr)
            fclose(hex);
        if (dump != nullptr)
            fclose(dump);
    }
};

// Opens "program.hex", then creates "zz.dat". Returns false, after a line on standard error,
// when either fails; a missing "program.hex" leaves "zz.dat" as it was.
bool OpenImageFiles(ImageFiles &files) {
    files.hex = fopen("program.hex", "r");
    if (files.hex == nullptr) {
        fprintf(stderr, "Could not open file program.hex to read.\n");
        return false;
    }
    files.dump = fopen("zz.dat", "w");
    if (files.dump == nullptr) {
        fprintf(stderr, "Could not open file zz.dat to write.\n");
        return false;
    }
    return true;
}

// Loads "program.hex" into image and writes "zz.dat", closing both.
void LoadAndDumpImage(ImageFiles &files, uint8_t *image) {
    printf("LOADING\n");
    LoadProgramHex(files.hex, image);
    fclose(files.hex);
    files.hex = nullptr;
    const bool written = WriteImageDump(files.dump, image);
    const bool closed = fclose(files.dump) == 0;
    files.dump = nullptr;
    if (!closed || !written)
        fprintf(stderr, "Could not write all of zz.dat; the chip is programmed anyway.\n");
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
    ImageFiles files;
    if (!OpenImageFiles(files))
        return End(connection, Outcome::Failed);
    EraseChip(session);
    for (int i = 0; i < 4; ++i)
        printf("BYTE (%d) = %x \n", i, session.reply[i]);

    std::vector<uint8_t> image(kEepromImageSize, 0);
    LoadAndDumpImage(files, image.data());

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
