#include "boards/servo_pwm.h"

#include "adapter/connection.h"
#include "boards/board_exchange.h"

namespace {

constexpr uint8_t kSelectParameter = 0xA3;
constexpr uint8_t kSetPulseWidth = 0xA1;
constexpr const char *kCommandLine = "SERVO  1 =%x \n";
constexpr const char *kByteLine = "Servo Read 1 =%x \n";

// What each exchange of the dual operation prints. The reply shown is fixed per step and is
// often not the step's own: callers read these exact lines.
struct DualStep {
    int board;          // 0 first, 1 second
    const char *format; // printed after the exchange
    int shownReply;     // step whose reply is printed
};

constexpr int kFirstBoardSteps = 5;
constexpr DualStep kDualStepTable[kDualServoSteps] = {
    {0, kCommandLine, 1}, {0, kByteLine, 1},    {0, kCommandLine, 3}, {0, kByteLine, 3},
    {0, kByteLine, 3},    {0, kCommandLine, 4}, {0, kByteLine, 7},    {1, kCommandLine, 8},
    {1, kByteLine, 9},    {1, kByteLine, 10},
};

} // namespace

DualServoReading ExchangeDualServo(HDLN handle, const Reporter &reporter, int32_t address1,
                                   int32_t address2, int32_t high1, int32_t low1, int32_t high2,
                                   int32_t low2, int32_t parameter1, int32_t parameter2) {
    DualServoReading reading;
    const uint8_t addresses[2] = {Low8(address1), Low8(address2)};
    const uint8_t bytes[kDualServoSteps] = {
        kSelectParameter, Low8(parameter1), kSetPulseWidth, Low8(high1), Low8(low1),
        kSelectParameter, Low8(parameter2), kSetPulseWidth, Low8(high2), Low8(low2)};
    const int lastStep = address2 == 0 ? kFirstBoardSteps : kDualServoSteps;
    for (int step = 1; step <= lastStep; ++step) {
        const DualStep &row = kDualStepTable[step - 1];
        const ExchangeReply reply = BoardExchange(handle, addresses[row.board], bytes[step - 1]);
        if (reply.outcome == Outcome::Failed) {
            reading.failure = reply.failure;
            return reading;
        }
        reading.replies[step] = reply.byte;
        reading.stepsDone = step;
        reporter.Line(row.format, reading.replies[row.shownReply]);
    }
    reading.outcome = Outcome::Done;
    return reading;
}

DualServoReading DualServo_1500_PWM(int32_t address1, int32_t address2, int32_t high1, int32_t low1,
                                    int32_t high2, int32_t low2, int32_t parameter1,
                                    int32_t parameter2) {
    if (address1 == 0) {
        kPrintingReporter.Line("I2C Address Zero. Nothing to be done.\n");
        DualServoReading nothing;
        nothing.outcome = Outcome::Done;
        return nothing;
    }
    ScopedConnection connection;
    if (!OpenAdapterConnection(connection))
        return DualServoReading{};
    const DualServoReading reading =
        ExchangeDualServo(connection.handle, *connection.reporter, address1, address2, high1, low1,
                          high2, low2, parameter1, parameter2);
    if (reading.outcome == Outcome::Failed)
        ReportFailure(*connection.reporter, "DualServo_1500_PWM");
    return reading;
}

BusResult ExchangeServoSequence(HDLN handle, const Reporter &reporter, const int32_t *addresses,
                                const int32_t *highs, const int32_t *lows, int32_t count,
                                int32_t parameter) {
    // Every board takes its parameter before any board moves; the second pass prints the
    // answer the last board gave to 0xA3.
    uint8_t lastAnswer = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t address = Low8(addresses[i]);
        const ExchangeReply answer = BoardExchange(handle, address, kSelectParameter);
        if (answer.outcome == Outcome::Failed)
            return answer.failure;
        lastAnswer = answer.byte;
        reporter.Line(kCommandLine, lastAnswer);
        const ExchangeReply taken = BoardExchange(handle, address, Low8(parameter));
        if (taken.outcome == Outcome::Failed)
            return taken.failure;
        reporter.Line(kByteLine, lastAnswer);
    }
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t address = Low8(addresses[i]);
        const uint8_t pulseWidth[3] = {kSetPulseWidth, Low8(highs[i]), Low8(lows[i])};
        for (int k = 0; k < 3; ++k) {
            const ExchangeReply reply = BoardExchange(handle, address, pulseWidth[k]);
            if (reply.outcome == Outcome::Failed)
                return reply.failure;
            reporter.Line(k == 0 ? kCommandLine : kByteLine, lastAnswer);
        }
    }
    return BusResult{};
}

Outcome Multi_Servo_1500_PWM(const int32_t *addresses, const int32_t *highs, const int32_t *lows,
                             int32_t count, int32_t parameter) {
    ScopedConnection connection;
    if (!OpenAdapterConnection(connection))
        return Outcome::Failed;
    if (!ExchangeServoSequence(connection.handle, *connection.reporter, addresses, highs, lows,
                               count, parameter)
             .ok()) {
        ReportFailure(*connection.reporter, "Multi_Servo_1500_PWM");
        return Outcome::Failed;
    }
    return Outcome::Done;
}
