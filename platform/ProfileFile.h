// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// INI ("profile") files read and written one key at a time, with no handle
// kept open between calls.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The value of key in section: the text after the first "=" of the key's
// line, blanks around it removed (spaces, tabs, and CRs that mixed line
// endings leave inside a line), at most 2047 characters. Empty when the
// file, the section or the key is missing. Section and key names match
// without regard to ASCII letter case; the first matching section counts.
std::string ReadString(const std::filesystem::path& path, std::string_view section,
                       std::string_view key);

// The same, but none when the file, the section or the key is missing, so
// that an empty value can mean something of its own.
std::optional<std::string> FindString(const std::filesystem::path& path, std::string_view section,
                                      std::string_view key);

// Whether the file has the section, with or without keys.
bool HasSection(const std::filesystem::path& path, std::string_view section);

// Sets key in section to value: on the key's own line where it stands, else
// as a new line after the last line of its section, else in a new section at
// the end of the file, which is created when missing. Every other line stays
// byte for byte; new lines take the file's line ending (CR LF in a new file).
// The file is replaced as a whole, so an interrupted write leaves the old
// file. Throws EFileError "<path> に書き込めません" when the file cannot be
// read back or written; the old file is then left as it was. Names and value
// must not contain line breaks (std::invalid_argument).
void WriteString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                 std::string_view value);

// The path as UTF-8 text, for messages.
std::string PathText(const std::filesystem::path& path);

} // namespace ostrel
