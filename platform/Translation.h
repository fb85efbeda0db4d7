// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's texts are Japanese, as its users have always read them, and
// they stay the source texts. For a user of another language, the program's
// entry point installs a translator once at start-up, which gives each text
// its counterpart (i18n/ostrel_en.ts); without one (as in the tests), every
// text is the Japanese one.

#include <functional>
#include <string>
#include <string_view>

// Marks a text for lupdate, which gathers every marked text into the
// translation files (`-tr-function-alias QT_TRANSLATE_NOOP+=OSTREL_TR`).
// The context is always "Ostrel".
#define OSTREL_TR(context, text) text

namespace ostrel {

inline constexpr const char* TranslationContext = "Ostrel";

// Returns the text's translation; the text itself when none is known.
using TTranslator = std::function<std::string(const std::string& text)>;

// Installs the translator for the rest of the program's life (nullptr: none).
void SetTranslator(TTranslator translator);

// A marked text in the user's language.
std::string Translate(std::string_view text);
// The same with its "%s" replaced by value.
std::string Translate(std::string_view pattern, std::string_view value);

} // namespace ostrel
