#include "boards/servo_pwm.h"

#include "adapter/connection.h"
#include "boards/board_exchange.h"
#include "boards/board_failure.h"

#include <cstdio>

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

DualServoReading DualServo_1500_PWM(int32_t address1, int32_t address2, int32_t high1, int32_t low1,
                                    int32_t high2, int32_t low2, int32_t parameter1,
                                    int32_t parameter2) {
    DualServoReading reading;
    if (address1 == 0) {
        printf("I2C Address Zero. Nothing to be done.\n");
        reading.outcome = Outcome::Done;
        return reading;
    }
    AdapterConnection connection{.form = ConnectionForm::Stopping};
    if (!OpenAdapterConnection(connection))
        return reading;

    const uint8_t addresses[2] = {Low8(address1), Low8(address2)};
    const uint8_t bytes[kDualServoSteps] = {
        kSelectParameter, Low8(parameter1), kSetPulseWidth, Low8(high1), Low8(low1),
        kSelectParameter, Low8(parameter2), kSetPulseWidth, Low8(high2), Low8(low2)};
    const int lastStep = address2 == 0 ? kFirstBoardSteps : kDualServoSteps;
    for (int step = 1; step <= lastStep; ++step) {
        const DualStep &row = kDualStepTable[step - 1];
        const ExchangeReply reply =
            BoardExchange(connection.handle, addresses[row.board], bytes[step - 1]);
        if (reply.outcome == Outcome::Failed) {
            EndFailedBoardOperation(connection, "DualServo_1500_PWM");
            return reading;
        }
        reading.replies[step] = reply.byte;
        reading.stepsDone = step;
        printf(row.format, reading.replies[row.shownReply]);
    }
    ReleaseAdapterConnection(connection);
    reading.outcome = Outcome::Done;
    return reading;
}

Outcome Multi_Servo_1500_PWM(const int32_t *addresses, const int32_t *highs, const int32_t *lows,
                             int32_t count, int32_t parameter) {
    AdapterConnection connection{.form = ConnectionForm::Stopping};
    if (!OpenAdapterConnection(connection))
        return Outcome::Failed;

    // Every board takes its parameter before any board moves; the second pass prints the
    // answer the last board gave to 0xA3.
    uint8_t lastAnswer = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t address = Low8(addresses[i]);
        const ExchangeReply answer = BoardExchange(connection.handle, address, kSelectParameter);
        if (answer.outcome == Outcome::Failed) {
            EndFailedBoardOperation(connection, "Multi_Servo_1500_PWM");
            return Outcome::Failed;
        }
        lastAnswer = answer.byte;
        printf(kCommandLine, lastAnswer);
        if (BoardExchange(connection.handle, address, Low8(parameter)).outcome == Outcome::Failed) {
            EndFailedBoardOperation(connection, "Multi_Servo_1500_PWM");
            return Outcome::Failed;
        }
        printf(kByteLine, lastAnswer);
    }
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t address = Low8(addresses[i]);
        const uint8_t pulseWidth[3] = {kSetPulseWidth, Low8(highs[i]), Low8(lows[i])};
        for (int k = 0; k < 3; ++k) {
            if (BoardExchange(connection.handle, address, pulseWidth[k]).outcome ==
                Outcome::Failed) {
                EndFailedBoardOperation(connection, "Multi_Servo_1500_PWM");
                return Outcome::Failed;
            }
            printf(k == 0 ? kCommandLine : kByteLine, lastAnswer);
        }
    }
    ReleaseAdapterConnection(connection);
    return Outcome::Done;
}
