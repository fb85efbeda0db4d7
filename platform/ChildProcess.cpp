// SPDX-License-Identifier: GPL-3.0-or-later
// What a started program and its pipe share on every system; the systems'
// own parts are in ChildProcessPosix.cpp and ChildProcessWindows.cpp.
#include "platform/ChildProcess.h"

namespace ostrel {

std::string WindowsCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) {
            line += ' ';
        }
        line += '"';
        std::size_t backslashes = 0;
        for (const char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            // Backslashes before a quote are doubled, and the quote gets one
            // more; elsewhere they stand for themselves.
            line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
            backslashes = 0;
            line += c;
        }
        // Before the closing quote they are doubled too.
        line.append(backslashes * 2, '\\');
        line += '"';
    }
    return line;
}

} // namespace ostrel
