// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/AlarmSettings.h"
#include "alarm/DoseAlarm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

const std::filesystem::path Ini = std::filesystem::path(::testing::TempDir()) / "ostrel-alarm.ini";

TAlarmSettings Read(const std::string& file, std::string* diagnostics = nullptr) {
    std::ofstream(Ini, std::ios::binary) << file;
    std::ostringstream told;
    const TAlarmSettings settings = ReadAlarmSettings(TSettingsSection(Ini, "Alarm"), told);
    if (diagnostics != nullptr) {
        *diagnostics = told.str();
    }
    return settings;
}

TEST(AlarmTest, SectionReadsWithDefaultsAndTellsWhatItCannotUse) {
    struct TCase {
        const char* File;
        double On, Off;
        std::vector<std::string> Command;
        const char* Diagnostics;
    };
    const TCase cases[] = {
        {"", 0, 0, {}, ""},
        {"[Alarm]\nOff=0.1\nCommand=hook\n", 0, 0, {}, ""},
        {"[Alarm]\nOn=0.5\n", 0.5, 0.4, {}, ""},
        {"[alarm]\n on = 1e-1 \noff=0.05\ncommand = /usr/bin/hook -x \n",
         0.1,
         0.05,
         {"/usr/bin/hook", "-x"},
         ""},
        {"[Alarm]\nOn=2\nOff=2\n", 2, 2, {}, ""},
        {"[Alarm]\nOn=2\nOff=0\n", 2, 0, {}, ""},
        {"[Alarm]\nOn=abc\nOff=1\n",
         0,
         0,
         {},
         "ostrel: [Alarm] On=abc is not usable; the alarm is off\n"},
        {"[Alarm]\nOn=0\n", 0, 0, {}, "ostrel: [Alarm] On=0 is not usable; the alarm is off\n"},
        {"[Alarm]\nOn=-1\n", 0, 0, {}, "ostrel: [Alarm] On=-1 is not usable; the alarm is off\n"},
        {"[Alarm]\nOn=0,5\n", 0, 0, {}, "ostrel: [Alarm] On=0,5 is not usable; the alarm is off\n"},
        {"[Alarm]\nOn=1\nOff=1.5\n",
         1,
         0.8,
         {},
         "ostrel: [Alarm] Off=1.5 is not usable; 0.8 is used instead\n"},
        {"[Alarm]\nOn=1\nOff=-0.1\n",
         1,
         0.8,
         {},
         "ostrel: [Alarm] Off=-0.1 is not usable; 0.8 is used instead\n"},
    };
    for (const TCase& c : cases) {
        std::string diagnostics;
        const TAlarmSettings got = Read(c.File, &diagnostics);
        EXPECT_EQ(got.On, c.On) << c.File;
        EXPECT_EQ(got.Off, c.Off) << c.File;
        EXPECT_EQ(got.Command, c.Command) << c.File;
        EXPECT_EQ(got.Enabled(), c.On > 0) << c.File;
        EXPECT_EQ(diagnostics, c.Diagnostics) << c.File;
    }
}

TEST(AlarmTest, CommandSplitsAtBlanksOutsideDoubleQuotes) {
    struct TCase {
        const char* Text;
        std::vector<std::string> Words;
    };
    const TCase cases[] = {
        {"", {}},
        {"  \t ", {}},
        {" hook ", {"hook"}},
        {"/usr/bin/hook -v\t--room  lab", {"/usr/bin/hook", "-v", "--room", "lab"}},
        {R"("C:\Program Files\Hook\hook.exe" /q)", {R"(C:\Program Files\Hook\hook.exe)", "/q"}},
        {R"(a"b c"d e)", {"ab cd", "e"}},
        {R"(say "")", {"say", ""}},
        {R"(say "it's open)", {"say", "it's open"}},
        {"a;b|c $HOME", {"a;b|c", "$HOME"}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(SplitCommand(c.Text), c.Words) << c.Text;
    }
}

// Each step's state after the dose rate: upper case where that dose rate
// switched the alarm.
std::string Steps(const std::string& file, const std::vector<std::optional<double>>& rates) {
    TDoseAlarm alarm(Read(file));
    std::string steps;
    for (const std::optional<double>& rate : rates) {
        const bool changed = alarm.Follow(rate);
        const char* state = alarm.IsOn() ? (changed ? "ON" : "on") : (changed ? "OFF" : "off");
        steps += (steps.empty() ? "" : " ") + std::string(state);
    }
    return steps;
}

TEST(AlarmTest, GoesOnAtOnAndOffOnlyBelowOff) {
    const std::optional<double> none;
    const double nan = std::nan("");
    struct TCase {
        const char* What;
        const char* File;
        std::vector<std::optional<double>> Rates;
        const char* Steps;
    };
    const TCase cases[] = {
        {"rising", "[Alarm]\nOn=0.5\nOff=0.3\n", {0.1, 0.49, 0.51}, "off off ON"},
        {"exactly at On", "[Alarm]\nOn=0.5\nOff=0.3\n", {0.5}, "ON"},
        {"falling", "[Alarm]\nOn=0.5\nOff=0.3\n", {0.9, 0.6, 0.29}, "ON on OFF"},
        {"exactly at Off stays on", "[Alarm]\nOn=0.5\nOff=0.3\n", {0.5, 0.3, 0.2999}, "ON on OFF"},
        {"between Off and On keeps the state",
         "[Alarm]\nOn=0.5\nOff=0.3\n",
         {0.4, 0.6, 0.4, 0.31, 0.49, 0.1, 0.4},
         "off ON on on on OFF off"},
        {"wavering at On", "[Alarm]\nOn=0.5\nOff=0.3\n", {0.5, 0.49, 0.5, 0.49}, "ON on on on"},
        {"default Off, 80 % of On", "[Alarm]\nOn=0.5\n", {0.5, 0.4, 0.3999}, "ON on OFF"},
        {"Off equal to On", "[Alarm]\nOn=0.5\nOff=0.5\n", {0.5, 0.4999, 0.5}, "ON OFF ON"},
        {"no dose rate changes nothing",
         "[Alarm]\nOn=0.5\nOff=0.3\n",
         {none, 0.7, none, nan, 0.1, none},
         "off ON on on OFF off"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Steps(c.File, c.Rates), c.Steps) << c.What;
    }
}

TEST(AlarmTest, AnOpenedLogsNewestDoseRateIsThatOfItsLastLine) {
    TRecords records;
    for (int i = 0; i < 10; ++i) {
        records.Append({0, 12});
    }
    const TFormatSettings fs;
    // The last line's dose rate is that of the ten records before it.
    EXPECT_EQ(NewestDoseRate({records, 0.25, 2, fs}), std::nullopt);
    records.Append({0, 1000});
    EXPECT_EQ(NewestDoseRate({records, 0.25, 2, fs}), 2.5);
    records.Append({0, 0});
    EXPECT_EQ(NewestDoseRate({records, 0.25, 2, fs}), 27.2);
}

} // namespace
} // namespace ostrel
