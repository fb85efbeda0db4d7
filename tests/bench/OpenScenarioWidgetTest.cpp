// SPDX-License-Identifier: GPL-3.0-or-later
// The open benchmark at small sizes: the main window opens a generated log
// and shows exactly its records and lines, whatever the size.

#include "bench/LogScenario.h"
#include "bench/Measure.h"
#include "bench/MemoryScenario.h"
#include "bench/OpenScenario.h"
#include "display/Chart.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace ostrel::bench {
namespace {

class OpenScenarioTest : public ::testing::TestWithParam<std::size_t> {
protected:
    QTemporaryDir Folder;
    std::string Path = Folder.filePath("log.csv").toStdString();
};

TEST_P(OpenScenarioTest, TheWindowShowsEveryRecordAndLineOfTheFile) {
    const std::size_t n = GetParam();
    WriteScenarioLog(Path, n);
    TOpenScenario scenario;
    scenario.Show();
    scenario.Open(Path);
    EXPECT_TRUE(scenario.Messages().empty());
    EXPECT_EQ(scenario.Check(n), std::nullopt);
    // The check itself notices a wrong size.
    EXPECT_NE(scenario.Check(n + 1), std::nullopt);
    EXPECT_EQ(scenario.Form().Logger().Files().FileName(), Path);
    EXPECT_EQ(scenario.Form().Chart().SeriesCPM().Label(0).toStdString(), MinuteText(0));
}

INSTANTIATE_TEST_SUITE_P(Sizes, OpenScenarioTest, ::testing::Values(1, 10, 11, 361, 3000));

TEST(OpenScenarioTest, OpeningASecondLogReplacesTheFirst) {
    QTemporaryDir folder;
    const std::string big = folder.filePath("big.csv").toStdString();
    const std::string small = folder.filePath("small.csv").toStdString();
    WriteScenarioLog(big, 500);
    WriteScenarioLog(small, 20);
    TOpenScenario scenario;
    scenario.Show();
    scenario.Open(big);
    scenario.Open(small);
    EXPECT_EQ(scenario.Check(20), std::nullopt);
}

// Each part of an opened log holds at least the bytes it stores; the log
// list stores next to none.
TEST(MemoryScenarioTest, EachPartOfTheBreakdownHoldsAtLeastItsData) {
    if (HeapInUse() == 0) {
        GTEST_SKIP() << "the C library does not report its heap here";
    }
    QTemporaryDir folder;
    const std::string path = folder.filePath("log.csv").toStdString();
    const std::size_t n = 5000;
    WriteScenarioLog(path, n);
    const std::size_t bytes = ScenarioLogText(n).size();
    const TOpenBreakdown parts = MeasureOpenBreakdown(path);
    EXPECT_GE(parts.FileText, bytes);
    EXPECT_GE(parts.Records, n * sizeof(TMinuteRecord));
    EXPECT_LT(parts.Records, 2 * n * sizeof(TMinuteRecord));
    // The opened lines are made when shown or saved: the list stores only
    // the newest one, whose minute may still count.
    EXPECT_LT(parts.LogLines, n);
    EXPECT_GE(parts.Series, 2 * n * 2 * sizeof(double));
}

} // namespace
} // namespace ostrel::bench
