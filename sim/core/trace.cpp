#include "dlnsim/trace.h"

#include "dln_api.h"

#include <cinttypes>
#include <cstdio>

namespace dlnsim {

namespace {

void AppendBytes(std::string &line, const char *label, const std::vector<uint8_t> &bytes) {
    if (bytes.empty())
        return;
    line += ' ';
    line += label;
    line += "=[" + FormatBytes(bytes) + ']';
}

} // namespace

const char *ResultName(uint16_t result) {
    switch (result) {
    case DLN_RES_NOT_CONNECTED:
        return "not connected";
    case DLN_RES_INVALID_HANDLE:
        return "invalid handle";
    case DLN_RES_NO_SUCH_DEVICE:
        return "no such device";
    case DLN_RES_INVALID_PORT:
        return "invalid port";
    case DLN_RES_I2C_NACK:
        return "I2C NACK";
    case DLN_RES_INVALID_ARGUMENT:
        return "invalid argument";
    case DLN_RES_TIMEOUT:
        return "time-out";
    case DLN_RES_CONNECTION_FAILED:
        return "connection failed";
    case DLN_RES_PROTOCOL_ERROR:
        return "protocol error";
    case DLN_RES_PORT_DISABLED:
        return "port disabled";
    case DLN_RES_FAIL:
        return "failed";
    default:
        return "";
    }
}

std::string FormatBytes(const std::vector<uint8_t> &bytes) {
    std::string text;
    char hex[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(hex, sizeof hex, i == 0 ? "%02x" : " %02x", bytes[i]);
        text += hex;
    }
    return text;
}

std::string FormatResult(uint16_t result) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", result);
    std::string formatted = text;
    const char *name = ResultName(result);
    if (name[0] != '\0')
        formatted = formatted + " (" + name + ')';
    return formatted;
}

std::string FormatTraceLine(const TraceEntry &entry) {
    char text[96];
    std::snprintf(text, sizeof text, "%" PRIu64 ".%06" PRIu64 " ", entry.timeUs / 1000000,
                  entry.timeUs % 1000000);
    std::string line = text + entry.call;
    if (entry.port >= 0) {
        std::snprintf(text, sizeof text, " port=%d", entry.port);
        line += text;
    }
    if (entry.address >= 0) {
        bool spi = entry.call.rfind("DlnSpi", 0) == 0;
        std::snprintf(text, sizeof text, " %s=0x%02x", spi ? "ss" : "addr", entry.address);
        line += text;
    }
    AppendBytes(line, "out", entry.out);
    AppendBytes(line, "in", entry.in);
    line += " result=" + FormatResult(entry.result);
    if (entry.heldUs > 0)
        line += " held=" + std::to_string(entry.heldUs) + "us";
    if (!entry.note.empty())
        line += " ; " + entry.note;
    return line;
}

} // namespace dlnsim
