#pragma once

#include <QtGlobal>

// This process's own figures from /proc/self/status.
class ProcessStatus
{
public:
    // A field in kB ("VmRSS:", "VmHWM:"); -1 when it cannot be read.
    static qint64 kb(const char *field);
};
