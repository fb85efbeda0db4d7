// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/PosixCustomBaud.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#else
#include <cerrno>
#endif

namespace ostrel::adapters {

bool SetCustomBaud(int descriptor, int baud) {
#if defined(__linux__)
    termios2 settings{};
    if (ioctl(descriptor, TCGETS2, &settings) != 0) {
        return false;
    }
    settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = static_cast<speed_t>(baud);
    settings.c_ospeed = static_cast<speed_t>(baud);
    return ioctl(descriptor, TCSETS2, &settings) == 0;
#else
    (void)descriptor;
    (void)baud;
    errno = EINVAL;
    return false;
#endif
}

} // namespace ostrel::adapters
