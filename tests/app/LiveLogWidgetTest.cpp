// SPDX-License-Identifier: GPL-3.0-or-later
// An hour of simulated minutes logged live through the real simulated
// library, saved, and opened again.

#include "app/MainForm.h"
#include "display/Chart.h"
#include "display/LogList.h"
#include "platform/TextServices.h"
#include "support/MainFormFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

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
    TFormatSettings Fs;

    void SetUp() override {
        TMainFormFixture::SetUp();
        setenv("OSTREL_SIM_SPEED", "0", 1); // the test moves the clock
        setenv("OSTREL_SIM_SEED", "7", 1);
        setenv("OSTREL_SIM_CPM", "30", 1);
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
            unsetenv(name);
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
        const std::string expected =
            i < 10 ? LogLineText(records[i], Fs)
                   : LogLineText(records[i], DoseRateBefore(records, i + 1, 0.00158, 0), Fs);
        EXPECT_EQ(lines[i], expected) << i;
    }
    EXPECT_EQ(Form->Chart().SeriesCPM().Count(), static_cast<int>(records.Count()));
    EXPECT_EQ(Form->Chart().SeriesSV().Count(), static_cast<int>(records.Count()) - 1);
    EXPECT_EQ(Form->Log().ItemIndex(), static_cast<int>(lines.size()) - 1);
}

TEST_F(LiveLogTest, AReopenedLogCarriesTheDoseOfTheLineBeforeIt) {
    const std::vector<std::string> saved = Form->Log().Lines();
    const std::string file = (Folder / "hour.csv").string();
    Chooser->Next = file;
    Form->SaveAsClick();
    std::string expectedBytes;
    for (const std::string& line : saved) {
        expectedBytes += line + "\r\n";
    }
    ASSERT_EQ(test::ReadFile(file), expectedBytes);

    Form->OpenClick();
    const std::vector<std::string> reopened = Form->Log().Lines();
    ASSERT_EQ(reopened.size(), saved.size());
    ASSERT_EQ(Form->Logger().Records.Count(), saved.size());
    for (std::size_t j = 0; j < saved.size(); ++j) {
        const auto before = Fields(saved[j]);
        const auto after = Fields(reopened[j]);
        ASSERT_EQ(after.size(), j < 10 ? 3u : 4u) << reopened[j];
        EXPECT_EQ(std::vector<std::string>(after.begin(), after.begin() + 3),
                  std::vector<std::string>(before.begin(), before.begin() + 3))
            << j;
        if (j >= 11) {
            EXPECT_EQ(after[3], Fields(saved[j - 1])[3]) << j;
        }
    }
    EXPECT_EQ(Fields(reopened[10])[3],
              FloatToStr(DoseRateBefore(Form->Logger().Records, 10, 0.00158, 0), Fs));
    EXPECT_EQ(Form->Logger().Files().FileName(), file);

    // Save after Open writes the rebuilt lines back without asking.
    Chooser->Next.reset();
    Form->SaveClick();
    std::string rebuiltBytes;
    for (const std::string& line : reopened) {
        rebuiltBytes += line + "\r\n";
    }
    EXPECT_EQ(test::ReadFile(file), rebuiltBytes);
}

} // namespace
} // namespace ostrel
