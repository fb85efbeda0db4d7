// SPDX-License-Identifier: GPL-3.0-or-later
// A simulated week of logging: 10,080 minutes of the simulated counter, one
// reading a second, through the main window as the timer drives it. Every
// minute must be one record, every line as the live rules make it, and the
// memory must grow with the records and nothing else. The ASan build runs it
// under LeakSanitizer too.

#include "app/ErrorBox.h"
#include "app/MainForm.h"
#include "display/Chart.h"
#include "display/LogList.h"
#include "support/Environment.h"
#include "support/MainFormFixture.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define OSTREL_HEAP_FROM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTREL_HEAP_FROM_ASAN 1
#endif
#endif

#if defined(OSTREL_HEAP_FROM_ASAN)
// From the sanitizer runtime; GCC installs no header for it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ostrel {
namespace {

constexpr int MinutesPerDay = 1440;
constexpr int Week = 7 * MinutesPerDay;

// "yy/mm/dd, hh:nn" of a date-time value (days since 1899-12-30), worked
// out with the standard calendar rather than the program's own texts.
std::string LineDate(double startTime) {
    using namespace std::chrono;
    const long long minutes = std::llround(startTime * MinutesPerDay);
    const sys_days day = sys_days(1899y / December / 30) + days(minutes / MinutesPerDay);
    const year_month_day date(day);
    const long long minuteOfDay = minutes % MinutesPerDay;
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02u/%02u, %02lld:%02lld",
                  static_cast<int>(date.year()) % 100, static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), minuteOfDay / 60, minuteOfDay % 60);
    return text;
}

// Bytes of heap in use, or nothing where they cannot be told.
std::optional<std::int64_t> HeapInUse() {
#if defined(OSTREL_HEAP_FROM_ASAN)
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
#else
    return std::nullopt;
#endif
}

class SoakTest : public test::TMainFormFixture {
protected:
    std::unique_ptr<TMainForm> Form;
    TFormatSettings Fs;
    std::string SavedZone;

    void SetUp() override {
        TMainFormFixture::SetUp();
        // A week in a zone with summer time would hold a clock change.
        if (const char* zone = std::getenv("TZ")) {
            SavedZone = zone;
        }
        test::SetEnv("TZ", "UTC");
        tzset();
        test::SetEnv("OSTREL_SIM_SPEED", "0"); // the test moves the clock
        test::SetEnv("OSTREL_SIM_SEED", "20110716");
        test::SetEnv("OSTREL_SIM_CPM", "30");
        Form = Make();
        Form->ShowClick();
        Form->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        Form.reset();
        for (const char* name : {"OSTREL_SIM_SPEED", "OSTREL_SIM_SEED", "OSTREL_SIM_CPM"}) {
            test::UnsetEnv(name);
        }
        if (SavedZone.empty()) {
            test::UnsetEnv("TZ");
        } else {
            test::SetEnv("TZ", SavedZone);
        }
        tzset();
        TMainFormFixture::TearDown();
    }
    // Simulated minutes as the timer would run them: the clock moves on a
    // minute, the tick drains its sixty readings. The window's own events
    // (replots, list layout, painting) run every simulated hour.
    void Run(int minutes) {
        for (int minute = 0; minute < minutes; ++minute) {
            AdvanceClock(60'000);
            RunGuarded([this] { Form->TimerTimer(); });
            if (minute % 60 == 59) {
                QCoreApplication::processEvents();
            }
        }
    }

    void ExpectOneRecordPerMinute() const {
        const TRecords& records = Form->Logger().Records;
        // A week of readings, one a second, touches 10,080 or 10,081 minutes
        // depending on where in its minute the clock started.
        ASSERT_GE(records.Count(), std::size_t{Week});
        ASSERT_LE(records.Count(), std::size_t{Week + 1});
        std::int64_t total = 0;
        for (std::size_t k = 0; k < records.Count(); ++k) {
            total += records[k].Count;
            ASSERT_EQ(MinuteKey(records[k].StartTime, Fs), records[k].StartTime) << k;
            if (k > 0) {
                ASSERT_NEAR(records[k].StartTime - records[k - 1].StartTime, 1.0 / MinutesPerDay,
                            1e-9)
                    << k;
            }
        }
        // Poisson counts at 30 a minute: a week's mean lies within 0.2 of it
        // (more than three standard deviations).
        const double mean = static_cast<double>(total) / static_cast<double>(records.Count());
        EXPECT_NEAR(mean, 30.0, 0.2);
    }

    void ExpectLinesAndPointsAsTheLiveRulesMakeThem() const {
        const TRecords& records = Form->Logger().Records;
        const std::vector<std::string> lines = Form->Log().Lines();
        ASSERT_EQ(lines.size(), records.Count() - 1);
        const TChartSeries& cpm = Form->Chart().SeriesCPM();
        const TChartSeries& sv = Form->Chart().SeriesSV();
        ASSERT_EQ(cpm.Count(), static_cast<int>(records.Count()));
        ASSERT_EQ(sv.Count(), static_cast<int>(records.Count()) - 1);
        int labels = 0;
        for (std::size_t j = 0; j < records.Count(); ++j) {
            const int point = static_cast<int>(j);
            ASSERT_EQ(cpm.YValue(point), records[j].Count) << j;
            labels += cpm.Label(point).isEmpty() ? 0 : 1;
            if (j + 1 == records.Count()) {
                break; // the minute in progress has no line yet
            }
            const std::string line =
                LineDate(records[j].StartTime) + ", " + std::to_string(records[j].Count);
            if (j < 10) {
                ASSERT_EQ(lines[j], line) << j;
                ASSERT_TRUE(sv.IsNull(point)) << j;
                continue;
            }
            // The mean of the ten minutes ending with this one, times the
            // default coefficient; the program's exact rounding is pinned by
            // the unit tests, its 15 digits are a relative 1e-14.
            std::int64_t sum = 0;
            for (std::size_t k = j - 9; k <= j; ++k) {
                sum += records[k].Count;
            }
            const double dose = static_cast<double>(sum) / 10 * 0.00158;
            ASSERT_EQ(lines[j].substr(0, line.size() + 2), line + ", ") << j;
            ASSERT_NEAR(std::stod(lines[j].substr(line.size() + 2)), dose, dose * 1e-14) << j;
            ASSERT_NEAR(sv.YValue(point), dose, dose * 1e-14) << j;
        }
        // The first point and every tenth minute carry their minute text.
        EXPECT_GE(labels, Week / 10);
        EXPECT_LE(labels, Week / 10 + 2);
        EXPECT_EQ(Form->Log().ItemIndex(), static_cast<int>(lines.size()) - 1);
    }
};

TEST_F(SoakTest, AWeekOfMinutesIsLoggedWhole) {
    const std::optional<std::int64_t> baseline = HeapInUse();
    Form->StartClick();
    ASSERT_TRUE(Form->Logger().Timer().isActive());
    Run(Week / 2);
    const std::size_t halfRecords = Form->Logger().Records.Count();
    const std::optional<std::int64_t> half = HeapInUse();
    Run(Week - Week / 2);

    EXPECT_TRUE(Errors.empty());
    EXPECT_TRUE(Form->Logger().Timer().isActive());
    ExpectOneRecordPerMinute();
    ExpectLinesAndPointsAsTheLiveRulesMakeThem();
    if (!baseline) {
        return;
    }

    // Each record costs its record, two chart points, a log line of about
    // thirty characters and now and then a label, with room for growth:
    // far below 400 bytes. Readings (sixty a record) or ticks that kept
    // anything would show here, and growth faster than the records would
    // make the second half of the week dearer than the first.
    const std::int64_t records = static_cast<std::int64_t>(Form->Logger().Records.Count());
    const std::int64_t end = *HeapInUse();
    const std::int64_t perRecordFirstHalf =
        (*half - *baseline) / static_cast<std::int64_t>(halfRecords);
    const std::int64_t perRecordSecondHalf =
        (end - *half) / (records - static_cast<std::int64_t>(halfRecords));
    EXPECT_GT(perRecordFirstHalf, 0);
    EXPECT_LT(perRecordFirstHalf, 400);
    EXPECT_LT(perRecordSecondHalf, 400);
    EXPECT_LT(perRecordSecondHalf, perRecordFirstHalf * 3 / 2);

    // New gives back at least the text of a week of lines.
    std::int64_t text = 0;
    for (const std::string& line : Form->Log().Lines()) {
        text += static_cast<std::int64_t>(line.size());
    }
    Form->NewClick();
    QCoreApplication::processEvents();
    const std::int64_t afterNew = *HeapInUse();
    EXPECT_GE(end - afterNew, text);
    std::cout << "[ soak ] " << records << " records; heap grew " << (end - *baseline) / 1024
              << " KiB (" << perRecordFirstHalf << " and " << perRecordSecondHalf
              << " bytes a record in the two halves); New gave back " << (end - afterNew) / 1024
              << " KiB\n";
}

} // namespace
} // namespace ostrel
