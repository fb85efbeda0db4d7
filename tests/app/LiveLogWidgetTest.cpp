// SPDX-License-Identifier: GPL-3.0-or-later
// An hour of simulated minutes logged live through the real simulated
// library; a replayed quarter of an hour logged, saved, and opened again.

#include "app/MainForm.h"
#include "display/Chart.h"
#include "display/LogList.h"
#include "support/Environment.h"
#include "support/MainFormFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace ostrel {
namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma; (comma = line.find(", ", start)) != std::string::npos;
         start = comma + 2) {
        fields.push_back(line.substr(start, comma - start));
    }
    fields.push_back(line.substr(start));
    return fields;
}

class LiveLogTest : public test::TMainFormFixture {
protected:
    static constexpr int Minutes = 60;
    std::unique_ptr<TMainForm> Form;

    void SetUp() override {
        TMainFormFixture::SetUp();
        test::SetEnv("OSTREL_SIM_SPEED", "0"); // the test moves the clock
        test::SetEnv("OSTREL_SIM_SEED", "7");
        test::SetEnv("OSTREL_SIM_CPM", "30");
        Form = Make();
        Form->ShowClick();
        Form->StartClick();
        for (int minute = 0; minute < Minutes; ++minute) {
            AdvanceClock(60'000);
            RunGuarded([this] { Form->TimerTimer(); });
        }
    }
    void TearDown() override {
        Form.reset();
        for (const char* name : {"OSTREL_SIM_SPEED", "OSTREL_SIM_SEED", "OSTREL_SIM_CPM"}) {
            test::UnsetEnv(name);
        }
        TMainFormFixture::TearDown();
    }
};

TEST_F(LiveLogTest, EveryMinuteBecomesOneRecordAndEachFinishedMinuteOneLine) {
    const TRecords& records = Form->Logger().Records;
    ASSERT_GE(records.Count(), static_cast<std::size_t>(Minutes));
    ASSERT_LE(records.Count(), static_cast<std::size_t>(Minutes + 1));
    EXPECT_TRUE(Errors.empty());
    std::int64_t total = 0;
    for (std::size_t i = 0; i < records.Count(); ++i) {
        total += records[i].Count;
        if (i > 0) {
            EXPECT_NEAR(records[i].StartTime - records[i - 1].StartTime, 1.0 / 1440, 1e-9) << i;
        }
    }
    // Poisson counts at 30 a minute: an hour's mean lies far inside 25..35.
    const double mean = static_cast<double>(total) / static_cast<double>(records.Count());
    EXPECT_GT(mean, 25);
    EXPECT_LT(mean, 35);

    const std::vector<std::string> lines = Form->Log().Lines();
    ASSERT_EQ(lines.size(), records.Count() - 1);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(Fields(lines[i]).size(), i < 10 ? 3U : 4U) << lines[i];
        EXPECT_EQ(Fields(lines[i])[2], std::to_string(records[i].Count)) << lines[i];
    }
    EXPECT_EQ(Form->Chart().SeriesCPM().Count(), static_cast<int>(records.Count()));
    EXPECT_EQ(Form->Chart().SeriesSV().Count(), static_cast<int>(records.Count()) - 1);
    EXPECT_EQ(Form->Log().ItemIndex(), static_cast<int>(lines.size()) - 1);
}

// Thirteen minutes of 10, 20, ..., 130 counts, replayed. Live, a line
// carries the dose rate of the ten minutes ending with it (the first from the
// eleventh line on, and the newest minute has no line yet); opened again, each
// line carries that of the ten minutes before it.
class ReplayedLogTest : public test::TMainFormFixture {
protected:
    std::unique_ptr<TMainForm> Form;

    void SetUp() override {
        TMainFormFixture::SetUp();
        std::string script;
        for (int minute = 0; minute < 13; ++minute) {
            char line[64];
            std::snprintf(line, sizeof line, "2026-12-09 15:%02d:30 %d\n", minute,
                          10 * (minute + 1));
            script += line;
        }
        std::ofstream(Folder / "script.txt") << script;
        test::SetEnv("OSTREL_SIM_SCRIPT", (Folder / "script.txt").string());
        Form = Make();
        Form->StartClick();
        RunGuarded([this] { Form->TimerTimer(); });
    }
    void TearDown() override {
        Form.reset();
        test::UnsetEnv("OSTREL_SIM_SCRIPT");
        TMainFormFixture::TearDown();
    }
};

TEST_F(ReplayedLogTest, LiveLinesAndReopenedLinesCarryTheirOwnDoseRates) {
    const std::vector<std::string> live = {
        "26/12/09, 15:00, 10",  "26/12/09, 15:01, 20",          "26/12/09, 15:02, 30",
        "26/12/09, 15:03, 40",  "26/12/09, 15:04, 50",          "26/12/09, 15:05, 60",
        "26/12/09, 15:06, 70",  "26/12/09, 15:07, 80",          "26/12/09, 15:08, 90",
        "26/12/09, 15:09, 100", "26/12/09, 15:10, 110, 0.1027", "26/12/09, 15:11, 120, 0.1185",
    };
    ASSERT_EQ(Form->Log().Lines(), live);
    EXPECT_EQ(Form->Logger().Records.Count(), 13U);

    const std::string file = (Folder / "quarter.csv").string();
    Chooser->Next = file;
    Form->SaveAsClick();
    std::string bytes;
    for (const std::string& line : live) {
        bytes += line + "\r\n";
    }
    EXPECT_EQ(test::ReadFile(file), bytes);

    Form->OpenClick();
    std::vector<std::string> reopened(live.begin(), live.begin() + 10);
    reopened.push_back("26/12/09, 15:10, 110, 0.0869");
    reopened.push_back("26/12/09, 15:11, 120, 0.1027");
    EXPECT_EQ(Form->Log().Lines(), reopened);
    EXPECT_EQ(Form->Logger().Records.Count(), 12U);
    EXPECT_EQ(Form->Logger().Files().FileName(), file);

    // Save after Open writes the rebuilt lines back without asking.
    Chooser->Next.reset();
    Form->SaveClick();
    bytes.clear();
    for (const std::string& line : reopened) {
        bytes += line + "\r\n";
    }
    EXPECT_EQ(test::ReadFile(file), bytes);
}

} // namespace
} // namespace ostrel
