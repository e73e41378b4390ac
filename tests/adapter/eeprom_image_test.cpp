// Loading "program.hex" text into the 64 KiB image and dumping the image as "zz.dat" lines.
#include "adapter/eeprom_image.h"
#include "support/captured_stdout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <vector>

namespace {

struct LoadCase {
    const char *name;
    std::string text;
    std::string echo;                  // exact output
    std::map<uint32_t, uint8_t> bytes; // every non-zero byte of the image
};

const std::vector<LoadCase> kLoadCases = {
    // The end of the file is found only by a read that fails, which repeats the last pair.
    {"empty file", "", "Address=0  Data1=0 \n", {}},
    {"only white space", " \n\t", "Address=0  Data1=0 \n", {}},
    {"one pair", "10 ab\n", "Address=16  Data1=ab \nAddress=16  Data1=ab \n", {{0x10, 0xAB}}},
    {"one pair without a line end", "10 ab", "Address=16  Data1=ab \n", {{0x10, 0xAB}}},
    {"0x prefixes, upper case and CRLF",
     "0x10 0xAB\r\n0X11\t0Xcd\r\n",
     "Address=16  Data1=ab \nAddress=17  Data1=cd \nAddress=17  Data1=cd \n",
     {{0x10, 0xAB}, {0x11, 0xCD}}},
    {"data keeps its low byte",
     "20 134\n",
     "Address=32  Data1=34 \nAddress=32  Data1=34 \n",
     {{0x20, 0x34}}},
    {"later pair overwrites",
     "5 1\n5 2\n",
     "Address=5  Data1=1 \nAddress=5  Data1=2 \nAddress=5  Data1=2 \n",
     {{5, 2}}},
    {"last address",
     "ffff 7e\n",
     "Address=65535  Data1=7e \nAddress=65535  Data1=7e \n",
     {{0xFFFF, 0x7E}}},
    {"address 0x10000 ends the loading, unread text after it too",
     "5 1\n10000 2\n6 zz\n",
     "Address=5  Data1=1 \nAddress=65536  Data1=2 \n",
     {{5, 1}}},
};

TEST(EepromImage, GoodTextEchoesAndStoresAsTheReadingAlwaysDid) {
    for (const LoadCase &c : kLoadCases) {
        const ProgramHexImage image = ParseProgramHex(c.text);
        EXPECT_EQ(image.error, "") << c.name;
        EXPECT_EQ(CaptureStdout([&] { PrintProgramHexEcho(kPrintingReporter, image); }), c.echo)
            << c.name;
        std::map<uint32_t, uint8_t> stored;
        for (uint32_t a = 0; a < image.bytes.size(); ++a)
            if (image.bytes[a] != 0)
                stored[a] = image.bytes[a];
        EXPECT_EQ(stored, c.bytes) << c.name;
    }
}

// Anything but pairs is refused whole, naming the first bad place, so that nothing of a
// broken file reaches the chip.
TEST(EepromImage, TextThatIsNotPairsNamesItsFirstBadPlace) {
    const std::pair<std::string, std::string> cases[] = {
        {"5 1\nhello 7\n", "line 2, column 1: not a hexadecimal number of at most 32 bits"},
        {"5 1\n7\n", "line 2, column 1: an address without its data"},
        {"5 1 7", "line 1, column 5: an address without its data"},
        {"5 1\n6 3x\n", "line 2, column 3: not a hexadecimal number of at most 32 bits"},
        {"5,1\n", "line 1, column 1: not a hexadecimal number of at most 32 bits"},
        {"-5 1\n", "line 1, column 1: not a hexadecimal number of at most 32 bits"},
        {"0x 1\n", "line 1, column 1: not a hexadecimal number of at most 32 bits"},
        {"5 100000000\n", "line 1, column 3: not a hexadecimal number of at most 32 bits"},
        {std::string("5 1\n\x7f\x45LF\0\x01", 10),
         "line 2, column 1: not a hexadecimal number of at most 32 bits"},
    };
    for (const auto &[text, error] : cases)
        EXPECT_EQ(ParseProgramHex(text).error, error) << text;
}

TEST(EepromImage, DumpHasOneLinePerAddressWithoutLeadingZeros) {
    std::vector<uint8_t> image(kEepromImageSize, 0);
    image[0x10] = 0xAB;
    image[0xFFFF] = 0x05;
    FILE *file = tmpfile();
    ASSERT_TRUE(WriteImageDump(file, image.data()));
    std::string text(static_cast<size_t>(ftell(file)), '\0');
    rewind(file);
    ASSERT_EQ(fread(text.data(), 1, text.size(), file), text.size());
    fclose(file);

    std::string expected;
    for (int a = 0; a < kEepromImageSize; ++a) {
        char line[16];
        snprintf(line, sizeof line, "%x  %x\n", a, image[a]);
        expected += line;
    }
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.substr(0, 24), "0  0\n1  0\n2  0\n3  0\n4  0");
    EXPECT_NE(text.find("\n10  ab\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 9), "\nffff  5\n");
}

} // namespace
