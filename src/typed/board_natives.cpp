// The natives of the robot's boards: each runs its board's protocol on the open session, so
// the adapter sees exactly the protocol's transfers and nothing else; nothing is printed.
#include "boards/adc_dac.h"
#include "boards/motor_speed.h"
#include "boards/servo_current.h"
#include "boards/servo_pwm.h"
#include "boards/ultrasonic.h"
#include "typed/typed_call.h"
#include "typed/typed_export.h"

#include <string>
#include <vector>

namespace {

using std::chrono::milliseconds;

// Each bound: the protocol's fixed waits plus a margin for its adapter calls.
constexpr milliseconds kExchangeBound{1000};
constexpr milliseconds kCurrentBound{1400};
constexpr milliseconds kUltrasonicBound{1300};
constexpr milliseconds kMotorBound{1210};
constexpr milliseconds kSequenceBound{2000};
constexpr jint kMaxSequenceBoards = 63; // what the sequence's bound covers

bool AddressFits(jint address) {
    return InRange(address, 0, 0x7F);
}

bool ByteFits(jint value) {
    return InRange(value, 0, 0xFF);
}

} // namespace

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_servoPulse(JNIEnv *env, jclass, jlong id, jint address, jint microseconds,
                                     jint parameter, jintArray stepsDone1) {
    if (!AddressFits(address) || !InRange(microseconds, 0, 0xFFFF) || !ByteFits(parameter) ||
        !ArrayHolds(env, stepsDone1, 1))
        return Refused(id);
    return RunTypedCall(id, kExchangeBound, [&](TypedSession &session, std::string &detail) {
        const DualServoReading reading =
            ExchangeDualServo(session.adapter.handle(), kSilentReporter, address, 0,
                              microseconds >> 8, microseconds & 0xFF, 0, 0, parameter, 0);
        // Also after a failure: how far the board got tells what state it was left in.
        SetInt(env, stepsDone1, 0, reading.stepsDone);
        detail = ", exchange " + std::to_string(reading.stepsDone + 1) + " of 5";
        return reading.failure;
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_servoCurrent(JNIEnv *env, jclass, jlong id, jint address,
                                       jintArray current1) {
    if (!AddressFits(address) || !ArrayHolds(env, current1, 1))
        return Refused(id);
    return RunTypedCall(id, kCurrentBound, [&](TypedSession &session, std::string &) {
        uint8_t current = 0;
        const BusResult result =
            ReadServoCurrent(session.adapter.handle(), static_cast<uint8_t>(address), &current);
        if (result.ok())
            SetInt(env, current1, 0, current);
        return result;
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_adcDac(JNIEnv *env, jclass, jlong id, jint address, jint output,
                                 jintArray inputs) {
    if (!AddressFits(address) || !ByteFits(output) || !ArrayHolds(env, inputs, kAdcChannels))
        return Refused(id);
    return RunTypedCall(id, kExchangeBound, [&](TypedSession &session, std::string &detail) {
        const AdcDacReading reading =
            ExchangeAdcDac(session.adapter.handle(), kSilentReporter, address, output);
        if (reading.outcome == Outcome::Done) {
            jint values[kAdcChannels];
            for (int n = 0; n < kAdcChannels; ++n)
                values[n] = reading.channels[n];
            env->SetIntArrayRegion(inputs, 0, kAdcChannels, values);
        }
        detail = ", input " + std::to_string(reading.channelsRead + 1);
        return reading.failure;
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_ultrasonic(JNIEnv *env, jclass, jlong id, jint address,
                                     jintArray centimetres1) {
    if (!AddressFits(address) || !ArrayHolds(env, centimetres1, 1))
        return Refused(id);
    return RunTypedCall(id, kUltrasonicBound, [&](TypedSession &session, std::string &detail) {
        static const char *const kValues[] = {"temperature", "range low byte", "range high byte"};
        const RangerReading reading =
            RangeUltrasonic(session.adapter.handle(), kSilentReporter, address);
        if (reading.outcome == Outcome::Done)
            SetInt(env, centimetres1, 0, reading.rangeLow + 256 * reading.rangeHigh);
        else
            detail = std::string(", ") + kValues[reading.valuesRead];
        return reading.failure;
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_motorSpeed(JNIEnv *env, jclass, jlong id, jint address, jint parameter,
                                     jintArray speed1) {
    if (!AddressFits(address) || !ByteFits(parameter) || !ArrayHolds(env, speed1, 1))
        return Refused(id);
    return RunTypedCall(id, kMotorBound, [&](TypedSession &session, std::string &detail) {
        const MotorSpeedReading reading =
            ReadMotorSpeed(session.adapter.handle(), address, parameter);
        if (reading.outcome == Outcome::Done)
            SetInt(env, speed1, 0, reading.lastValue);
        detail = ", step " + std::to_string(reading.repliesRead + 1) + " of 3";
        return reading.failure;
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_servoSequence(JNIEnv *env, jclass, jlong id, jint parameter,
                                        jintArray addresses, jintArray highs, jintArray lows,
                                        jint count) {
    if (!ByteFits(parameter) || !InRange(count, 0, kMaxSequenceBoards) ||
        !ArrayHolds(env, addresses, count) || !ArrayHolds(env, highs, count) ||
        !ArrayHolds(env, lows, count))
        return Refused(id);
    std::vector<jint> a(static_cast<size_t>(count) + 1), h(a.size()), l(a.size());
    env->GetIntArrayRegion(addresses, 0, count, a.data());
    env->GetIntArrayRegion(highs, 0, count, h.data());
    env->GetIntArrayRegion(lows, 0, count, l.data());
    for (jint i = 0; i < count; ++i) {
        // A value cut to its low bits would reach another board or another width.
        if (!AddressFits(a[i]) || !ByteFits(h[i]) || !ByteFits(l[i]))
            return Refused(id);
    }
    const std::vector<int32_t> boards(a.begin(), a.end()), high(h.begin(), h.end()),
        low(l.begin(), l.end());
    return RunTypedCall(id, kSequenceBound, [&](TypedSession &session, std::string &) {
        return ExchangeServoSequence(session.adapter.handle(), kSilentReporter, boards.data(),
                                     high.data(), low.data(), count, parameter);
    });
}
