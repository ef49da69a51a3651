#pragma once

#include <string>

// A pseudo-terminal whose other side is raw from the start: nothing is
// echoed, translated or held for a line end before a program opens that side
// and sets its own modes, as on a real serial line. The simulator, the test
// device and the benchmarks all make theirs here.
struct RawPty {
    int master = -1;       // -1 when it could not be made; errno says why
    std::string slavePath; // /dev/pts/N, the side a serial program opens
};

// Makes one. flags are added to O_RDWR | O_NOCTTY for the master (O_NONBLOCK).
RawPty openRawPty(int flags = 0);

// Opens the slave side at `path` in raw mode at 9600 baud; -1 on failure.
int openRawSlave(const std::string &path);
