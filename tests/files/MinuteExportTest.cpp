// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/MinuteExport.h"
#include "platform/DateTime.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace ostrel {
namespace {

TDateTime At(int year, int month, int day, int hour, int minute) {
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, 0);
}

struct TOffsetCase {
    const char* Zone;
    std::vector<TDateTime> Minutes; // in the order of the log
    std::vector<std::string> Expected;
};

TEST(MinuteExportTest, EachMinuteGetsTheOffsetOfItsInstant) {
    const std::vector<TOffsetCase> cases = {
        {"Asia/Tokyo", {At(2026, 12, 10, 17, 41)}, {"2026-12-10T17:41:00+09:00"}},
        {"America/St_Johns", {At(2026, 1, 5, 8, 0)}, {"2026-01-05T08:00:00-03:30"}},
        // The hour from 02:00 comes twice: the second time, an hour later.
        {"Europe/Berlin",
         {At(2026, 10, 25, 1, 59), At(2026, 10, 25, 2, 0), At(2026, 10, 25, 2, 59),
          At(2026, 10, 25, 2, 0), At(2026, 10, 25, 2, 59), At(2026, 10, 25, 3, 0)},
         {"2026-10-25T01:59:00+02:00", "2026-10-25T02:00:00+02:00", "2026-10-25T02:59:00+02:00",
          "2026-10-25T02:00:00+01:00", "2026-10-25T02:59:00+01:00", "2026-10-25T03:00:00+01:00"}},
        // 02:30 never showed on the wall: taken as the clock before the skip.
        {"Europe/Berlin",
         {At(2026, 3, 29, 1, 59), At(2026, 3, 29, 2, 30), At(2026, 3, 29, 3, 0)},
         {"2026-03-29T01:59:00+01:00", "2026-03-29T02:30:00+01:00", "2026-03-29T03:00:00+02:00"}},
    };
    for (const TOffsetCase& c : cases) {
        TMinuteOffsets offsets{QTimeZone(c.Zone)};
        for (std::size_t k = 0; k < c.Minutes.size(); ++k) {
            std::string text;
            AppendIsoMinute(text, c.Minutes[k], offsets.Next(c.Minutes[k]));
            EXPECT_EQ(text, c.Expected[k]) << c.Zone << " minute " << k;
        }
    }
}

// What other programs read: Python's csv module on three of twelve minutes,
// the first without a dose rate (fewer than ten minutes before it).
TEST(MinuteExportTest, PythonReadsTheFileBack) {
    if (QStandardPaths::findExecutable("python3").isEmpty()) {
        GTEST_SKIP() << "no python3";
    }
    TRecords records;
    for (int k = 0; k < 12; ++k) {
        records.Append({At(2026, 12, 10, 17, k), k < 10 ? 20 : 7});
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("span.csv");
    WriteMinuteCsv(path.toStdString(), {records, 9, 12, 0.00158, 0, QTimeZone("Asia/Tokyo")});
    QProcess python;
    python.start("python3", {"-c",
                             "import csv,sys\n"
                             "rows = list(csv.DictReader(open(sys.argv[1], newline='')))\n"
                             "print(len(rows), rows[0]['time'], repr(rows[0]['dose_rate_usv_h']),"
                             " float(rows[2]['dose_rate_usv_h']))",
                             path});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.readAllStandardOutput().toStdString(),
              "3 2026-12-10T17:09:00+09:00 '' 0.029546\n");
}

} // namespace
} // namespace ostrel
