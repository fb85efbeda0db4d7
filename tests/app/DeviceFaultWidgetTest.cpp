// SPDX-License-Identifier: GPL-3.0-or-later
// The main window with a simulated counter that replays bad readings: a
// flood of invalid dates and times never stacks error boxes and never stops
// the logging, and a gone marker in the middle of a burst ends acquisition.

#include "app/ErrorBox.h"
#include "app/MainForm.h"
#include "display/Chart.h"
#include "display/LogList.h"
#include "support/Environment.h"
#include "support/MainFormFixture.h"

#include <QAction>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

constexpr const char* BadDate = "日付に変換できない値が渡されました.";
constexpr const char* BadTime = "時刻に変換できない値が渡されました.";

struct TBadReading {
    const char* Line;
    const char* Text;
};

// Seven kinds, so that the readings that open a box (every tenth) go
// through all of them.
const std::vector<TBadReading> BadReadings = {
    {"2011-13-16 09:00:00.000 1", BadDate},  {"2011-02-30 09:00:00.000 1", BadDate},
    {"10000-07-16 09:00:00.000 1", BadDate}, {"2011-07-16 24:00:00.000 1", BadTime},
    {"2011-07-16 09:60:00.000 1", BadTime},  {"2011-07-16 09:00:60.000 1", BadTime},
    {"2011-07-16 09:00:00.1000 1", BadTime},
};

class DeviceFaultTest : public test::TMainFormFixture {
protected:
    std::unique_ptr<TMainForm> Form;

    void TearDown() override {
        Form.reset();
        test::UnsetEnv("OSTREL_SIM_SCRIPT");
        TMainFormFixture::TearDown();
    }
    // Connects the simulated counter, which will replay these lines.
    void StartWithScript(const std::vector<std::string>& lines) {
        const std::filesystem::path script = Folder / "script.txt";
        std::ofstream out(script);
        for (const std::string& line : lines) {
            out << line << '\n';
        }
        out.close();
        test::SetEnv("OSTREL_SIM_SCRIPT", script.string());
        Form = Make();
        Form->ShowClick();
        Form->findChild<QAction*>("Start")->trigger();
        ASSERT_TRUE(Form->Logger().Timer().isActive());
        CallLog();
    }
    // A tick as the timer runs it: an escaping error goes to the error box.
    void Tick() {
        RunGuarded([this] { Form->TimerTimer(); });
    }
};

TEST_F(DeviceFaultTest, AFloodOfInvalidReadingsOpensOneBoxAtATimeAndLoggingGoesOn) {
    constexpr int flood = 10'000;
    constexpr int ticksUnderABox = 9; // as the box's own loop keeps the timer going
    std::vector<std::string> script;
    for (int k = 0; k < flood; ++k) {
        script.push_back(BadReadings[static_cast<std::size_t>(k) % BadReadings.size()].Line);
    }
    script.insert(script.end(), {"2011-07-16 09:00:10.000 3", "2011-07-16 09:00:50.000 4",
                                 "2011-07-16 09:01:00.000 5", "2011-07-16 09:02:00.000 6"});
    StartWithScript(script);

    int open = 0;
    int mostOpen = 0;
    std::vector<std::string> shown;
    SetErrorBoxSink([&](const std::string& text, const std::string&) {
        mostOpen = std::max(mostOpen, ++open);
        shown.push_back(text);
        for (int k = 0; k < ticksUnderABox; ++k) {
            Tick();
        }
        --open;
    });
    for (int k = 0; k < flood / (ticksUnderABox + 1); ++k) {
        Tick();
        ASSERT_TRUE(Form->Logger().Timer().isActive());
    }
    EXPECT_TRUE(Form->Logger().Records.Empty());
    Tick();

    EXPECT_EQ(mostOpen, 1);
    std::vector<std::string> expected;
    for (int k = 0; k < flood; k += ticksUnderABox + 1) {
        expected.push_back(BadReadings[static_cast<std::size_t>(k) % BadReadings.size()].Text);
    }
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(std::string(CallLog()), "GetData*" + std::to_string(flood + 5));
    EXPECT_EQ(Form->Log().Lines(),
              (std::vector<std::string>{"11/07/16, 09:00, 7", "11/07/16, 09:01, 5"}));
    EXPECT_EQ(Form->Logger().Records.Count(), 3u);
    EXPECT_EQ(Form->Chart().SeriesCPM().Count(), 3);
    EXPECT_TRUE(Form->Logger().Timer().isActive());
    EXPECT_NE(Form->Logger().DeviceId(), 0u);

    // Still under control: Stop ends acquisition as usual.
    Form->findChild<QAction*>("Stop")->trigger();
    Tick();
    EXPECT_FALSE(Form->Logger().Timer().isActive());
    EXPECT_EQ(Form->Logger().DeviceId(), 0u);
}

TEST_F(DeviceFaultTest, AGoneMarkerInTheMiddleOfABurstStopsTheTimerAndTheDraining) {
    StartWithScript({"2011-07-16 09:00:10.000 3", "2011-07-16 09:01:00.000 4", "gone",
                     "2011-07-16 09:02:00.000 5"});
    Tick();
    EXPECT_EQ(std::string(CallLog()), "GetData*3");
    EXPECT_FALSE(Form->Logger().Timer().isActive());
    EXPECT_EQ(Form->Logger().DeviceId(), 0u);
    EXPECT_EQ(Form->Logger().Records.Count(), 2u);
    EXPECT_EQ(Form->Log().Lines(), std::vector<std::string>{"11/07/16, 09:00, 3"});
    EXPECT_TRUE(Errors.empty());

    Tick(); // a tick that was already queued does nothing
    EXPECT_EQ(std::string(CallLog()), "");
    EXPECT_EQ(Form->Logger().Records.Count(), 2u);
}

} // namespace
} // namespace ostrel
