// SPDX-License-Identifier: GPL-3.0-or-later
// The HTTP output with a week of minutes: /metrics and the minutes API as
// the server answers them, the live page's first draw of the week in
// Chromium, and what pages on the live stream cost a logger at x1.

#include "bench/BenchRun.h"
#include "http/HttpMetrics.h"
#include "http/HttpServer.h"

#include <QProcess>
#include <QStandardPaths>
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel::bench {
namespace {

constexpr std::size_t WeekMinutes = 7 * 1440;
constexpr std::size_t LivePageCount = 20;
constexpr double MetricsLimit = 1e-3;
constexpr double DrawLimit = 0.3;

// "26/12/09, 15:04" of a minute in UTC.
std::string Label(std::int64_t utc) {
    const auto day =
        std::chrono::floor<std::chrono::days>(std::chrono::sys_seconds{std::chrono::seconds(utc)});
    const std::chrono::year_month_day date{day};
    const std::int64_t minuteOfDay = (utc - day.time_since_epoch().count() * 86400) / 60;
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02u/%02u, %02lld:%02lld",
                  static_cast<int>(date.year()) % 100, static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long long>(minuteOfDay / 60),
                  static_cast<long long>(minuteOfDay % 60));
    return text;
}

// A week of minutes up to the one that finished last, as a logger's board
// holds them after a week of logging.
std::shared_ptr<THttpBoard> WeekBoard() {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    const std::int64_t newest = now / 60 * 60 - 60;
    std::vector<THttpMinute> minutes;
    for (std::size_t k = 0; k < WeekMinutes; ++k) {
        const std::int64_t utc = newest - 60 * static_cast<std::int64_t>(WeekMinutes - 1 - k);
        const auto count = static_cast<std::int32_t>(15 + (k * 7919) % 31);
        minutes.push_back({utc, utc, Label(utc), count,
                           k < 10 ? std::nullopt : std::optional<double>(count * 0.00324)});
    }
    const THttpMinute last = minutes.back();
    minutes.pop_back();
    auto board = std::make_shared<THttpBoard>();
    board->Replace(std::move(minutes));
    board->Connected(true);
    board->Finished(last, 1234.5, {true, false, false, 0});
    return board;
}

std::shared_ptr<TDeliveryBoard> BusyDeliveries() {
    auto deliveries = std::make_shared<TDeliveryBoard>();
    for (const char* output : {"mqtt", "radmon", "gmcmap", "safecast", "influxdb"}) {
        auto counter = deliveries->Join(output);
        for (int k = 0; k < 100; ++k) {
            counter->Count(TDeliveryResult::Accepted);
        }
    }
    return deliveries;
}

} // namespace

void TBench::Http() {
    std::cerr << "http\n";
    const auto board = WeekBoard();
    const auto deliveries = BusyDeliveries();
    const int runs = 1001;
    const std::vector<TDeliveryCounts> counts = deliveries->Read();
    std::size_t metricsBytes = 0;
    const double metrics = Median(TimeRuns(runs, {}, [&] {
        metricsBytes = MetricsText(board->Status(), deliveries->Read(), "1.4", "roof").size();
    }));
    Row({"/metrics made in the server, 5 outputs, median of " + std::to_string(runs),
         FormatSeconds(metrics), "<= " + FormatSeconds(MetricsLimit),
         FormatCount(metricsBytes) + " bytes", VerdictOf(metrics <= MetricsLimit)});

    THttpServer server({{{"127.0.0.1", 0}, {}, {}}, "1.4", "roof", {}}, board, deliveries);
    if (const std::string failure = server.Start(); !failure.empty()) {
        Failed.push_back("http: " + failure);
        return;
    }
    httplib::Client client("127.0.0.1", server.Port());
    client.set_keep_alive(true);
    bool answered = true;
    const double scrape = Median(TimeRuns(201, {}, [&] {
        const auto result = client.Get("/metrics");
        answered = answered && result && result->status == 200;
    }));
    Row({"  a scrape over loopback, median of 201", FormatSeconds(scrape), "", "", TVerdict::None});
    // The week, page by page, as the live page fetches it.
    std::size_t got = 0;
    std::size_t bytes = 0;
    const std::int64_t newest = *board->Status().Newest->Minute.Utc;
    const std::string first =
        "/api/minutes?from=" + std::to_string(newest - 60 * (WeekMinutes - 1)) +
        "&to=" + std::to_string(newest + 60);
    const double week = Median(TimeRuns(21, {}, [&] {
        got = 0;
        bytes = 0;
        for (std::string path = first; !path.empty();) {
            const auto result = client.Get(path);
            answered = answered && result && result->status == 200;
            if (!answered) {
                return;
            }
            bytes += result->body.size();
            got += static_cast<std::size_t>(
                       std::count(result->body.begin(), result->body.end(), '{')) -
                   1;
            path = result->has_header("Link") ? result->get_header_value("Link") : "";
            path = path.empty() ? "" : path.substr(1, path.find('>') - 1);
        }
    }));
    if (!answered || got != WeekMinutes) {
        Failed.push_back("http: the week came as " + std::to_string(got) + " minutes, not " +
                         std::to_string(WeekMinutes));
    }
    Row({"/api/minutes, 7 days (10,080 minutes, 7 pages) over loopback, median of 21",
         FormatSeconds(week), "", FormatBytes(static_cast<double>(bytes)), TVerdict::None});

    // The page's first draw of the week in Chromium.
    if (QStandardPaths::findExecutable("chromedriver").isEmpty()) {
        Failed.push_back("http: no chromedriver (scripts/install-deps.sh installs it)");
    } else {
        QProcess draw;
        draw.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const int drawRuns = Sizes.IdleSeconds >= 60 ? 5 : 1;
        // Debian's Python, which has Debian's Selenium.
        draw.start("/usr/bin/python3", {QString(OSTREL_SOURCE_DIR) + "/bench/page-draw.py",
                                        "http://127.0.0.1:" + QString::number(server.Port()) + "/",
                                        QString::number(WeekMinutes), QString::number(drawRuns)});
        std::vector<double> drawn;
        if (draw.waitForFinished(300'000) && draw.exitCode() == 0) {
            std::istringstream lines(draw.readAllStandardOutput().toStdString());
            for (double ms = 0; lines >> ms;) {
                drawn.push_back(ms / 1000);
            }
        }
        if (drawn.size() != static_cast<std::size_t>(drawRuns)) {
            Failed.push_back("http: the page did not draw the week in Chromium");
        } else {
            const double median = Median(drawn);
            Row({"The page's first draw of 7 days in Chromium, click to frame, median of " +
                     std::to_string(drawRuns),
                 FormatSeconds(median), "<= " + FormatSeconds(DrawLimit), "",
                 VerdictOf(median <= DrawLimit)});
        }
    }
    server.Stop();
    LivePages(LivePageCount);
}

} // namespace ostrel::bench
