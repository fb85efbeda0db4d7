// SPDX-License-Identifier: GPL-3.0-or-later
// Back where it was: a logger killed while it logs is taken up again by the
// next start-up, with no key pressed; one that ended in order is not.

#include "app/MainForm.h"
#include "display/LogList.h"
#include "support/HeadlessProcess.h"
#include "support/MainFormFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace ostrel {
namespace {

// Minutes 15:00 to 15:12 of 10, 20, ..., 130 counts.
std::string FirstScript() {
    std::string text;
    for (int minute = 0; minute < 13; ++minute) {
        text += "2026-12-09 15:" + std::string(minute < 10 ? "0" : "") + std::to_string(minute) +
                ":30 " + std::to_string(10 * (minute + 1)) + "\n";
    }
    return text;
}

class ResumeTest : public test::TMainFormFixture {
protected:
    std::filesystem::path State = Folder / "state";

    void SetUp() override {
        TMainFormFixture::SetUp();
        StateFolder = State / "ostrel";
        std::ofstream(Folder / "first.txt") << FirstScript();
        std::ofstream(Folder / "second.txt")
            << "2026-12-09 15:20:30 7\n2026-12-09 15:21:30 8\n2026-12-09 15:22:30 9\n";
        setenv("OSTREL_SIM_SCRIPT", (Folder / "second.txt").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("OSTREL_SIM_SCRIPT");
        TMainFormFixture::TearDown();
    }
    // The first run: the logger without a window, twelve minutes logged,
    // then ended by signal.
    void FirstRun(int signal) {
        test::THeadlessProcess first(Folder / "program", State, Folder / "first.txt");
        ASSERT_EQ(first.WaitForLines(12).size(), 12U);
        // The journal is written a moment after the lines are printed.
        const auto journal = [this]() -> std::string {
            const std::string marker = test::ReadFile(StateFolder / "journal" / "running");
            const auto start = marker.find("journal=") + 8;
            const auto end = marker.find('\n', start);
            if (marker.empty() || end == start) {
                return {};
            }
            return test::ReadFile(StateFolder / "journal" / marker.substr(start, end - start));
        };
        for (int i = 0; i < 600; ++i) {
            const std::string text = journal();
            if (std::count(text.begin(), text.end(), '\n') == 12) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        first.End(signal);
    }
};

TEST_F(ResumeTest, AKilledLoggerIsTakenUpAgainAndGoesOn) {
    FirstRun(SIGKILL);
    testing::internal::CaptureStderr();
    auto form = Make();
    const std::string told = testing::internal::GetCapturedStderr();
    const std::string from = "ostrel: the last run ended unexpectedly; its 12 minutes are back "
                             "from " +
                             (StateFolder / "journal").string() + "/2026-";
    EXPECT_EQ(told.substr(0, from.size()), from) << told;
    EXPECT_TRUE(told.ends_with(".csv; logging again\n")) << told;
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1);
    EXPECT_TRUE(form->Logger().Timer().isActive());
    RunGuarded([&] { form->TimerTimer(); });
    // The minutes before come back as Open shows them, dose rates of the
    // ten before each; the minute in progress then ends as the live loop
    // ends it, and the new minutes follow.
    EXPECT_EQ(form->Log().Lines(), (std::vector<std::string>{
                                       "26/12/09, 15:00, 10",
                                       "26/12/09, 15:01, 20",
                                       "26/12/09, 15:02, 30",
                                       "26/12/09, 15:03, 40",
                                       "26/12/09, 15:04, 50",
                                       "26/12/09, 15:05, 60",
                                       "26/12/09, 15:06, 70",
                                       "26/12/09, 15:07, 80",
                                       "26/12/09, 15:08, 90",
                                       "26/12/09, 15:09, 100",
                                       "26/12/09, 15:10, 110, 0.0869",
                                       "26/12/09, 15:11, 120, 0.1185",
                                       "26/12/09, 15:20, 7, 0.114866",
                                       "26/12/09, 15:21, 8, 0.10981",
                                   }));
    // Saved under a name of the user's own, never over the journal.
    EXPECT_EQ(form->Logger().Files().FileName(), "");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(ResumeTest, ALoggerEndedInOrderLeavesAnEmptyStart) {
    FirstRun(SIGTERM);
    testing::internal::CaptureStderr();
    auto form = Make();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(form->Logger().Timer().isActive());
    EXPECT_EQ(form->Log().Count(), 0);
    EXPECT_TRUE(form->Logger().Records.Empty());
}

} // namespace
} // namespace ostrel
