// SPDX-License-Identifier: GPL-3.0-or-later
// The journal fed as the live loop feeds it: each tick's lines go to the
// log's own file, made at the first line, as Save writes them; a journal
// that cannot be made reports once and catches up.

#include "journal/Journal.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// 2026-12-09 15:23:07 local time, for every log begun.
std::chrono::system_clock::time_point FixedStart() {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 9;
    local.tm_hour = 15;
    local.tm_min = 23;
    local.tm_sec = 7;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

class JournalTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    fs::path Folder = fs::path(Dir.path().toStdString()) / "state" / "journal";
    std::mutex ReportsMutex;
    std::vector<TJournalFailure> Reports;

    std::unique_ptr<TJournal> Make() {
        return std::make_unique<TJournal>(
            Folder,
            [this](const TJournalFailure& failure) {
                const std::lock_guard lock(ReportsMutex);
                Reports.push_back(failure);
            },
            FixedStart);
    }
    static void Tick(TJournal& journal, const std::vector<std::string>& lines) {
        for (const std::string& line : lines) {
            journal.MinuteFinished({{}, std::nullopt, line, 0});
        }
        journal.TickEnded();
    }
    // The journals in the folder.
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(Folder)) {
            if (entry.path().extension() == ".csv") {
                names.insert(entry.path().filename().string());
            }
        }
        return names;
    }
};

TEST_F(JournalTest, EachLogsLinesGoToAFileOfItsOwnMadeAtTheFirstLine) {
    auto journal = Make();
    journal->BeginLog();
    journal->MinuteFinished({{}, std::nullopt, "26/12/09, 15:23, 31", 0});
    ASSERT_TRUE(journal->Flush());
    EXPECT_FALSE(fs::exists(Folder)); // the tick has not ended
    journal->TickEnded();
    Tick(*journal, {"26/12/09, 15:24, 28", "26/12/09, 15:25, 30"});
    journal->BeginLog(); // New before any line: no file
    journal->BeginLog(); // New, in the same second
    Tick(*journal, {"26/12/09, 15:30, 1"});
    ASSERT_TRUE(journal->Flush());
    EXPECT_EQ(journal->CurrentPath(), Folder / "2026-12-09T15-23-07_2.csv");
    EXPECT_EQ(Listing(),
              (std::set<std::string>{"2026-12-09T15-23-07.csv", "2026-12-09T15-23-07_2.csv"}));
    EXPECT_EQ(ReadFile(Folder / "2026-12-09T15-23-07.csv"),
              "26/12/09, 15:23, 31\r\n26/12/09, 15:24, 28\r\n26/12/09, 15:25, 30\r\n");
    EXPECT_EQ(ReadFile(Folder / "2026-12-09T15-23-07_2.csv"), "26/12/09, 15:30, 1\r\n");
    EXPECT_TRUE(Reports.empty());
}

TEST_F(JournalTest, AnotherProgramsJournalOfTheSameSecondIsNeverWrittenTo) {
    fs::create_directories(Folder);
    std::ofstream(Folder / "2026-12-09T15-23-07.csv", std::ios::binary) << "theirs\r\n";
    auto journal = Make();
    journal->BeginLog();
    Tick(*journal, {"ours"});
    ASSERT_TRUE(journal->Flush());
    EXPECT_EQ(ReadFile(Folder / "2026-12-09T15-23-07.csv"), "theirs\r\n");
    EXPECT_EQ(ReadFile(Folder / "2026-12-09T15-23-07_2.csv"), "ours\r\n");
}

TEST_F(JournalTest, AJournalThatCannotBeMadeReportsOnceAndCatchesUpWhenItCan) {
    // A file where the journal's folder should be: no folder can be made.
    const fs::path blocker = Folder.parent_path();
    std::ofstream(blocker) << "";
    auto journal = Make();
    journal->BeginLog();
    for (int tick = 0; tick < 5; ++tick) {
        Tick(*journal, {"line " + std::to_string(tick)});
        EXPECT_FALSE(journal->Flush());
    }
    {
        const std::lock_guard lock(ReportsMutex);
        ASSERT_EQ(Reports.size(), 1u);
        EXPECT_EQ(Reports[0].Path, Folder / "2026-12-09T15-23-07.csv");
        EXPECT_EQ(JournalFailureText(Reports[0]),
                  "ジャーナル " + (Folder / "2026-12-09T15-23-07.csv").string() +
                      " に書き込めません。 Not a directory");
    }
    fs::remove(blocker);
    Tick(*journal, {"line 5"});
    ASSERT_TRUE(journal->Flush());
    EXPECT_EQ(ReadFile(Folder / "2026-12-09T15-23-07.csv"),
              "line 0\r\nline 1\r\nline 2\r\nline 3\r\nline 4\r\nline 5\r\n");

    // A new streak is told again.
    fs::remove_all(blocker);
    std::ofstream(blocker) << "";
    journal->BeginLog();
    Tick(*journal, {"again"});
    EXPECT_FALSE(journal->Flush());
    const std::lock_guard lock(ReportsMutex);
    EXPECT_EQ(Reports.size(), 2u);
}

} // namespace
} // namespace ostrel
