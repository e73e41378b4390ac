#include "boards/servo_current.h"

#include "adapter/connection.h"
#include "boards/board_exchange.h"
#include "platform/wait.h"

namespace {

constexpr uint8_t kReadCurrent = 0xA2;
constexpr uint32_t kSettleMs = 100;

} // namespace

// A board still busy may miss the first 0xA2, so only the repeated one's result counts, and
// only once the board had its time to measure.
BusResult ReadServoCurrent(HDLN handle, uint8_t address, uint8_t *current) {
    I2cWrite(handle, address, &kReadCurrent, 1);
    PlatformSleepMs(kSettleMs);
    const BusResult second = I2cWrite(handle, address, &kReadCurrent, 1);
    PlatformSleepMs(kSettleMs);
    if (!second.ok())
        return second;
    uint8_t reply[4] = {};
    const BusResult read = I2cRead(handle, address, reply, 4);
    if (read.ok())
        *current = reply[1];
    return read;
}

ServoCurrentReading DualServo_1500_Current(int32_t address2, int32_t address1) {
    ServoCurrentReading reading;
    ScopedConnection connection;
    if (!OpenAdapterConnection(connection))
        return reading;

    const int32_t addresses[2] = {address1, address2};
    const int boards = address2 == 0 ? 1 : 2;
    for (int board = 0; board < boards; ++board) {
        uint8_t current = 0;
        reading.failure = ReadServoCurrent(connection.handle, Low8(addresses[board]), &current);
        if (!reading.failure.ok()) {
            ReportFailure(*connection.reporter, "DualServo_1500_Current");
            return reading;
        }
        connection.reporter->Line("SERVO  %d Current =%x \n", board, current);
        reading.currents[board] = current;
        reading.boardsRead = board + 1;
    }
    reading.outcome = Outcome::Done;
    return reading;
}
