// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Language.h"

#include "platform/Translation.h"
#include "platform/Utf8Path.h"

#include <QString>
#include <QTranslator>

#include <cctype>
#include <cstdlib>
#include <memory>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace ostrel {

namespace {

bool IsJapanese(const std::string& language) {
    return language.size() >= 2 && std::tolower(static_cast<unsigned char>(language[0])) == 'j' &&
           std::tolower(static_cast<unsigned char>(language[1])) == 'a' &&
           (language.size() == 2 || !std::isalpha(static_cast<unsigned char>(language[2])));
}

} // namespace

TLanguage ChooseLanguage(const std::optional<std::string>& asked,
                         [[maybe_unused]] const TVariable& variable) {
    if (asked) {
        return IsJapanese(*asked) ? TLanguage::Japanese : TLanguage::English;
    }
#ifdef _WIN32
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? TLanguage::Japanese
                                                                      : TLanguage::English;
#else
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        std::optional<std::string> value = variable(name);
        if (value && !value->empty()) {
            return IsJapanese(value->substr(0, value->find(':'))) ? TLanguage::Japanese
                                                                  : TLanguage::English;
        }
    }
    return TLanguage::English;
#endif
}

std::optional<std::string> ProcessVariable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

bool InstallLanguage(TLanguage language, const std::filesystem::path& executableFolder) {
    if (language == TLanguage::Japanese) {
        return true;
    }
    const std::filesystem::path name = "ostrel_en.qm";
    auto translator = std::make_shared<QTranslator>();
    for (const std::filesystem::path& folder :
         {executableFolder / "translations",
          executableFolder / PathFromUtf8(OSTREL_BIN_TO_TRANSLATIONS)}) {
        const std::u8string path = (folder / name).u8string();
        if (translator->load(QString::fromUtf8(reinterpret_cast<const char*>(path.data()),
                                               static_cast<int>(path.size())))) {
            SetTranslator([translator](const std::string& text) {
                const QString found = translator->translate(TranslationContext, text.c_str());
                return found.isEmpty() ? text : found.toStdString();
            });
            return true;
        }
    }
    return false;
}

} // namespace ostrel
