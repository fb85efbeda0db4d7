// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StateFolder.h"

#include <cstdlib>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace ostrel {

namespace fs = std::filesystem;

namespace {

#ifndef _WIN32
std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}
#endif

} // namespace

fs::path StateFolderFrom(const std::optional<std::string>& stateHome,
                         const std::optional<std::string>& home) {
    if (stateHome && fs::path(*stateHome).is_absolute()) {
        return fs::path(*stateHome) / "ostrel";
    }
    if (home && !home->empty()) {
        return fs::path(*home) / ".local" / "state" / "ostrel";
    }
    return {};
}

fs::path DefaultStateFolder() {
#ifdef _WIN32
    // The Win32 call rather than the C runtime's: MinGW's msvcrt has no
    // _wdupenv_s, and the variable is the user's, not the runtime's copy.
    const DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    if (size <= 1) {
        return {};
    }
    std::wstring local(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", local.data(), size);
    if (length == 0 || length >= size) {
        return {};
    }
    local.resize(length);
    return fs::path(local) / L"Ostrel";
#else
    return StateFolderFrom(Variable("XDG_STATE_HOME"), Variable("HOME"));
#endif
}

} // namespace ostrel
