#include "adapter/failure_report.h"

void ReportFailure(const Reporter &reporter, const char *name) {
    reporter.Line("%s() failed\n", name);
}

void ReportCallFailure(const Reporter &reporter, const char *call, DLN_RESULT result) {
    if (DLN_SUCCEEDED(result))
        return;
    reporter.Line("%s() function returns 0x%X\n", call, static_cast<unsigned>(result));
    ReportFailure(reporter, call);
}
