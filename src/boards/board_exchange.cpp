#include "boards/board_exchange.h"

#include "adapter/bus.h"

namespace {
constexpr uint16_t kMaxBytes = 2;
} // namespace

ExchangeReply BoardExchange(HDLN handle, uint8_t address, const uint8_t *bytes, uint16_t count) {
    // Both reads land in the write's own buffer; only its first byte is ever read back.
    uint8_t buffer[kMaxBytes] = {};
    if (count > kMaxBytes)
        count = kMaxBytes;
    for (uint16_t i = 0; i < count; ++i)
        buffer[i] = bytes[i];

    ExchangeReply reply;
    reply.failure = I2cWrite(handle, address, buffer, count);
    if (!reply.failure.ok())
        return reply;
    // The board answers the first read with its previous answer; when that read fails the
    // second one hands out the previous answer instead of this command's, so both are judged.
    for (int read = 0; read < 2; ++read) {
        reply.failure = I2cRead(handle, address, buffer, 1);
        if (!reply.failure.ok())
            return reply;
    }
    reply.outcome = Outcome::Done;
    reply.byte = buffer[0];
    return reply;
}
