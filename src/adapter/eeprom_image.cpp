#include "adapter/eeprom_image.h"

#include <cstdio>

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Walks the text keeping the line and column of the next character, for the error's place.
struct HexReader {
    std::string_view text;
    size_t at = 0;
    int line = 1;
    int column = 1;

    void skipSpace() {
        for (; at < text.size() && IsSpace(text[at]); ++at) {
            if (text[at] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
    }
    bool atEnd() const { return at == text.size(); }
    // snprintf, not std::to_string: a debug build would export to_string's template helpers
    // from the library, which must export the JNI methods only.
    std::string place() const {
        char where[40];
        std::snprintf(where, sizeof where, "line %d, column %d", line, column);
        return where;
    }
    // Reads one number ending at white space or the end; false with error set otherwise.
    bool number(uint32_t &value, std::string &error) {
        const std::string start = place();
        size_t end = at;
        while (end < text.size() && !IsSpace(text[end]))
            ++end;
        std::string_view word = text.substr(at, end - at);
        if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X'))
            word.remove_prefix(2);
        uint64_t sum = 0;
        bool good = !word.empty();
        for (char c : word) {
            const int digit = HexDigit(c);
            sum = sum * 16 + static_cast<uint64_t>(digit);
            if (digit < 0 || sum > 0xFFFFFFFFu) {
                good = false;
                break;
            }
        }
        if (!good) {
            error = start + ": not a hexadecimal number of at most 32 bits";
            return false;
        }
        column += static_cast<int>(end - at);
        at = end;
        value = static_cast<uint32_t>(sum);
        return true;
    }
};

} // namespace

ProgramHexImage ParseProgramHex(std::string_view text) {
    ProgramHexImage image;
    HexReader reader{text};
    uint32_t address = 0;
    uint8_t data = 0;
    for (reader.skipSpace(); !reader.atEnd(); reader.skipSpace()) {
        uint32_t value = 0;
        const std::string addressPlace = reader.place();
        if (!reader.number(address, image.error))
            return image;
        reader.skipSpace();
        if (reader.atEnd()) {
            image.error = addressPlace + ": an address without its data";
            return image;
        }
        if (!reader.number(value, image.error))
            return image;
        data = static_cast<uint8_t>(value);
        image.echoed.emplace_back(address, data);
        if (address > 0xFFFF)
            return image;
        image.bytes[address] = data;
    }
    // The reading found its end only by failing to read one more pair, which repeated the
    // last one, unless the last number ended the file.
    const bool endedOnNumber = !image.echoed.empty() && !IsSpace(text.back());
    if (!endedOnNumber) {
        image.echoed.emplace_back(address, data);
        image.bytes[address] = data;
    }
    return image;
}

void PrintProgramHexEcho(const Reporter &reporter, const ProgramHexImage &image) {
    for (const auto &[address, data] : image.echoed)
        reporter.Line("Address=%d  Data1=%x \n", static_cast<int>(address), data);
}

bool WriteImageDump(FILE *file, const uint8_t *image) {
    for (int address = 0; address < kEepromImageSize; ++address) {
        if (fprintf(file, "%x  %x\n", address, image[address]) < 0)
            return false;
    }
    return true;
}
