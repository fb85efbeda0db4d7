// SPDX-License-Identifier: GPL-3.0-or-later
// Where journals go, their names, and which old ones are pruned.

#include "journal/JournalFolder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <set>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

TEST(JournalFolderTest, StemIsTheLocalStartTimeAndSortsInTimeOrder) {
    std::tm late{};
    late.tm_year = 2026 - 1900;
    late.tm_mon = 11;
    late.tm_mday = 9;
    late.tm_hour = 15;
    late.tm_min = 23;
    late.tm_sec = 7;
    std::tm early{};
    early.tm_year = 2027 - 1900;
    early.tm_mday = 1;
    EXPECT_EQ(JournalStem(late), "2026-12-09T15-23-07");
    EXPECT_EQ(JournalStem(early), "2027-01-01T00-00-00");
    EXPECT_LT(JournalStem(late), JournalStem(early));
}

TEST(JournalFolderTest, OnlyTheJournalsOwnNamesCount) {
    const std::vector<std::pair<const char*, bool>> cases = {
        {"2026-12-09T15-23-07.csv", true},
        {"2026-12-09T15-23-07_2.csv", true},
        {"2026-12-09T15-23-07_15.csv", true},
        {"2026-12-09T15-23-07_.csv", false},
        {"2026-12-09T15-23-07_x.csv", false},
        {"2026-12-09T15-23-07.txt", false},
        {"2026-12-09 15-23-07.csv", false},
        {"2026-12-9T15-23-07.csv", false},
        {"log.csv", false},
        {".csv", false},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(IsJournalName(name), expected) << name;
    }
}

struct TFile {
    const char* Name;
    int AgeDays;
    std::size_t Bytes;
};

struct TPruneCase {
    const char* Name;
    std::vector<TFile> Files;
    std::set<std::string> Kept;
};

void PrintTo(const TPruneCase& c, std::ostream* out) {
    *out << c.Name;
}

class PruneTest : public ::testing::TestWithParam<TPruneCase> {};

// Limits made small: the two newest always, 100 bytes in all.
TEST_P(PruneTest, KeepsTheRecentAndTheNewestWithinTheSizeCap) {
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    const auto now = fs::file_time_type::clock::now();
    for (const TFile& file : GetParam().Files) {
        std::ofstream(folder / file.Name) << std::string(file.Bytes, 'x');
        fs::last_write_time(folder / file.Name, now - std::chrono::hours(24 * file.AgeDays));
    }
    PruneJournals(folder, now, {std::chrono::hours(24 * 30), 2, 100});
    std::set<std::string> kept;
    for (const auto& entry : fs::directory_iterator(folder)) {
        kept.insert(entry.path().filename().string());
    }
    EXPECT_EQ(kept, GetParam().Kept);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PruneTest,
    ::testing::Values(TPruneCase{"RecentOnesStay",
                                 {{"2026-12-01T00-00-00.csv", 9, 10},
                                  {"2026-12-02T00-00-00.csv", 8, 10},
                                  {"2026-12-03T00-00-00.csv", 7, 10},
                                  {"2026-12-03T00-00-00_2.csv", 7, 10}},
                                 {"2026-12-01T00-00-00.csv", "2026-12-02T00-00-00.csv",
                                  "2026-12-03T00-00-00.csv", "2026-12-03T00-00-00_2.csv"}},
                      TPruneCase{"OldOnesGoButTheNewestStay",
                                 {{"2026-01-01T00-00-00.csv", 43, 10},
                                  {"2026-01-02T00-00-00.csv", 42, 10},
                                  {"2026-01-03T00-00-00.csv", 41, 10},
                                  {"2026-01-04T00-00-00.csv", 40, 10}},
                                 {"2026-01-03T00-00-00.csv", "2026-01-04T00-00-00.csv"}},
                      // Judged by the last change: a journal begun long ago that grew
                      // until yesterday is recent.
                      TPruneCase{"ALongLogStillWrittenStays",
                                 {{"2025-01-01T00-00-00.csv", 1, 10},
                                  {"2026-01-01T00-00-00.csv", 50, 10},
                                  {"2026-01-02T00-00-00.csv", 49, 10},
                                  {"2026-01-03T00-00-00.csv", 48, 10}},
                                 {"2025-01-01T00-00-00.csv", "2026-01-03T00-00-00.csv"}},
                      TPruneCase{
                          "OtherFilesAreLeftAlone",
                          {{"notes.csv", 400, 500},
                           {"2026-01-01T00-00-00.txt", 400, 10},
                           {"2025-01-01T00-00-00.csv", 400, 10}},
                          {"notes.csv", "2026-01-01T00-00-00.txt", "2025-01-01T00-00-00.csv"}},
                      TPruneCase{"OverTheSizeCapTheOldestGoFirst",
                                 {{"2026-12-01T00-00-00.csv", 3, 40},
                                  {"2026-12-02T00-00-00.csv", 2, 40},
                                  {"2026-12-03T00-00-00.csv", 1, 40}},
                                 {"2026-12-02T00-00-00.csv", "2026-12-03T00-00-00.csv"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(JournalFolderTest, AFolderThatIsNotThereIsNoFailure) {
    QTemporaryDir dir;
    EXPECT_NO_THROW(PruneJournals(fs::path(dir.path().toStdString()) / "none"));
}

} // namespace
} // namespace ostrel
