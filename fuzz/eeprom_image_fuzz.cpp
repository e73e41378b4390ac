// Any text as "program.hex": the reading must end, stay inside the 64 KiB image, and either
// refuse the text or echo at least one pair.
#include "adapter/eeprom_image.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const ProgramHexImage image =
        ParseProgramHex(std::string_view(reinterpret_cast<const char *>(data), size));
    if (image.bytes.size() != kEepromImageSize || (image.error.empty() && image.echoed.empty()))
        std::abort();
    return 0;
}
