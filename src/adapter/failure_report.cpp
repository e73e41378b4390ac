#include "adapter/failure_report.h"

#include <cstdio>

void ReportFailure(const char *name) {
    printf("%s() failed\n", name);
}

void ReportCallFailure(const char *call, DLN_RESULT result) {
    if (DLN_SUCCEEDED(result))
        return;
    printf("%s() function returns 0x%X\n", call, static_cast<unsigned>(result));
    ReportFailure(call);
}
