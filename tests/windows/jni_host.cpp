// jni_host: hosts the fifteen native methods of I2C_DLN without a JVM. It loads the library
// named on its command line (I2C_DLN.dll on Windows, libI2C_DLN.so on Linux), looks up every
// method by its JNI name and calls them in the demo's order against a running DLN server,
// through a fake JNIEnv. After each call it prints the return value and the slots the method
// copies back, so that two builds' outputs can be compared line for line.
//
//   jni_host LIBRARY     (run in a folder holding program.hex; writes zz.dat there)
//
// Exits 0 when every method was found and called, 1 otherwise. What the calls did is the
// output's business: this program judges nothing.
#include "support/fake_jni.h"
#include "windows/loaded_library.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using NoArrayMethod = jint(JNICALL *)(JNIEnv *, jclass);
using ArrayMethod = jint(JNICALL *)(JNIEnv *, jclass, jintArray);

class Host {
  public:
    explicit Host(const Library &library) : library_(library) {}

    // Calls a method without an array and prints what it returned.
    void call(const char *name) {
        auto method = reinterpret_cast<NoArrayMethod>(lookup(name));
        if (method == nullptr)
            return;
        jint result = method(jni_.env(), nullptr);
        std::printf("== %s returned %d\n", name, static_cast<int>(result));
        std::fflush(stdout);
    }

    // Calls a method with an array of size slots starting with first, prints what it
    // returned and slots 0 to shown - 1 afterwards; returns the array's values.
    std::vector<jint> call(const char *name, const std::vector<jint> &first, size_t shown = 10,
                           size_t size = 255) {
        std::vector<jint> values(size, 0);
        std::copy(first.begin(), first.end(), values.begin());
        auto method = reinterpret_cast<ArrayMethod>(lookup(name));
        if (method == nullptr)
            return values;
        jintArray array = jni_.array(values);
        jint result = method(jni_.env(), nullptr, array);
        const std::vector<jint> &after = jni_.values(array);
        std::printf("== %s returned %d; slots:", name, static_cast<int>(result));
        for (size_t i = 0; i < shown && i < after.size(); ++i)
            std::printf(" %d", static_cast<int>(after[i]));
        std::printf("\n");
        std::fflush(stdout);
        return after;
    }

    int missing() const { return missing_; }

  private:
    void *lookup(const char *name) {
        // JNI writes "_" in a Java name as "_1".
        std::string jniName = "Java_I2C_1DLN_";
        for (const char *c = name; *c != '\0'; ++c)
            jniName += *c == '_' ? std::string("_1") : std::string(1, *c);
        void *method = library_.find(jniName);
        if (method == nullptr) {
            std::fprintf(stderr, "jni_host: the library does not export %s\n", jniName.c_str());
            ++missing_;
        }
        return method;
    }

    const Library &library_;
    FakeJni jni_;
    int missing_ = 0;
};

// One SPI transfer as the demo makes it: mode 0 at 1 MHz (0x000F4240) on one slave-select line.
// Slots: 0 the count, 1-2 CPOL and CPHA, 3 the line, 4-7 the frequency, then the bytes.
void SpiTransfer(Host &host, jint line, const std::vector<jint> &bytes) {
    std::vector<jint> first = {static_cast<jint>(bytes.size()), 0, 0, line, 0x40, 0x42, 0x0F, 0};
    first.insert(first.end(), bytes.begin(), bytes.end());
    host.call("spiWriteRead", first, first.size());
}

void RunDemoOrder(Host &host) {
    constexpr jint kRegisterDevice = 0x50, kServoA = 0x51, kServoB = 0x52, kAdcDac = 0x48;
    constexpr jint kUltrasonic = 0x70, kMotor = 0x30, kLaser = 0x29;
    constexpr jint kEepromLine = 0, kLoopbackLine = 1;

    host.call("test");
    host.call("print");
    host.call("i2cScan", {}, 10, 10);

    host.call("write", {kRegisterDevice, 4, 0x10, 0xCA, 0xFE, 0x42});
    host.call("write", {kRegisterDevice, 1, 0x10});
    host.call("read", {kRegisterDevice, 3});

    for (jint width : {1000, 1500, 2000}) {
        jint msb = width >> 8, lsb = width & 0xFF;
        host.call("dualServo_1500_PWM", {kServoA, kServoB, msb, lsb, msb, lsb, 1, 1});
        host.call("dualServo_1500_Current", {kServoA, kServoB});
    }
    host.call("I2C_Servo_PWM_Sequence", {2, 1, kServoA, 0x05, 0xDC, 0, kServoB, 0x05, 0xDC, 0});

    for (jint dac : {0, 128, 255})
        host.call("adcsdac", {kAdcDac, dac, -1, -1, -1, -1});
    host.call("Ultra_Sonic", {kUltrasonic});
    host.call("ReadMotorSpeeds", {kMotor, 0});

    SpiTransfer(host, kLoopbackLine, {0x55, 0xAA, 0x01, 0x80, 0xFF, 0x00});
    SpiTransfer(host, kEepromLine, {0x9F, 0, 0, 0}); // selects the EEPROM for the programmer
    host.call("spiEraseEEPROM", {});
    host.call("spiProgramEEPROM", {});
    // The start of the chip read back: command 0x03 with a 24-bit address, then 240 bytes.
    std::vector<jint> readBack(4 + 240, 0);
    readBack[0] = 0x03;
    SpiTransfer(host, kEepromLine, readBack);

    host.call("I2C_LaserMeasurement", {kLaser, 0}); // connect and reset
    host.call("I2C_LaserMeasurement", {kLaser, 1}); // calibrate
    for (int i = 0; i < 10; ++i)
        host.call("I2C_LaserMeasurement", {kLaser, 2});
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: jni_host LIBRARY\n");
        return 2;
    }
    Library library(argv[1]);
    if (!library.loaded()) {
        std::fprintf(stderr, "jni_host: cannot load %s\n", argv[1]);
        return 1;
    }
    Host host(library);
    RunDemoOrder(host);
    return host.missing() == 0 ? 0 : 1;
}
