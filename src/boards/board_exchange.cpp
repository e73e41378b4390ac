#include "boards/board_exchange.h"

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
    if (!DLN_SUCCEEDED(DlnI2cMasterWrite(handle, 0, address, 0, 0, count, buffer))) {
        reply.failedTransfer = kI2cWriteName;
        return reply;
    }
    DlnI2cMasterRead(handle, 0, address, 0, 0, 1, buffer);
    if (!DLN_SUCCEEDED(DlnI2cMasterRead(handle, 0, address, 0, 0, 1, buffer))) {
        reply.failedTransfer = kI2cReadName;
        return reply;
    }
    reply.outcome = Outcome::Done;
    reply.byte = buffer[0];
    return reply;
}
