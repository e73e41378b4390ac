#include "support/transfer_lines.h"

#include "dln_api.h"
#include "dlnsim/trace.h"

#include <cstdio>

namespace {

// " a5 01" for bytes, "" for none, so that an empty transfer reads "W 21:".
std::string SpacedBytes(const std::vector<uint8_t> &bytes) {
    return bytes.empty() ? "" : " " + dlnsim::FormatBytes(bytes);
}

} // namespace

std::string TransferLine(const dlnsim::TraceEntry &entry) {
    std::string line;
    if (entry.call == "DlnSpiMasterReadWrite") {
        line = "S out:" + SpacedBytes(entry.out) + " in:" + SpacedBytes(entry.in);
    } else {
        const bool isWrite = entry.call == "DlnI2cMasterWrite";
        if (!isWrite && entry.call != "DlnI2cMasterRead")
            return "";
        char head[16];
        std::snprintf(head, sizeof head, "%c %02x:", isWrite ? 'W' : 'R', entry.address & 0xff);
        line = head + SpacedBytes(isWrite ? entry.out : entry.in);
    }
    if (!DLN_SUCCEEDED(entry.result))
        line += " -> " + dlnsim::FormatResult(entry.result);
    return line;
}

std::vector<std::string> TransferLines(const std::vector<dlnsim::TraceEntry> &trace,
                                       int i2cAddress) {
    std::vector<std::string> lines;
    for (const dlnsim::TraceEntry &entry : trace) {
        std::string line = TransferLine(entry);
        const bool otherDevice = i2cAddress >= 0 && (line[0] == 'S' || entry.address != i2cAddress);
        if (line.empty() || otherDevice)
            continue;
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
