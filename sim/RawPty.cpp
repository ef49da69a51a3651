#include "RawPty.h"

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

RawPty openRawPty(int flags)
{
    RawPty pty;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | flags);
    if (master < 0)
        return pty;
    const char *name = nullptr;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || !(name = ::ptsname(master))) {
        const int e = errno;
        ::close(master);
        errno = e;
        return pty;
    }
    pty.master = master;
    pty.slavePath = name;
    const int slave = openRawSlave(pty.slavePath);
    if (slave >= 0)
        ::close(slave);
    return pty;
}

int openRawSlave(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return -1;
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B9600);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    return fd;
}
