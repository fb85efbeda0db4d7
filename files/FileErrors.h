// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of file errors, filled with the file's full path and the
// system's own explanation.

#include "platform/Translation.h"

#include <string>
#include <string_view>

namespace ostrel {

inline constexpr std::string_view CannotOpenFileText =
    OSTREL_TR("Ostrel", "ファイル %s は開けません。 %s ");
inline constexpr std::string_view CannotCreateFileText =
    OSTREL_TR("Ostrel", "ファイル \"%s\" を作成できません。%s");

// Why a file was not read, where the system has no text of its own.
inline constexpr std::string_view NotRegularFileText =
    OSTREL_TR("Ostrel", "通常のファイルではありません");
inline constexpr std::string_view FileTooLargeText =
    OSTREL_TR("Ostrel", "大きすぎてメモリに読み込めません");

// The pattern, in the user's language, with its first "%s" replaced by the
// full path of path (native separators) and its second by systemError (a
// text of the program's own in the user's language too).
std::string FileErrorText(std::string_view pattern, const std::string& path,
                          std::string_view systemError);

} // namespace ostrel
