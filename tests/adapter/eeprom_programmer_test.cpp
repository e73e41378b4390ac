// Erasing and programming the simulated EEPROM: exact output, the order of the transfers, the
// chip's memory afterwards and the files in the working directory.
#include "adapter/connection.h"
#include "adapter/eeprom_programmer.h"
#include "dlnsim/models/spi_eeprom.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/printed_lines.h"
#include "support/sim_session.h"
#include "support/temp_working_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <filesystem>
#include <sys/stat.h>

namespace {

using Bytes = std::vector<uint8_t>;

std::string Format(const char *format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

const std::string kConnected =
    "Connecting to DLN Devices\n" + kAdapterInfo + "0\nfreq= 1000000\nSPI Enabled\n";
const std::string kIdentified =
    kConnected + "SPI Read Write Okay\nREAD:0\tff\nREAD:1\t20\nREAD:2\t20\nREAD:3\t10\n";
const std::string kErased = kIdentified + "Result code Write Enable Before Erase =0\n"
                                          "Result code AFTER Erase =0\nWAIT ...\nDONE ...\n";
const std::string kLoading = "BYTE (0) = ff \nBYTE (1) = ff \nBYTE (2) = ff \nBYTE (3) = ff \n"
                             "LOADING\n";

// What one block prints when the chip reports the given statuses while it is polled.
std::string BlockLines(int block, const std::vector<int> &polls) {
    const int page = block / 2;
    std::string out = Format("Program 128 Bytes\nResult code Page=%d After Program =0\n", page);
    for (int status : polls)
        out += Format("*** EEPROM STATUS REGISTER  AFTER PAGE WRITE COMMAND=%x\n", status);
    return out + Format("Result code Page=%d After Get Status =0\n"
                        "*** EEPROM STATUS REGISTER AFTER KEYBOARD WAIT=0\n"
                        "Result code Write Enable Before PROGRAMMING =0\n",
                        page);
}

dlnsim::SpiEepromConfig BusyFor(uint32_t programBusyReads, bool stuck = false) {
    dlnsim::SpiEepromConfig config;
    config.programBusyReads = programBusyReads;
    config.stuckBusy = stuck;
    return config;
}

struct Rig {
    std::shared_ptr<dlnsim::SpiEeprom> chip;
    SimSession session;
    explicit Rig(dlnsim::SpiEepromConfig config = {}, std::vector<dlnsim::Fault> faults = {})
        : chip(std::make_shared<dlnsim::SpiEeprom>(config)), session(Builder(chip, faults)) {}
    static dlnsim::SimBuilder Builder(std::shared_ptr<dlnsim::SpiEeprom> chip,
                                      const std::vector<dlnsim::Fault> &faults) {
        dlnsim::SimBuilder builder;
        builder.spi(0, chip);
        for (const dlnsim::Fault &fault : faults)
            builder.fault(fault);
        return builder;
    }
    // The bytes sent by each SPI transfer, in order.
    std::vector<Bytes> sent() {
        std::vector<Bytes> out;
        for (const dlnsim::TraceEntry &entry : session.sim().trace())
            if (entry.call == "DlnSpiMasterReadWrite")
                out.push_back(entry.out);
        return out;
    }
    bool releasedLast() {
        std::vector<std::string> calls = session.calls();
        return calls.size() >= 2 && calls[calls.size() - 2] == "DlnCloseHandle" &&
               calls.back() == "DlnDisconnect";
    }
    void fill(uint8_t value) {
        for (uint32_t a = 0; a < 65536; a += 256) {
            Bytes out = {0x06};
            Bytes in(1);
            chip->transfer(out, in, 0);
            out = {0x02, 0, static_cast<uint8_t>(a >> 8), 0};
            out.resize(4 + 256, value);
            in.resize(out.size());
            chip->transfer(out, in, 0);
            while (chip->status() & 1)
                chip->transfer(Bytes{0x05, 0}, in, 0);
        }
    }
};

TEST(EepromProgrammer, EraseSendsIdentificationEnableAndTheEraseTwice) {
    Rig rig;
    rig.fill(0x00);
    FakeJni jni;
    std::vector<jint> slots(255, 4);
    jintArray array = jni.array(slots);
    jint result = 0;
    std::string out =
        CaptureStdout([&] { result = Java_I2C_1DLN_spiEraseEEPROM(jni.env(), nullptr, array); });
    EXPECT_EQ(result, 3);
    EXPECT_EQ(out, kErased + "Passing Write Data =4\n");
    EXPECT_EQ(rig.session.transfers(),
              (std::vector<std::string>{"S out: 9f 00 00 00 in: ff 20 20 10", "S out: 06 in: ff",
                                        "S out: 60 in: ff", "S out: 60 00 00 00 in: ff ff ff ff"}));
    EXPECT_TRUE(std::all_of(rig.chip->memory().begin(), rig.chip->memory().end(),
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(rig.releasedLast());
    EXPECT_EQ(jni.values(array), slots);
    EXPECT_EQ(jni.calls.back(), "SetIntArrayRegion(0,10)");
}

TEST(EepromProgrammer, ProgramsTheImageInBlocksPollingABusyChip) {
    TempWorkingDir dir;
    std::string hex = "10 ab\n";
    std::string echo = "Address=16  Data1=ab \n";
    Bytes image(65536, 0);
    image[0x10] = 0xAB;
    for (int a = 380; a < 516; ++a) {
        image[a] = static_cast<uint8_t>(a * 7);
        hex += Format("%x %x\n", a, image[a]);
        echo += Format("Address=%d  Data1=%x \n", a, image[a]);
    }
    echo += Format("Address=515  Data1=%x \n", image[515]); // the end repeats the last pair
    dir.write("program.hex", hex);
    Rig rig(BusyFor(2));

    FakeJni jni;
    std::vector<jint> slots(255, 0x21);
    jintArray array = jni.array(slots);
    std::string out = CaptureStdout(
        [&] { EXPECT_EQ(Java_I2C_1DLN_spiProgramEEPROM(jni.env(), nullptr, array), 3); });

    std::string expected =
        kErased + kLoading + echo +
        "Write Enable Command\nResult code Write Enable Before PROGRAMMING =0\n"
        "Result After Get Status =0\nEEPROM STATUS REGISTER BEFORE PAGE WRITE =2\n" +
        std::string(71, '+') + "\n";
    for (int block = 0; block < 512; ++block)
        expected += BlockLines(block, {3, 3, 0}); // busy twice, then ready
    expected += "INDEX= 65536\nPassing Write Data =21\n";
    EXPECT_EQ(out, expected);

    std::vector<Bytes> sent = rig.sent();
    // Each block: the program, three status reads, one more, the write enable.
    ASSERT_EQ(sent.size(), 4u + 2u + 512u * 6u);
    EXPECT_EQ(sent[4], Bytes{0x06});
    EXPECT_EQ(sent[5], (Bytes{0x05, 0x00}));
    for (int block = 0; block < 512; ++block) {
        const Bytes &command = sent[6 + block * 6];
        ASSERT_EQ(command.size(), 132u) << "block " << block;
        Bytes expectedCommand(132);
        expectedCommand[0] = 0x02;
        expectedCommand[2] = static_cast<uint8_t>(block / 2);
        expectedCommand[3] = static_cast<uint8_t>(block % 2 * 0x80);
        std::copy(image.begin() + block * 128, image.begin() + block * 128 + 128,
                  expectedCommand.begin() + 4);
        ASSERT_EQ(command, expectedCommand) << "block " << block;
        EXPECT_EQ(sent[6 + block * 6 + 5], Bytes{0x06}) << "block " << block;
    }
    EXPECT_EQ(Bytes(sent[6 + 3 * 6].begin(), sent[6 + 3 * 6].begin() + 4),
              (Bytes{0x02, 0x00, 0x01, 0x80}));
    EXPECT_EQ(rig.chip->memory(), image);
    EXPECT_TRUE(rig.releasedLast());

    std::string dump;
    for (int a = 0; a < 65536; ++a)
        dump += Format("%x  %x\n", a, image[a]);
    EXPECT_EQ(dir.read("zz.dat"), dump);
}

TEST(EepromProgrammer, FailedWriteEnableBeforeTheEraseEndsBothOperations) {
    for (bool program : {false, true}) {
        TempWorkingDir dir;
        dir.write("program.hex", "10 ab\n");
        Rig rig({}, {{.call = "DlnSpiMasterReadWrite", .code = 0x4F, .nth = 2}});
        rig.fill(0x00);
        std::string out = CaptureStdout([&] { program ? SpiProgramEEPROM() : SpiEraseEEPROM(); });
        EXPECT_EQ(out, kIdentified + "Result code Write Enable Before Erase =79\n"
                                     "DlnSpiMasterReadWrite() function returns 0x4F\n"
                                     "DlnSpiMasterReadWrite() failed\n");
        EXPECT_EQ(rig.sent().size(), 2u);
        EXPECT_EQ(rig.chip->memory()[0], 0x00) << "the chip was erased";
        EXPECT_TRUE(rig.releasedLast());
        EXPECT_FALSE(std::filesystem::exists("zz.dat"));
    }
}

// The files are checked, and "program.hex" read whole, before the erase: a chip is never
// erased for an image that cannot be programmed. Only the identification and the write enable
// reach it, and a FIFO nobody writes or reads never blocks the operation.
TEST(EepromProgrammer, FilesThatCannotGiveAnImageLeaveTheChipUntouched) {
    enum class Hex { Missing, Good, Text, Fifo };
    struct Case {
        const char *name;
        Hex hex;
        std::string hexText;
        bool dumpIsFifo;
        std::string stderrLine;
    };
    const std::string binary("\x7f\x45LF\x02\x01\x01\0\0\0", 10);
    const Case cases[] = {
        {"program.hex missing", Hex::Missing, "", false,
         "Could not open file program.hex to read.\n"},
        {"program.hex a FIFO", Hex::Fifo, "", false,
         "Could not open file program.hex to read: not a regular file.\n"},
        {"zz.dat not creatable", Hex::Good, "", false, "Could not open file zz.dat to write.\n"},
        {"zz.dat a FIFO nobody reads", Hex::Good, "", true,
         "Could not open file zz.dat to write: not a regular file.\n"},
        {"binary garbage", Hex::Text, binary, false,
         "program.hex: line 1, column 1: not a hexadecimal number of at most 32 bits; the chip "
         "is left as it was\n"},
        {"a pair, then junk", Hex::Text, "10 ab\n11 cd ef\n", false,
         "program.hex: line 2, column 7: an address without its data; the chip is left as it "
         "was\n"},
        {"one 2 MB line", Hex::Text, std::string(2000000, '1') + " 2\n", false,
         "program.hex: larger than 1048576 bytes; the chip is left as it was\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempWorkingDir dir;
        dir.write("zz.dat", "an earlier dump\n");
        if (c.hex == Hex::Good)
            dir.write("program.hex", "10 ab\n");
        if (c.hex == Hex::Text)
            dir.write("program.hex", c.hexText);
        if (c.hex == Hex::Fifo) {
            ASSERT_EQ(mkfifo("program.hex", 0600), 0);
        }
        if (c.hex == Hex::Good) {
            std::filesystem::remove("zz.dat");
            if (c.dumpIsFifo) {
                ASSERT_EQ(mkfifo("zz.dat", 0600), 0);
            } else {
                std::filesystem::create_directory("zz.dat");
            }
        }
        Rig rig;
        rig.fill(0x5A);
        Outcome outcome = Outcome::Done;
        CapturedStderr errors;
        std::string out = CaptureStdout([&] { outcome = SpiProgramEEPROM(); });
        EXPECT_EQ(errors.take(), c.stderrLine);
        EXPECT_EQ(outcome, Outcome::Failed);
        EXPECT_EQ(out, kIdentified + "Result code Write Enable Before Erase =0\n");
        EXPECT_EQ(rig.sent(), (std::vector<Bytes>{{0x9F, 0, 0, 0}, {0x06}}));
        EXPECT_TRUE(std::all_of(rig.chip->memory().begin(), rig.chip->memory().end(),
                                [](uint8_t b) { return b == 0x5A; }))
            << "the chip lost its contents";
        EXPECT_TRUE(rig.releasedLast());
        if (c.hex != Hex::Good) {
            EXPECT_EQ(dir.read("zz.dat"), "an earlier dump\n");
        }
        // The next operation works as usual.
        rig.session.sim().clearTrace();
        EXPECT_EQ(CaptureStdout([] { SpiEraseEEPROM(); }), kErased);
    }
}

TEST(EepromProgrammer, ChipThatStaysBusyIsGivenUpAfterTheBound) {
    Rig rig(BusyFor(0, true));
    AdapterConnection connection;
    connection.form = ConnectionForm::Spi;
    CaptureStdout([&] { ASSERT_TRUE(OpenAdapterConnection(connection)); });
    EepromSession session;
    session.handle = connection.handle;
    Bytes image(65536, 0x11);
    std::string out = CaptureStdout([&] { ProgramEepromBlockAndWait(session, image.data(), 3); });
    std::string expected = "Program 128 Bytes\nResult code Page=1 After Program =0\n";
    for (int i = 0; i < kMaxStatusPolls; ++i)
        expected += "*** EEPROM STATUS REGISTER  AFTER PAGE WRITE COMMAND=1\n";
    expected += "Page=1: EEPROM still busy after 10000 status reads; going on\n"
                "Result code Page=1 After Get Status =0\n"
                "*** EEPROM STATUS REGISTER AFTER KEYBOARD WAIT=1\n"
                "Result code Write Enable Before PROGRAMMING =0\n";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(rig.sent().size(), 1u + kMaxStatusPolls + 2u);
    ReleaseAdapterConnection(connection);
}

TEST(EepromProgrammer, WithoutAServerNothingElseHappens) {
    TempWorkingDir dir;
    dir.write("program.hex", "10 ab\n");
    std::string out = CaptureStdout([] {
        SpiEraseEEPROM();
        SpiProgramEEPROM();
    });
    const std::string failed = "Connecting to DLN Devices\nFailed to connect to local DLN server\n";
    EXPECT_EQ(out, failed + failed);
    EXPECT_FALSE(std::filesystem::exists("zz.dat"));
}

} // namespace
