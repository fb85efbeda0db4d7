// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading a file whole, which must never wait on what the name stands for:
// a pipe without a writer would block the window for good, a device such as
// /dev/zero never ends.

#include <cstdint>
#include <limits>
#include <string>

namespace ostrel {

// Every byte of a regular file. Throws EFileError "ファイル %s は開けません。 %s "
// when the file cannot be opened or read, when it is not a regular file (a
// folder, a pipe, a device, a socket) and when it holds more than maxBytes
// bytes; the last two before any byte is read.
std::string ReadFileBytes(const std::string& path,
                          std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max());

} // namespace ostrel
