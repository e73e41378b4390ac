// Any text as "program.hex": the loader must stay inside the 64 KiB image and end.
#include "adapter/eeprom_image.h"

#include <cstdio>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The loader echoes every pair; the fuzzer's own messages go to standard error.
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<char> text(data, data + size);
    FILE *file = fmemopen(size == 0 ? nullptr : text.data(), size, "r");
    if (file == nullptr)
        return 0;
    std::vector<uint8_t> image(kEepromImageSize);
    LoadProgramHex(file, image.data());
    std::fclose(file);
    return 0;
}
