// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Replacing a small file as a whole, so that a crash or a full disk at any
// moment leaves either the old content or the new one, never a mix.

#include <filesystem>
#include <string_view>
#include <system_error>

namespace ostrel {

// Writes content to a temporary file in the file's folder, flushes it to the
// disk and renames it over the file. A symlink is followed: the link stays
// and its target gets the content. An existing file keeps its permissions; a
// file that this process may not write is not replaced, as renaming over it
// would bypass its protection. Empty on success; otherwise why not, with the
// old file left as it was and no temporary left behind.
std::error_code ReplaceFileContent(const std::filesystem::path& path, std::string_view content);

} // namespace ostrel
