#include "adapter/eeprom_programmer.h"

#include "adapter/connection.h"
#include "adapter/eeprom_image.h"
#include "adapter/method_bound.h"
#include "adapter/spi_port.h"

#include "platform/regular_file.h"

#include <cstdio>
#include <string>

namespace {

constexpr const char *kTransferCall = "DlnSpiMasterReadWrite";

Outcome End(const EepromSession &session, Outcome outcome) {
    session.reporter->Flush();
    return outcome;
}

// Connects, reads the identification and sets the write enable latch for the erase. Returns
// false when the operation ends here.
bool ConnectAndEnableErase(AdapterConnection &connection, EepromSession &session) {
    session.reporter = connection.reporter;
    if (!OpenAdapterConnection(connection)) {
        session.reporter->Flush();
        return false;
    }
    session.handle = connection.handle;

    DLN_RESULT result = EepromCommand(session, kEepromReadId, 4);
    ReportCallFailure(*session.reporter, kTransferCall, result);
    session.reporter->Line("SPI Read Write Okay\n");
    for (int i = 0; i < 4; ++i)
        session.reporter->Line("READ:%d\t%x\n", i, session.reply[i]);

    result = EepromCommand(session, kEepromWriteEnable, 1);
    session.reporter->Line("Result code Write Enable Before Erase =%d\n", result);
    if (!DLN_SUCCEEDED(result)) {
        // Without the latch nothing after this point can work; leave the chip alone.
        ReportCallFailure(*session.reporter, kTransferCall, result);
        session.reporter->Flush();
        return false;
    }
    return true;
}

void EraseChip(EepromSession &session) {
    DLN_RESULT result = EepromCommand(session, kEepromChipErase, 1);
    session.reporter->Line("Result code AFTER Erase =%d\n", result);
    // The erase command goes out once more with three zero bytes; its reply is what the
    // programming prints. The erase has used up the write enable latch, so the chip ignores it.
    ReportCallFailure(*session.reporter, kTransferCall,
                      EepromCommand(session, kEepromChipErase, 4));
    session.reporter->Line("WAIT ...\n");
    session.reporter->Flush();
    session.reporter->Line("DONE ...\n");
    session.reporter->Flush();
}

constexpr const char *kHexName = "program.hex";

// The image of "program.hex" and the open "zz.dat", both ready before the erase, so that a
// chip is never erased for an image that cannot be programmed.
struct ImageFiles {
    ProgramHexImage image;
    FILE *dump = nullptr;
    ImageFiles() = default;
    ImageFiles(const ImageFiles &) = delete;
    ImageFiles &operator=(const ImageFiles &) = delete;
    ~ImageFiles() {
        if (dump != nullptr)
            fclose(dump);
    }
};

// The whole text of "program.hex", at most kMaxProgramHexBytes. Returns false after one line
// on standard error when it cannot be read.
bool ReadProgramHexText(std::string &text) {
    std::string why;
    FILE *file = PlatformOpenRegularFile(kHexName, "r", why);
    if (file == nullptr) {
        if (why == kNotRegularFile)
            fprintf(stderr, "Could not open file %s to read: %s.\n", kHexName, why.c_str());
        else
            fprintf(stderr, "Could not open file %s to read.\n", kHexName);
        return false;
    }
    text.resize(kMaxProgramHexBytes + 1);
    const size_t size = fread(text.data(), 1, text.size(), file);
    const bool failed = ferror(file) != 0;
    fclose(file);
    text.resize(size);
    if (failed) {
        fprintf(stderr, "%s: read error; the chip is left as it was\n", kHexName);
        return false;
    }
    if (size > kMaxProgramHexBytes) {
        fprintf(stderr, "%s: larger than %zu bytes; the chip is left as it was\n", kHexName,
                kMaxProgramHexBytes);
        return false;
    }
    return true;
}

// Reads and checks "program.hex", then creates "zz.dat". Returns false, after a line on
// standard error, when either fails; "zz.dat" is then left as it was.
bool PrepareImageFiles(ImageFiles &files) {
    std::string text;
    if (!ReadProgramHexText(text))
        return false;
    files.image = ParseProgramHex(text);
    if (!files.image.error.empty()) {
        fprintf(stderr, "%s: %s; the chip is left as it was\n", kHexName,
                files.image.error.c_str());
        return false;
    }
    std::string why;
    files.dump = PlatformOpenRegularFile("zz.dat", "w", why);
    if (files.dump == nullptr) {
        if (why == kNotRegularFile)
            fprintf(stderr, "Could not open file zz.dat to write: %s.\n", why.c_str());
        else
            fprintf(stderr, "Could not open file zz.dat to write.\n");
        return false;
    }
    return true;
}

// Echoes the image's pairs and writes "zz.dat", closing it.
void EchoAndDumpImage(const Reporter &reporter, ImageFiles &files) {
    reporter.Line("LOADING\n");
    PrintProgramHexEcho(reporter, files.image);
    const bool written = WriteImageDump(files.dump, files.image.bytes.data());
    const bool closed = fclose(files.dump) == 0;
    files.dump = nullptr;
    if (!closed || !written)
        fprintf(stderr, "Could not write all of zz.dat; the chip is programmed anyway.\n");
}

} // namespace

Outcome SpiEraseEEPROM() {
    const auto port = HoldSpiPort();
    ScopedConnection connection{ConnectionForm::Spi};
    EepromSession session;
    if (!ConnectAndEnableErase(connection, session))
        return Outcome::Failed;
    EraseChip(session);
    return End(session, Outcome::Done);
}

Outcome SpiProgramEEPROM() {
    const auto port = HoldSpiPort();
    ScopedConnection connection{ConnectionForm::Spi};
    EepromSession session;
    if (!ConnectAndEnableErase(connection, session))
        return Outcome::Failed;
    ImageFiles files;
    if (!PrepareImageFiles(files))
        return End(session, Outcome::Failed);
    EraseChip(session);
    for (int i = 0; i < 4; ++i)
        session.reporter->Line("BYTE (%d) = %x \n", i, session.reply[i]);

    EchoAndDumpImage(*session.reporter, files);
    const uint8_t *image = files.image.bytes.data();

    session.reporter->Line("Write Enable Command\n");
    DLN_RESULT result = EepromCommand(session, kEepromWriteEnable, 1);
    session.reporter->Line("Result code Write Enable Before PROGRAMMING =%d\n", result);
    ReportCallFailure(*session.reporter, kTransferCall, result);
    result = EepromReadStatus(session);
    session.reporter->Line("Result After Get Status =%d\n", result);
    ReportCallFailure(*session.reporter, kTransferCall, result);
    session.reporter->Line("EEPROM STATUS REGISTER BEFORE PAGE WRITE =%x\n", session.reply[1]);
    session.reporter->Line(
        "+++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++\n");

    for (int block = 0; block < kEepromBlockCount; ++block) {
        if (!ProgramEepromBlockAndWait(session, image, block))
            return End(session, Outcome::Failed);
    }
    session.reporter->Line("INDEX= %d\n", kEepromImageSize);
    return End(session, Outcome::Done);
}

bool ProgramEepromBlockAndWait(EepromSession &session, const uint8_t *image, int block) {
    const int page = block / 2;
    session.reporter->Line("Program 128 Bytes\n");
    DLN_RESULT result = EepromProgramBlock(session, image, block);
    session.reporter->Line("Result code Page=%d After Program =%d\n", page, result);
    ReportCallFailure(*session.reporter, kTransferCall, result);
    if (PastMethodBound(result))
        return false;

    for (int polls = 1;; ++polls) {
        result = EepromReadStatus(session);
        ReportCallFailure(*session.reporter, kTransferCall, result);
        if (PastMethodBound(result))
            return false;
        session.reporter->Line("*** EEPROM STATUS REGISTER  AFTER PAGE WRITE COMMAND=%x\n",
                               session.reply[1]);
        if ((session.reply[1] & kEepromStatusBusy) == 0)
            break;
        if (polls == kMaxStatusPolls) {
            session.reporter->Line("Page=%d: EEPROM still busy after %d status reads; going on\n",
                                   page, polls);
            break;
        }
    }

    result = EepromReadStatus(session);
    ReportCallFailure(*session.reporter, kTransferCall, result);
    session.reporter->Line("Result code Page=%d After Get Status =%d\n", page, result);
    session.reporter->Line("*** EEPROM STATUS REGISTER AFTER KEYBOARD WAIT=%x\n", session.reply[1]);

    result = EepromCommand(session, kEepromWriteEnable, 1);
    ReportCallFailure(*session.reporter, kTransferCall, result);
    session.reporter->Line("Result code Write Enable Before PROGRAMMING =%d\n", result);
    return !PastMethodBound(result);
}
