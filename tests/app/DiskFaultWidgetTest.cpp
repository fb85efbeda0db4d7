// SPDX-License-Identifier: GPL-3.0-or-later
// Saving when the disk fails: a write stopped part-way (a file-size limit,
// as a full disk would) or refused (a read-only folder). The error box says
// so, the file that was there stays byte for byte, and records, chart and
// log list stay as they were. The same for the settings file at the end.

#include "app/ErrorBox.h"
#include "app/MainForm.h"
#include "display/Chart.h"
#include "display/LogList.h"
#include "support/Faults.h"
#include "support/MainFormFixture.h"

#include <QAction>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// Both faults are brought about by POSIX means.
#ifndef _WIN32
namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::TFileSizeLimit;
using test::TPermissionsBind;

constexpr const char* Caption = "Diskfaultwidgettest";

// Everything a failed save must leave as it was.
struct TWindowState {
    std::vector<std::pair<double, std::int32_t>> Records;
    std::vector<std::pair<double, std::string>> Cpm;
    std::vector<std::pair<double, bool>> Sv; // value, null
    std::vector<std::string> Lines;
    bool operator==(const TWindowState&) const = default;
};

TWindowState StateOf(TMainForm& form) {
    TWindowState state;
    for (std::size_t k = 0; k < form.Logger().Records.Count(); ++k) {
        state.Records.emplace_back(form.Logger().Records[k].StartTime,
                                   form.Logger().Records[k].Count);
    }
    const TChartSeries& cpm = form.Chart().SeriesCPM();
    for (int k = 0; k < cpm.Count(); ++k) {
        state.Cpm.emplace_back(cpm.YValue(k), cpm.Label(k).toStdString());
    }
    const TChartSeries& sv = form.Chart().SeriesSV();
    for (int k = 0; k < sv.Count(); ++k) {
        state.Sv.emplace_back(sv.YValue(k), sv.IsNull(k));
    }
    state.Lines = form.Log().Lines();
    return state;
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

void MakeReadOnly(const fs::path& folder, bool readOnly) {
    fs::permissions(folder, readOnly ? fs::perms::owner_read | fs::perms::owner_exec
                                     : fs::perms::owner_all);
}

enum class TFault { SizeLimit, ReadOnlyFolder };

struct TSaveCase {
    const char* Name;
    const char* Command; // "Save" or "SaveAs"
    const char* LogFile; // the opened log, relative to the test folder
    const char* Target;  // the file written
    bool TargetExists;   // the Save As target holds an older file
    TFault Fault;
    const char* SystemText; // the system's reason in the message
};

void PrintTo(const TSaveCase& c, std::ostream* out) {
    *out << c.Name;
}

const std::vector<TSaveCase> SaveCases = {
    {"SaveStoppedPartWay", "Save", "log.csv", "log.csv", true, TFault::SizeLimit, "File too large"},
    {"SaveAsOverAnotherFileStoppedPartWay", "SaveAs", "log.csv", "other.csv", true,
     TFault::SizeLimit, "File too large"},
    {"SaveAsToANewFileStoppedPartWay", "SaveAs", "log.csv", "new.csv", false, TFault::SizeLimit,
     "File too large"},
    {"SaveIntoAReadOnlyFolder", "Save", "locked/log.csv", "locked/log.csv", true,
     TFault::ReadOnlyFolder, "Permission denied"},
    {"SaveAsOverAFileInAReadOnlyFolder", "SaveAs", "log.csv", "locked/old.csv", true,
     TFault::ReadOnlyFolder, "Permission denied"},
    {"SaveAsToANewFileInAReadOnlyFolder", "SaveAs", "log.csv", "locked/new.csv", false,
     TFault::ReadOnlyFolder, "Permission denied"},
};

class SaveFaultTest : public test::TMainFormFixture,
                      public ::testing::WithParamInterface<TSaveCase> {
protected:
    fs::path Locked = Folder / "locked";

    void SetUp() override {
        TMainFormFixture::SetUp();
        fs::create_directory(Locked);
    }
    void TearDown() override {
        MakeReadOnly(Locked, false);
        TMainFormFixture::TearDown();
    }
    // Thirty minutes of a log as the program writes it, twelve lines with a
    // dose rate; opening it rebuilds every line, so a save writes other text.
    static std::string LogBytes() {
        std::string bytes;
        for (int minute = 0; minute < 30; ++minute) {
            bytes += "11/07/16, 09:" + std::string(minute < 10 ? "0" : "") +
                     std::to_string(minute) + ", " + std::to_string(20 + minute % 7) + "\r\n";
        }
        return bytes;
    }
};

TEST_P(SaveFaultTest, TheErrorIsShownAndNothingIsLostOrChanged) {
    const TSaveCase& c = GetParam();
    const fs::path log = Folder / c.LogFile;
    const fs::path target = Folder / c.Target;
    const std::string older = "11/07/15, 23:59, 1\r\n";
    std::ofstream(log, std::ios::binary) << LogBytes();
    if (c.TargetExists && target != log) {
        std::ofstream(target, std::ios::binary) << older;
    }
    const std::string previous = c.TargetExists ? test::ReadFile(target) : "";
    auto form = Make();
    Chooser->Next = log.string();
    form->OpenClick();
    ASSERT_EQ(form->Logger().Records.Count(), 30u);
    const TWindowState before = StateOf(*form);
    std::string rebuilt;
    for (const std::string& line : before.Lines) {
        rebuilt += line + "\r\n";
    }
    ASSERT_NE(rebuilt, LogBytes()); // a save would change the file
    const std::set<std::string> folderBefore = Listing(target.parent_path());

    Chooser->Next = target.string();
    {
        std::optional<TFileSizeLimit> limit;
        if (c.Fault == TFault::SizeLimit) {
            ASSERT_TRUE(limit.emplace(64).Active);
        } else {
            MakeReadOnly(Locked, true);
        }
        const TPermissionsBind permissions;
        if (c.Fault == TFault::ReadOnlyFolder && !permissions.Binds()) {
            GTEST_SKIP() << "a read-only folder cannot stop this user";
        }
        form->findChild<QAction*>(c.Command)->trigger();
    }
    MakeReadOnly(Locked, false);

    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0].first,
              "ファイル \"" + target.string() + "\" を作成できません。" + c.SystemText + ".");
    EXPECT_EQ(Errors[0].second, Caption);
    EXPECT_EQ(Listing(target.parent_path()), folderBefore);
    if (c.TargetExists) {
        EXPECT_EQ(test::ReadFile(target), previous);
    }
    EXPECT_EQ(StateOf(*form), before);
    EXPECT_EQ(form->Logger().Files().FileName(), target.string());

    // Once the disk takes writes again, Save writes the log to that file.
    form->findChild<QAction*>("Save")->trigger();
    EXPECT_EQ(Errors.size(), 1u);
    EXPECT_EQ(test::ReadFile(target), rebuilt);
}

INSTANTIATE_TEST_SUITE_P(Faults, SaveFaultTest, ::testing::ValuesIn(SaveCases),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TSettingsCase {
    const char* Name;
    TFault Fault;
};

void PrintTo(const TSettingsCase& c, std::ostream* out) {
    *out << c.Name;
}

class SettingsFaultTest : public test::TMainFormFixture,
                          public ::testing::WithParamInterface<TSettingsCase> {
protected:
    fs::path Locked = Folder / "locked";

    void TearDown() override {
        MakeReadOnly(Locked, false);
        TMainFormFixture::TearDown();
    }
};

TEST_P(SettingsFaultTest, TheErrorIsShownTheFileKeptAndTheLibraryStillReleased) {
    fs::create_directory(Locked);
    Ini = Locked / "ostrel.ini";
    const std::string stored = "[Graph]\r\nuSv=0.002\r\nBackGround=5\r\n";
    WriteIni(stored);
    auto form = Make();
    EXPECT_EQ(form->Logger().GraphCoefficient, 0.002);
    EXPECT_EQ(form->Logger().GraphBackground, 5);
    form->Logger().GraphCoefficient = 0.00345;
    form->Logger().GraphBackground = -12;
    CallLog();
    {
        std::optional<TFileSizeLimit> limit;
        if (GetParam().Fault == TFault::SizeLimit) {
            ASSERT_TRUE(limit.emplace(8).Active);
        } else {
            MakeReadOnly(Locked, true);
        }
        const TPermissionsBind permissions;
        if (GetParam().Fault == TFault::ReadOnlyFolder && !permissions.Binds()) {
            GTEST_SKIP() << "a read-only folder cannot stop this user";
        }
        form.reset();
    }
    MakeReadOnly(Locked, false);

    EXPECT_EQ(Errors, (std::vector<std::pair<std::string, std::string>>{
                          {Ini.string() + " に書き込めません.", Caption}}));
    EXPECT_EQ(std::string(CallLog()), "Clear");
    EXPECT_EQ(test::ReadFile(Ini), stored);
    EXPECT_EQ(Listing(Locked), std::set<std::string>{"ostrel.ini"});
}

INSTANTIATE_TEST_SUITE_P(Faults, SettingsFaultTest,
                         ::testing::Values(TSettingsCase{"StoppedPartWay", TFault::SizeLimit},
                                           TSettingsCase{"ReadOnlyFolder", TFault::ReadOnlyFolder}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace ostrel
#endif
