#include "adapter/eeprom_image.h"

int LoadProgramHex(FILE *file, uint8_t *image) {
    unsigned int address = 0;
    unsigned int data = 0;
    int echoed = 0;
    while (!feof(file)) {
        const int matched = fscanf(file, "%x %x", &address, &data);
        // EOF at the end of the file keeps the previous pair, which is echoed and stored again
        // (older tools rely on that last line). Anything else short of a pair would never move
        // the file on, so it ends the loading.
        if (matched == EOF && ferror(file)) {
            printf("program.hex: read error; loading stops after %d pairs\n", echoed);
            break;
        }
        if (matched != 2 && matched != EOF) {
            printf("program.hex: text that is not a hexadecimal address/data pair; loading "
                   "stops after %d pairs\n",
                   echoed);
            break;
        }
        printf("Address=%d  Data1=%x \n", static_cast<int>(address), data & 0xFFu);
        ++echoed;
        if (address > 0xFFFF)
            break;
        image[address] = static_cast<uint8_t>(data);
    }
    return echoed;
}

bool WriteImageDump(FILE *file, const uint8_t *image) {
    for (int address = 0; address < kEepromImageSize; ++address) {
        if (fprintf(file, "%x  %x\n", address, image[address]) < 0)
            return false;
    }
    return true;
}
