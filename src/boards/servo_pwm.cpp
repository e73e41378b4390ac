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

// One exchange of the dual operation. Which reply a step prints and which one slot 6 keeps
// is fixed per step and is often not the step's own: callers read these exact slots.
struct DualStep {
    int board;          // 0 first, 1 second
    const char *format; // printed after the exchange
    int shownReply;     // step whose reply is printed
    int keptReply;      // step whose reply slot 6 takes afterwards, 0 for none
};

constexpr int kFirstBoardSteps = 5;
constexpr int kDualSteps = 10;
constexpr DualStep kDualStepTable[kDualSteps] = {
    {0, kCommandLine, 1, 1}, {0, kByteLine, 1, 1},    {0, kCommandLine, 3, 3},
    {0, kByteLine, 3, 3},    {0, kByteLine, 3, 3},    {0, kCommandLine, 4, 4},
    {0, kByteLine, 7, 7},    {1, kCommandLine, 8, 8}, {1, kByteLine, 9, 9},
    {1, kByteLine, 10, 0},
};

} // namespace

int DualServo_1500_PWM(int32_t address1, int32_t address2, int32_t high1, int32_t low1,
                       int32_t high2, int32_t low2, int32_t parameter1, int32_t parameter2,
                       int32_t *results) {
    if (address1 == 0) {
        printf("I2C Address Zero. Nothing to be done.\n");
        return 0;
    }
    AdapterConnection connection{.form = ConnectionForm::Stopping};
    if (!OpenAdapterConnection(connection))
        return -1;

    const uint8_t addresses[2] = {Low8(address1), Low8(address2)};
    const uint8_t bytes[kDualSteps] = {
        kSelectParameter, Low8(parameter1), kSetPulseWidth, Low8(high1), Low8(low1),
        kSelectParameter, Low8(parameter2), kSetPulseWidth, Low8(high2), Low8(low2)};
    uint8_t replies[kDualSteps + 1] = {}; // indexed by step number, from 1
    const int lastStep = address2 == 0 ? kFirstBoardSteps : kDualSteps;
    for (int step = 1; step <= lastStep; ++step) {
        const DualStep &row = kDualStepTable[step - 1];
        if (BoardExchange(connection.handle, addresses[row.board], bytes[step - 1],
                          &replies[step]) != ExchangeStatus::Ok)
            return FailBoardOperation(connection, "DualServo_1500_PWM() failed\n");
        printf(row.format, replies[row.shownReply]);
        if (row.keptReply != 0)
            results[0] = replies[row.keptReply];
    }
    if (address2 == 0) {
        ReleaseAdapterConnection(connection);
        return 0;
    }
    results[0] = replies[6];
    results[1] = replies[10];
    results[2] = replies[5];
    results[3] = replies[5];
    return ReleaseAdapterConnection(connection);
}

int Multi_Servo_1500_PWM(const int32_t *addresses, const int32_t *highs, const int32_t *lows,
                         int32_t count, int32_t parameter) {
    AdapterConnection connection{.form = ConnectionForm::Stopping};
    if (!OpenAdapterConnection(connection))
        return -1;

    // Every board takes its parameter before any board moves; the second pass prints the
    // answer the last board gave to 0xA3.
    uint8_t lastAnswer = 0;
    uint8_t discarded = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t address = Low8(addresses[i]);
        if (BoardExchange(connection.handle, address, kSelectParameter, &lastAnswer) !=
            ExchangeStatus::Ok)
            return FailBoardOperation(connection, "Multi_Servo_1500_PWM() failed\n");
        printf(kCommandLine, lastAnswer);
        if (BoardExchange(connection.handle, address, Low8(parameter), &discarded) !=
            ExchangeStatus::Ok)
            return FailBoardOperation(connection, "Multi_Servo_1500_PWM() failed\n");
        printf(kByteLine, lastAnswer);
    }
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t address = Low8(addresses[i]);
        const uint8_t pulseWidth[3] = {kSetPulseWidth, Low8(highs[i]), Low8(lows[i])};
        for (int k = 0; k < 3; ++k) {
            if (BoardExchange(connection.handle, address, pulseWidth[k], &discarded) !=
                ExchangeStatus::Ok)
                return FailBoardOperation(connection, "Multi_Servo_1500_PWM() failed\n");
            printf(k == 0 ? kCommandLine : kByteLine, lastAnswer);
        }
    }
    return ReleaseAdapterConnection(connection);
}
