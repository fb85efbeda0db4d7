// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/AlarmSettings.h"
#include "records/DoseAlarm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

namespace ostrel {
namespace {

TAlarmSettings Read(const std::string& file, std::string* diagnostics = nullptr) {
    // The cases run as processes side by side: each has a file of its own.
    const auto ini =
        std::filesystem::path(::testing::TempDir()) /
        ("ostrel-alarm-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".ini");
    std::ofstream(ini, std::ios::binary) << "[alarm]\n" << file;
    std::ostringstream told;
    const TAlarmSettings settings = ReadAlarmSettings(TSettingsSection(ini, "Alarm"), told);
    if (diagnostics != nullptr) {
        *diagnostics = told.str();
    }
    return settings;
}

TEST(AlarmTest, SectionReadsWithDefaultsAndTellsWhatItCannotUse) {
    const struct {
        const char* File;
        double On, Off;
        std::vector<std::string> Command;
        const char* Told;
    } cases[] = {
        {"Off=0.1\nCommand=hook\n", 0, 0, {}, ""},
        {"On=0.5\n", 0.5, 0.4, {}, ""},
        {" on = 1e-1 \noff=0\ncommand= /bin/hook -x \n", 0.1, 0, {"/bin/hook", "-x"}, ""},
        {"On=0,5\n", 0, 0, {}, "ostrel: [Alarm] On=0,5 is not usable; the alarm is off\n"},
        {"On=0\n", 0, 0, {}, "ostrel: [Alarm] On=0 is not usable; the alarm is off\n"},
        {"On=1\nOff=1.5\n",
         1,
         0.8,
         {},
         "ostrel: [Alarm] Off=1.5 is not usable; 0.8 is used instead\n"},
    };
    for (const auto& c : cases) {
        std::string told;
        const TAlarmSettings got = Read(c.File, &told);
        EXPECT_EQ(std::tuple(got.On, got.Off, got.Command, told),
                  std::tuple(c.On, c.Off, c.Command, std::string(c.Told)))
            << c.File;
    }
}

TEST(AlarmTest, CommandSplitsAtBlanksOutsideDoubleQuotes) {
    using TWords = std::vector<std::string>;
    EXPECT_EQ(SplitCommand(" \t "), TWords{});
    EXPECT_EQ(SplitCommand("/bin/hook -v\t lab"), (TWords{"/bin/hook", "-v", "lab"}));
    EXPECT_EQ(SplitCommand(R"("C:\Program Files\h.exe" /q)"),
              (TWords{R"(C:\Program Files\h.exe)", "/q"}));
    EXPECT_EQ(SplitCommand(R"(a"b c"d "" "e)"), (TWords{"ab cd", "", "e"}));
    EXPECT_EQ(SplitCommand("a;b|c $HOME"), (TWords{"a;b|c", "$HOME"}));
}

TEST(AlarmTest, GoesOnAtOnAndOffOnlyBelowOff) {
    const std::optional<double> none;
    const struct {
        const char* File;
        std::vector<std::optional<double>> Rates;
        const char* Steps; // the state after each: upper case where it switched
    } cases[] = {
        {"On=0.5\nOff=0.3\n", {0.1, 0.49, 0.5, 0.6, 0.31, 0.3, 0.2999}, "off off ON on on on OFF"},
        {"On=0.5\nOff=0.3\n", {0.4, 0.6, 0.4, 0.1, 0.49, 0.5, 0.49}, "off ON on OFF off ON on"},
        {"On=0.5\n", {0.5, 0.4, 0.3999}, "ON on OFF"}, // Off: 80 % of On
        {"On=0.5\nOff=0.5\n", {0.5, 0.4999, 0.5}, "ON OFF ON"},
        {"On=0.5\n", {none, 0.7, none, std::nan(""), 0.1, none}, "off ON on on OFF off"},
    };
    for (const auto& c : cases) {
        TDoseAlarm alarm(Read(c.File));
        std::string steps;
        for (const std::optional<double>& rate : c.Rates) {
            const bool changed = alarm.Follow(rate);
            steps += std::string(steps.empty() ? "" : " ") +
                     (alarm.IsOn() ? (changed ? "ON" : "on") : (changed ? "OFF" : "off"));
        }
        EXPECT_EQ(steps, c.Steps) << c.File;
    }
}

} // namespace
} // namespace ostrel
