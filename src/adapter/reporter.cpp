#include "adapter/reporter.h"

#include <cstdarg>
#include <cstdio>

void Reporter::Line(const char *format, ...) const {
    if (!prints_)
        return;
    va_list arguments;
    va_start(arguments, format);
    vprintf(format, arguments);
    va_end(arguments);
}

void Reporter::Flush() const {
    if (prints_)
        fflush(stdout);
}
