// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of file errors, filled with the file's full path and the
// system's own explanation.

#include <string>
#include <string_view>

namespace ostrel {

inline constexpr std::string_view CannotOpenFileText = "ファイル %s は開けません。 %s ";
inline constexpr std::string_view CannotCreateFileText = "ファイル \"%s\" を作成できません。%s";

// Why a file was not read, where the system has no text of its own.
inline constexpr std::string_view NotRegularFileText = "通常のファイルではありません";
inline constexpr std::string_view FileTooLargeText = "大きすぎてメモリに読み込めません";

// The pattern with its first "%s" replaced by the full path of path (native
// separators) and its second by systemError.
std::string FileErrorText(std::string_view pattern, const std::string& path,
                          std::string_view systemError);

} // namespace ostrel
