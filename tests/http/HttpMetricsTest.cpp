// SPDX-License-Identifier: GPL-3.0-or-later
// The metrics text as Prometheus reads it, and the minutes as the API and
// the live page's stream hand them out.

#include "http/HttpMetrics.h"
#include "http/HttpBoard.h"
#include "http/HttpMinutes.h"
#include "http/HttpOutput.h"
#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include <vector>

namespace ostrel {
namespace {

const char* const Head = "# HELP ostrel_build_info The program's version and the station's name.\n"
                         "# TYPE ostrel_build_info gauge\n"
                         "ostrel_build_info{version=\"1.4\",station=\"roof \\\"A\\\"\"} 1\n"
                         "# HELP ostrel_counts_total Counts of the minutes finished in this run.\n"
                         "# TYPE ostrel_counts_total counter\n";

const char* const Connected = "# HELP ostrel_counter_connected Whether a counter is connected.\n"
                              "# TYPE ostrel_counter_connected gauge\n";

THttpMinute Minute(std::optional<std::int64_t> utc, std::int32_t count,
                   std::optional<double> doseRate) {
    return {utc.value_or(0), utc, "26/12/09, 15:04", count, doseRate};
}

struct TMetricsCase {
    const char* Name;
    THttpStatus Status;
    std::vector<TDeliveryCounts> Deliveries;
    std::string Expected; // after the head
};

TEST(HttpMetrics, TellsTheNewestMinuteInBaseUnits) {
    const TAlarmState on{true, true, true, 0.5};
    const TMetricsCase cases[] = {
        {"BeforeTheFirstMinute",
         {false, 0, std::nullopt},
         {},
         std::string("ostrel_counts_total 0\n") + Connected + "ostrel_counter_connected 0\n"},
        {"AMinuteWithItsDoseRate",
         {true, 1234, THttpReading{Minute(1796828640, 21, 0.1027), 3.5, on}},
         {},
         std::string("ostrel_counts_total 1234\n") + Connected +
             "ostrel_counter_connected 1\n"
             "# HELP ostrel_counts_per_minute Counts of the last finished minute.\n"
             "# TYPE ostrel_counts_per_minute gauge\n"
             "ostrel_counts_per_minute 21\n"
             "# HELP ostrel_dose_rate_sieverts_per_hour Dose rate on the last finished "
             "minute's log line.\n"
             "# TYPE ostrel_dose_rate_sieverts_per_hour gauge\n"
             "ostrel_dose_rate_sieverts_per_hour 1.027e-07\n"
             "# HELP ostrel_dose_sieverts Dose of the log so far.\n"
             "# TYPE ostrel_dose_sieverts gauge\n"
             "ostrel_dose_sieverts 3.5e-06\n"
             "# HELP ostrel_alarm Whether the dose-rate alarm is on.\n"
             "# TYPE ostrel_alarm gauge\n"
             "ostrel_alarm 1\n"
             "# HELP ostrel_last_minute_timestamp_seconds Start of the last finished minute, "
             "seconds since 1970 UTC.\n"
             "# TYPE ostrel_last_minute_timestamp_seconds gauge\n"
             "ostrel_last_minute_timestamp_seconds 1796828640\n"},
        // The first ten lines of a log carry no dose rate; a minute of the
        // hour skipped in spring names no instant.
        {"AMinuteWithoutDoseRateOrInstant",
         {true, 7, THttpReading{Minute(std::nullopt, 7, std::nullopt), 0, {}}},
         {},
         std::string("ostrel_counts_total 7\n") + Connected +
             "ostrel_counter_connected 1\n"
             "# HELP ostrel_counts_per_minute Counts of the last finished minute.\n"
             "# TYPE ostrel_counts_per_minute gauge\n"
             "ostrel_counts_per_minute 7\n"
             "# HELP ostrel_dose_sieverts Dose of the log so far.\n"
             "# TYPE ostrel_dose_sieverts gauge\n"
             "ostrel_dose_sieverts 0\n"
             "# HELP ostrel_alarm Whether the dose-rate alarm is on.\n"
             "# TYPE ostrel_alarm gauge\n"
             "ostrel_alarm 0\n"},
        {"Deliveries",
         {false, 0, std::nullopt},
         {{"mqtt", {5, 1, 0}, 2}, {"safecast", {0, 3, 1}, 0}},
         std::string("ostrel_counts_total 0\n") + Connected +
             "ostrel_counter_connected 0\n"
             "# HELP ostrel_output_deliveries_total Deliveries of the outputs that send minutes "
             "away, by the service's answer.\n"
             "# TYPE ostrel_output_deliveries_total counter\n"
             "ostrel_output_deliveries_total{output=\"mqtt\",result=\"accepted\"} 5\n"
             "ostrel_output_deliveries_total{output=\"mqtt\",result=\"failed\"} 1\n"
             "ostrel_output_deliveries_total{output=\"mqtt\",result=\"refused\"} 0\n"
             "ostrel_output_deliveries_total{output=\"safecast\",result=\"accepted\"} 0\n"
             "ostrel_output_deliveries_total{output=\"safecast\",result=\"failed\"} 3\n"
             "ostrel_output_deliveries_total{output=\"safecast\",result=\"refused\"} 1\n"
             "# HELP ostrel_output_held_minutes Minutes an output holds that no service has "
             "taken yet.\n"
             "# TYPE ostrel_output_held_minutes gauge\n"
             "ostrel_output_held_minutes{output=\"mqtt\"} 2\n"
             "ostrel_output_held_minutes{output=\"safecast\"} 0\n"},
    };
    for (const TMetricsCase& c : cases) {
        EXPECT_EQ(MetricsText(c.Status, c.Deliveries, "1.4", "roof \"A\""), Head + c.Expected)
            << c.Name;
    }
}

TEST(HttpMinutes, WritesMinutesAsJsonAndCsv) {
    const std::vector<THttpMinute> minutes = {
        Minute(1796828640, 21, 0.1027),
        {1796828640, std::nullopt, "26/12/09, \"02:30\"", 0, std::nullopt},
    };
    EXPECT_EQ(MinutesJson(minutes, "/api/minutes?from=1&to=2"),
              "{\"minutes\":[{\"utc\":\"2026-12-09T15:04:00Z\",\"label\":\"26/12/09, 15:04\","
              "\"count\":21,\"usvh\":0.1027},{\"utc\":null,\"label\":\"26/12/09, \\\"02:30\\\"\","
              "\"count\":0,\"usvh\":null}],\"next\":\"/api/minutes?from=1&to=2\"}");
    EXPECT_EQ(MinutesJson({}, std::nullopt), "{\"minutes\":[],\"next\":null}");
    EXPECT_EQ(MinutesCsv({minutes.data(), 1}),
              "utc,label,count,usvh\r\n2026-12-09T15:04:00Z,\"26/12/09, 15:04\",21,0.1027\r\n");
    EXPECT_EQ(LineLabel("26/12/09, 15:04, 12, 0.1027"), "26/12/09, 15:04");
    EXPECT_EQ(LineLabel("26.12.09, 15:04, 12"), "26.12.09, 15:04");
}

TEST(HttpBoard, HandsEachStreamTheEventsItHasNotSent) {
    THttpBoard board;
    const auto [first, state] = board.Subscribe();
    EXPECT_EQ(state,
              "event: state\ndata: {\"connected\":false,\"alarm\":null,\"minute\":null}\n\n");
    board.Connected(true);
    board.Finished(Minute(1796828640, 21, std::nullopt), 0, {true, false, false, 0});
    const THttpEvents events = board.WaitForEvents(first, std::chrono::milliseconds(0));
    EXPECT_EQ(events.Last, first + 2);
    EXPECT_EQ(events.Texts,
              (std::vector<std::string>{
                  "event: state\ndata: {\"connected\":true,\"alarm\":null,\"minute\":null}\n\n",
                  "event: minute\ndata: {\"connected\":true,\"alarm\":false,\"minute\":{\"utc\":"
                  "\"2026-12-09T15:04:00Z\",\"label\":\"26/12/09, 15:04\",\"count\":21,"
                  "\"usvh\":null}}\n\n"}));
    EXPECT_TRUE(board.WaitForEvents(events.Last, std::chrono::milliseconds(0)).Texts.empty());
    // A stream far behind gets the newest that are kept.
    for (int k = 0; k < 100; ++k) {
        board.Finished(Minute(1796828700 + 60 * k, k, std::nullopt), 0, {});
    }
    const THttpEvents behind = board.WaitForEvents(first, std::chrono::milliseconds(0));
    ASSERT_EQ(behind.Texts.size(), THttpBoard::KeptEvents);
    EXPECT_NE(behind.Texts.back().find("\"count\":99,"), std::string::npos);
    EXPECT_EQ(board.Status().CountsTotal, 21U + 4950U);
    board.End();
    EXPECT_TRUE(board.WaitForEvents(behind.Last, std::chrono::hours(1)).Ended);
}

TEST(HttpOutput, AnOpenedLogsMinutesCarryTheirInstantsLabelsAndDoseRates) {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    TRecords records;
    for (int k = 0; k < 12; ++k) {
        records.Append({EncodeDate(2026, 12, 10) + EncodeTime(0, 4 + k, 0, 0), 20 + k});
    }
    TFormatSettings fs;
    fs.DateSeparator = ".";
    fs.CurrentYear = 2026;
    const std::vector<THttpMinute> minutes = BoardMinutes({records, 0.00158, 0, fs});
    ASSERT_EQ(minutes.size(), 12U);
    EXPECT_EQ(minutes[0].Label, "26.12.10, 00:04");
    EXPECT_EQ(minutes[0].Utc, 1796828640); // 2026-12-09T15:04:00Z
    EXPECT_EQ(minutes[11].Key, 1796828640 + 11 * 60);
    EXPECT_EQ(minutes[11].Count, 31);
    EXPECT_FALSE(minutes[9].DoseRate);
    // The coefficient times the mean of the ten minutes before it, 24.5 CPM.
    ASSERT_TRUE(minutes[10].DoseRate);
    EXPECT_NEAR(*minutes[10].DoseRate, 0.00158 * 24.5, 1e-12);
    unsetenv("TZ");
    tzset();
}

} // namespace
} // namespace ostrel
