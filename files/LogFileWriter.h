// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Log files written whole: each line followed by CR LF, no byte-order mark,
// 8-bit text in the system's code page.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Appends one line as a log file holds it: the line in the system's code
// page (the program's own ASCII lines unchanged), then CR LF.
void AppendLogFileLine(std::string& out, std::string_view line);
// Appends line k of a log to out. It is called on several threads at once,
// each for lines of its own, while nothing changes what the lines are made of.
using TLineWriter = std::function<void(std::string& out, std::size_t k)>;

// Lines first .. last-1 as a log file holds them, each as AppendLogFileLine
// writes it.
std::string LogFileLines(const TLineWriter& appendLine, std::size_t first, std::size_t last);

// Writes lines to path, creating the file or replacing it. The new content
// goes to a temporary file in the same folder, which replaces the old file
// only once everything was written, so a failure leaves the old file as it
// was. Throws EFileError "ファイル "%s" を作成できません。%s" when the file
// cannot be created, written or replaced. No lines give a 0-byte file.
void WriteLogFile(const std::string& path, const std::vector<std::string>& lines);
// The same for count lines that appendLine makes one at a time.
void WriteLogFile(const std::string& path, std::size_t count, const TLineWriter& appendLine);

// Writes bytes to path as they are, replacing the file the same way and with
// the same error.
void WriteFileBytes(const std::string& path, std::string_view bytes);

} // namespace ostrel
