// SPDX-License-Identifier: GPL-3.0-or-later
// The main window logging the simulated counter in Tokyo's time zone, with
// radmon.org, gmcmap.com and Safecast turned on in ostrel.ini and played by
// fake services on 127.0.0.1 that go away for five minutes of the log and
// come back, also across a restart.

#include "app/MainForm.h"
#include "display/LogList.h"
#include "support/FakeMapServices.h"
#include "support/MainFormFixture.h"
#include "support/StderrFile.h"
#include "support/Waits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* User = "station";
constexpr const char* Password = "Pw-9f3K!x";
constexpr const char* Account = "04711";
constexpr const char* Geiger = "19870";
constexpr const char* Key = "k-5a7e-c4st";

using test::Eventually;

// The items of a log line "yy/mm/dd, hh:nn, count[, dose]".
std::vector<std::string> Items(const std::string& line) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (std::size_t comma; (comma = line.find(", ", start)) != std::string::npos;
         start = comma + 2) {
        items.push_back(line.substr(start, comma - start));
    }
    items.push_back(line.substr(start));
    return items;
}

// What Safecast must take for a line logged in Tokyo: the minute nine
// hours earlier in UTC, and the count.
std::string SafecastValue(const std::string& line) {
    using namespace std::chrono;
    const std::vector<std::string> items = Items(line);
    const year_month_day date{year(2000 + std::stoi(items[0].substr(0, 2))),
                              month(static_cast<unsigned>(std::stoi(items[0].substr(3, 2)))),
                              day(static_cast<unsigned>(std::stoi(items[0].substr(6, 2))))};
    const sys_seconds utc = sys_days(date) + hours(std::stoi(items[1].substr(0, 2))) +
                            minutes(std::stoi(items[1].substr(3, 2))) - hours(9);
    const year_month_day utcDate{floor<days>(utc)};
    const auto inDay = duration_cast<minutes>(utc - floor<days>(utc)).count();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:00Z %s",
                  static_cast<int>(utcDate.year()), static_cast<unsigned>(utcDate.month()),
                  static_cast<unsigned>(utcDate.day()), static_cast<int>(inDay / 60),
                  static_cast<int>(inDay % 60), items[2].c_str());
    return text;
}

std::string CountOf(const std::string& line) {
    return Items(line)[2];
}

class MapsPublishTest : public test::TMainFormFixture {
protected:
    std::unique_ptr<TMainForm> Form;
    test::TFakeRadmon Radmon{User, Password};
    test::TFakeGmcmap Gmcmap{Account, Geiger};
    test::TFakeSafecast Safecast{Key};
    std::optional<std::string> SavedTz;
    std::optional<test::TStderrFile> Stderr;

    void SetUp() override {
        TMainFormFixture::SetUp();
        if (const char* tz = std::getenv("TZ")) {
            SavedTz = tz;
        }
        setenv("TZ", "Asia/Tokyo", 1);
        tzset();
        setenv("no_proxy", "127.0.0.1", 1);
        setenv("OSTREL_SIM_SPEED", "0", 1); // the test moves the clock
        setenv("OSTREL_SIM_SEED", "7", 1);
        setenv("OSTREL_SIM_CPM", "30", 1);
        StateFolder = Folder / "state" / "ostrel";
        WriteIni("[Radmon]\nUser=" + std::string(User) + "\nPassword=" + Password + "\nURL=" +
                 Radmon.Server.Url() + "\n[GMCmap]\nAccountID=" + Account + "\nGeigerID=" + Geiger +
                 "\nURL=" + Gmcmap.Server.Url() + "\n[Safecast]\nAPIKey=" + Key +
                 "\nLatitude=35.6812\nLongitude=139.7671\nURL=" + Safecast.Server.Url() + "\n");
        Stderr.emplace(Folder / "stderr.txt");
    }
    void TearDown() override {
        Form.reset();
        Stderr.reset();
        for (const char* name : {"OSTREL_SIM_SPEED", "OSTREL_SIM_SEED", "OSTREL_SIM_CPM"}) {
            unsetenv(name);
        }
        if (SavedTz) {
            setenv("TZ", SavedTz->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
        TMainFormFixture::TearDown();
    }
    // Minute by minute until the log holds lines more lines.
    void LogLines(std::size_t lines) {
        const std::size_t target = Form->Log().Lines().size() + lines;
        while (Form->Log().Lines().size() < target) {
            AdvanceClock(60'000);
            RunGuarded([this] { Form->TimerTimer(); });
        }
    }
    std::vector<std::string> SafecastValues(const std::vector<std::string>& lines) const {
        std::vector<std::string> values;
        for (const std::string& line : lines) {
            values.push_back(SafecastValue(line));
        }
        return values;
    }
    void StopServices() {
        Radmon.Server.Stop();
        Gmcmap.Server.Stop();
        Safecast.Server.Stop();
    }
    void StartServices() {
        Radmon.Server.Start();
        Gmcmap.Server.Start();
        Safecast.Server.Start();
    }
    std::string EndAndTakeStderr() {
        Form.reset();
        return Stderr->Text();
    }
    // Every file the program wrote, the settings file aside.
    std::vector<fs::path> WrittenFiles() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(Folder)) {
            if (entry.is_regular_file() && entry.path() != Ini && entry.path() != Stderr->Path) {
                files.push_back(entry.path());
            }
        }
        return files;
    }
};

TEST_F(MapsPublishTest, AFiveMinuteOutageLosesNoSafecastMinuteAndSendsRadmonNoStaleOne) {
    Form = Make();
    Form->StartClick();
    LogLines(10);
    ASSERT_TRUE(Eventually([&] { return Safecast.Taken().size() == 10; }));
    const std::string tenth = CountOf(Form->Log().Lines().back());
    ASSERT_TRUE(Eventually([&] { return !Radmon.Taken().empty() && !Gmcmap.Taken().empty(); }));
    ASSERT_TRUE(Eventually([&] { return Radmon.Taken().back() == tenth; }));
    ASSERT_TRUE(
        Eventually([&] { return Gmcmap.Taken().back().rfind("CPM=" + tenth + " ", 0) == 0; }));
    // Nothing on its way any more, should a count repeat the one before.
    std::this_thread::sleep_for(300ms);
    const std::size_t radmonBefore = Radmon.Taken().size();
    const std::size_t gmcmapBefore = Gmcmap.Taken().size();

    StopServices();
    LogLines(5);
    // Each output tells the outage once, and logging went on.
    ASSERT_TRUE(Eventually(
        [&] {
            const std::string text = Stderr->Text();
            return std::count(text.begin(), text.end(), '\n') >= 3;
        },
        test::WaitLimit));
    StartServices();
    const std::vector<std::string> lines = Form->Log().Lines();
    ASSERT_EQ(lines.size(), 15U);
    ASSERT_TRUE(Eventually([&] { return Safecast.Taken().size() == 15; }));
    ASSERT_TRUE(Eventually([&] { return Radmon.Taken().size() > radmonBefore; }));
    ASSERT_TRUE(Eventually([&] { return Gmcmap.Taken().size() > gmcmapBefore; }));
    std::this_thread::sleep_for(300ms);
    const std::string stderrText = EndAndTakeStderr();

    // Every minute once, in order, at its time in UTC.
    EXPECT_EQ(Safecast.Taken(), SafecastValues(lines));
    EXPECT_EQ(Safecast.Server.RequestCount(), 15U);
    // Of the minutes logged in the outage only the newest went, as "now".
    const std::vector<std::string> radmon = Radmon.Taken();
    EXPECT_EQ(std::vector<std::string>(radmon.begin() + radmonBefore, radmon.end()),
              std::vector<std::string>{CountOf(lines.back())});
    // With the mean of the ten counts that the line's dose rate is made of.
    int sum = 0;
    for (std::size_t k = lines.size() - 10; k < lines.size(); ++k) {
        sum += std::stoi(CountOf(lines[k]));
    }
    const std::string average =
        std::to_string(sum / 10) + (sum % 10 != 0 ? "." + std::to_string(sum % 10) : "");
    const std::vector<std::string> gmcmap = Gmcmap.Taken();
    EXPECT_EQ(std::vector<std::string>(gmcmap.begin() + gmcmapBefore, gmcmap.end()),
              std::vector<std::string>{"CPM=" + CountOf(lines.back()) + " ACPM=" + average +
                                       " uSV=" + Items(lines.back())[3]});

    const std::string refused = ": no answer: Failed to connect to 127.0.0.1 port ";
    EXPECT_EQ(std::count(stderrText.begin(), stderrText.end(), '\n'), 3) << stderrText;
    for (const std::string& prefix :
         {"ostrel: radmon.org: " + Radmon.Server.Url() + "/radmon.php" + refused,
          "ostrel: gmcmap.com: " + Gmcmap.Server.Url() + "/log2.asp" + refused,
          "ostrel: Safecast: " + Safecast.Server.Url() + "/measurements.json" + refused}) {
        EXPECT_NE(stderrText.find(prefix), std::string::npos) << prefix << "\n" << stderrText;
    }
    // No password, key or account anywhere but in the settings file.
    std::vector<std::string> written{stderrText};
    for (const fs::path& file : WrittenFiles()) {
        written.push_back(test::ReadFile(file));
    }
    EXPECT_GE(written.size(), 3U); // the journal and the queue's files at least
    for (const std::string& text : written) {
        for (const char* secret : {Password, Key, Account}) {
            EXPECT_EQ(text.find(secret), std::string::npos) << secret;
        }
    }
}

TEST_F(MapsPublishTest, MinutesWaitingForSafecastAreSentAfterARestart) {
    Form = Make();
    Form->StartClick();
    LogLines(2);
    ASSERT_TRUE(Eventually([&] { return Safecast.Taken().size() == 2; }));
    StopServices();
    LogLines(4);
    const std::vector<std::string> lines = Form->Log().Lines();
    Form.reset();
    const std::vector<std::string> expected = SafecastValues(lines);
    std::string waiting;
    for (std::size_t k = 2; k < expected.size(); ++k) {
        std::string line = expected[k];
        waiting += line.replace(20, 1, ",") + "\n";
    }
    EXPECT_EQ(test::ReadFile(StateFolder / "maps" / "safecast.csv"), waiting);

    StartServices();
    // The next run sends them, without a counter, before anything else.
    Form = Make();
    ASSERT_TRUE(Eventually([&] { return Safecast.Taken().size() == 6; }));
    EXPECT_EQ(Safecast.Taken(), SafecastValues(lines));
    EXPECT_EQ(Safecast.Server.RequestCount(), 6U);
    ASSERT_TRUE(
        Eventually([&] { return test::ReadFile(StateFolder / "maps" / "safecast.csv").empty(); }));
    // No minute of the last run is "now" for radmon.org.
    const std::size_t radmon = Radmon.Server.RequestCount();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(Radmon.Server.RequestCount(), radmon);
}

} // namespace
} // namespace ostrel
