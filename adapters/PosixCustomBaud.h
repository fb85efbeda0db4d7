// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rates that termios has no speed constant for (14400 and 28800 baud, which
// GMC counters can be set to), through Linux's termios2 and BOTHER. Apart
// from the rest of the serial port because the kernel's termios structure
// and the C library's cannot be declared in one file.

namespace ostrel::adapters {

// Sets the port's input and output rate to exactly baud; false where the
// system cannot (errno says why).
bool SetCustomBaud(int descriptor, int baud);

} // namespace ostrel::adapters
