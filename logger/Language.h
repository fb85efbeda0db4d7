// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The language the program speaks: Japanese, its own, to a user whose
// interface language is Japanese; English to everyone else. Numbers, dates
// and log files follow the user's locale whatever the language.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace ostrel {

enum class TLanguage { Japanese, English };

// A variable of the environment; none when unset.
using TVariable = std::function<std::optional<std::string>(const char* name)>;

// The language asked for ("ja" or "en", as --lang takes it), else the
// user's: on Windows the interface language, elsewhere the first of
// LANGUAGE (its first entry), LC_ALL, LC_MESSAGES and LANG that is set and
// not empty.
TLanguage ChooseLanguage(const std::optional<std::string>& asked, const TVariable& variable);

// The environment of this process.
std::optional<std::string> ProcessVariable(const char* name);

// Installs the translation into language for the rest of the program's
// life: translations/ostrel_<language>.qm beside the executable, else in the
// installed program's data folder. Japanese needs none. False, and the texts
// stay Japanese, where the translation cannot be found.
bool InstallLanguage(TLanguage language, const std::filesystem::path& executableFolder);

} // namespace ostrel
