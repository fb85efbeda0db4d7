// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StateFolder.h"

#include <cstdlib>
#include <memory>

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
    wchar_t* local = nullptr;
    std::size_t length = 0;
    if (_wdupenv_s(&local, &length, L"LOCALAPPDATA") != 0 || local == nullptr) {
        return {};
    }
    const std::unique_ptr<wchar_t, decltype(&std::free)> owned(local, &std::free);
    if (*local == L'\0') {
        return {};
    }
    return fs::path(local) / L"Ostrel";
#else
    return StateFolderFrom(Variable("XDG_STATE_HOME"), Variable("HOME"));
#endif
}

} // namespace ostrel
