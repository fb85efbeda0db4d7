// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Language.h"

#include <gtest/gtest.h>

#include <map>

namespace ostrel {
namespace {

// The user's interface language from the variables, as gettext looks at
// them; the Windows build asks the system instead.
#ifndef _WIN32
TEST(LanguageTest, AskedElseTheFirstVariableSet) {
    struct TCase {
        std::optional<std::string> Asked;
        std::map<std::string, std::string> Variables;
        TLanguage Expected;
    };
    const TCase cases[] = {
        {std::nullopt, {{"LANG", "ja_JP.UTF-8"}}, TLanguage::Japanese},
        {std::nullopt, {{"LANG", "en_US.UTF-8"}}, TLanguage::English},
        {std::nullopt, {}, TLanguage::English},
        {std::nullopt, {{"LANG", "C.UTF-8"}}, TLanguage::English},
        {std::nullopt, {{"LANGUAGE", "ja:en"}, {"LANG", "en_US.UTF-8"}}, TLanguage::Japanese},
        {std::nullopt, {{"LANGUAGE", ""}, {"LC_ALL", "ja_JP.eucJP"}}, TLanguage::Japanese},
        {std::nullopt, {{"LC_MESSAGES", "en_GB"}, {"LANG", "ja_JP.UTF-8"}}, TLanguage::English},
        {std::nullopt, {{"LANG", "jv_ID"}}, TLanguage::English},
        {"ja", {{"LANG", "de_DE.UTF-8"}}, TLanguage::Japanese},
        {"en", {{"LANG", "ja_JP.UTF-8"}}, TLanguage::English},
    };
    for (const TCase& c : cases) {
        const auto variable = [&c](const char* name) -> std::optional<std::string> {
            const auto found = c.Variables.find(name);
            return found == c.Variables.end() ? std::nullopt
                                              : std::optional<std::string>(found->second);
        };
        EXPECT_EQ(ChooseLanguage(c.Asked, variable), c.Expected)
            << c.Asked.value_or("-") << " " << c.Variables.size();
    }
}
#endif

} // namespace
} // namespace ostrel
