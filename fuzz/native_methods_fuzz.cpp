// Any array from Java: the input picks a native method, the array's length (or null) and its
// slot values, and the call runs against the default robot in this process. The call must not
// touch the array beyond its length (the fake JNIEnv records that) nor crash.
#include "dln_inproc.h"
#include "dlnsim/scenario.h"
#include "platform/wait.h"
#include "support/board_exports.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using NativeCall = jint (*)(JNIEnv *, jclass, jintArray);

// spiProgramEEPROM is left out: it ignores its array and programs 64 KiB per call.
constexpr NativeCall kMethods[] = {
    Java_I2C_1DLN_i2cScan,
    Java_I2C_1DLN_read,
    Java_I2C_1DLN_write,
    Java_I2C_1DLN_adcsdac,
    Java_I2C_1DLN_Ultra_1Sonic,
    Java_I2C_1DLN_spiWriteRead,
    Java_I2C_1DLN_spiEraseEEPROM,
    Java_I2C_1DLN_dualServo_11500_1PWM,
    Java_I2C_1DLN_dualServo_11500_1Current,
    Java_I2C_1DLN_I2C_1Servo_1PWM_1Sequence,
    Java_I2C_1DLN_ReadMotorSpeeds,
    Java_I2C_1DLN_I2C_1LaserMeasurement,
};
constexpr size_t kMethodCount = sizeof kMethods / sizeof kMethods[0];
constexpr uint16_t kNullArray = 0xFFFF;

uint64_t g_nowUs = 0;

// The board waits and sensor polls advance the simulated clock instead of sleeping.
void AdvanceClock(uint32_t ms) {
    g_nowUs += uint64_t{ms} * 1000;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    std::freopen("/dev/null", "w", stdout);
    PlatformSetWaitHook(AdvanceClock);
    DlnInprocAttach(
        dlnsim::LoadScenario(dlnsim::DefaultScenarioText(), dlnsim::kDefaultScenarioName)
            .clock([] { return g_nowUs += 10; })
            .traceLimit(16)
            .build());
    return 0;
}

// Input: method byte, 16-bit length (0xFFFF for null, otherwise modulo 300), then the slots
// as little-endian 32-bit values; slots beyond the input are 0.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3)
        return 0;
    const NativeCall method = kMethods[data[0] % kMethodCount];
    const uint16_t rawLength = static_cast<uint16_t>(data[1] | data[2] << 8);
    FakeJni jni;
    jintArray array = nullptr;
    if (rawLength != kNullArray) {
        std::vector<jint> slots(rawLength % 300, 0);
        for (size_t i = 0; i < slots.size() && 3 + 4 * i + 4 <= size; ++i)
            std::memcpy(&slots[i], data + 3 + 4 * i, 4);
        array = jni.array(slots);
    }
    method(jni.env(), nullptr, array);
    if (jni.exceptionPending)
        std::abort(); // an access outside the array, which a JVM would have thrown for
    return 0;
}
