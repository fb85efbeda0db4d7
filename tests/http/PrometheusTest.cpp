// SPDX-License-Identifier: GPL-3.0-or-later
// The logger without a window, counting the simulated counter on a fast
// clock, scraped by a real Prometheus every second: what Prometheus stores
// for a minute is the count the logger printed for it.

#include "bench/MqttScenario.h"
#include "support/HeadlessProcess.h"
#include "support/Waits.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <fstream>
#include <map>
#include <string>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// "26/12/09, 15:04, 21, 0.1027" in UTC: its minute's start and its count.
std::pair<std::int64_t, int> LineMinute(const std::string& line) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, count = 0;
    EXPECT_EQ(std::sscanf(line.c_str(), "%d/%d/%d, %d:%d, %d", &year, &month, &day, &hour, &minute,
                          &count),
              6)
        << line;
    const std::chrono::sys_days date{std::chrono::year(2000 + year) /
                                     std::chrono::month(static_cast<unsigned>(month)) /
                                     std::chrono::day(static_cast<unsigned>(day))};
    return {date.time_since_epoch().count() * 86400 + hour * 3600 + minute * 60, count};
}

class TPrometheus {
public:
    TPrometheus(const fs::path& folder, int target) {
        std::ofstream(folder / "prometheus.yml")
            << "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
               "scrape_configs:\n  - job_name: ostrel\n    static_configs:\n"
               "      - targets: ['127.0.0.1:"
            << target << "']\n";
        Process.setProcessChannelMode(QProcess::MergedChannels);
        Process.setStandardOutputFile(QString::fromStdString((folder / "prometheus.log").string()));
        Process.start(
            "prometheus",
            {"--config.file=" + QString::fromStdString((folder / "prometheus.yml").string()),
             "--storage.tsdb.path=" + QString::fromStdString((folder / "tsdb").string()),
             "--web.listen-address=127.0.0.1:" + QString::number(Port)});
    }
    ~TPrometheus() {
        Process.terminate();
        if (!Process.waitForFinished(test::ProcessWaitMs)) {
            Process.kill();
            Process.waitForFinished();
        }
    }
    // The result of an instant or range query; empty when it fails.
    QJsonArray Query(const std::string& path) {
        httplib::Client client("127.0.0.1", Port);
        const auto answer = client.Get(path);
        if (!answer || answer->status != 200) {
            return {};
        }
        return QJsonDocument::fromJson(QByteArray::fromStdString(answer->body))
            .object()["data"]
            .toObject()["result"]
            .toArray();
    }

private:
    const int Port = bench::FreeLoopbackPort();
    QProcess Process;
};

// The CPM of each minute as Prometheus stored it: samples of the minute's
// count and of its start, paired by the scrape that brought them, from one
// query (two could see different scrapes).
std::map<std::int64_t, int> StoredMinutes(TPrometheus& prometheus, std::int64_t start) {
    const QJsonArray result = prometheus.Query(
        "/api/v1/query_range?query=%7B__name__%3D~%22ostrel_counts_per_minute%7C"
        "ostrel_last_minute_timestamp_seconds%22%7D&start=" +
        std::to_string(start) + "&end=" + std::to_string(start + 3600) + "&step=1");
    std::map<std::string, std::map<double, double>> series;
    for (const auto item : result) {
        auto& values =
            series[item.toObject()["metric"].toObject()["__name__"].toString().toStdString()];
        for (const auto value : item.toObject()["values"].toArray()) {
            values[value[0].toDouble()] = value[1].toString().toDouble();
        }
    }
    const auto& starts = series["ostrel_last_minute_timestamp_seconds"];
    std::map<std::int64_t, int> minutes;
    for (const auto& [at, count] : series["ostrel_counts_per_minute"]) {
        if (const auto found = starts.find(at); found != starts.end()) {
            minutes[static_cast<std::int64_t>(found->second)] = static_cast<int>(count);
        }
    }
    return minutes;
}

TEST(Prometheus, StoresTheCountThatTheLoggerPrintedForEachMinute) {
    ASSERT_FALSE(QStandardPaths::findExecutable("prometheus").isEmpty())
        << "no prometheus (scripts/install-deps.sh installs it)";
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    const int port = bench::FreeLoopbackPort();
    fs::create_directories(folder / "program");
    std::ofstream(folder / "program" / "ostrel.ini") << "[HTTP]\nListen=127.0.0.1:" << port << "\n";
    const auto start = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    QProcessEnvironment clock;
    // A minute every two seconds, with a line's minute in UTC.
    clock.insert("OSTREL_SIM_SPEED", "30");
    clock.insert("OSTREL_SIM_SEED", "11");
    clock.insert("TZ", "UTC");
    test::THeadlessProcess logger(folder / "program", folder / "state", {}, {}, false, clock);
    TPrometheus prometheus(folder, port);

    std::map<std::int64_t, int> printed;
    std::map<std::int64_t, int> stored;
    const bool enough = test::Eventually(
        [&] {
            for (const std::string& line : logger.WaitForLines(printed.size() + 1)) {
                printed.insert(LineMinute(line));
            }
            stored = StoredMinutes(prometheus, start - 60);
            return stored.size() >= 4;
        },
        120s);
    ASSERT_TRUE(enough) << "Prometheus stored " << stored.size() << " minutes";
    for (const auto& [minute, count] : stored) {
        for (const std::string& line : logger.WaitForLines(printed.size())) {
            printed.insert(LineMinute(line));
        }
        ASSERT_TRUE(printed.count(minute)) << "a minute the logger did not print: " << minute;
        EXPECT_EQ(count, printed[minute]) << minute;
    }
    const QJsonArray up = prometheus.Query("/api/v1/query?query=up%7Bjob%3D%22ostrel%22%7D");
    ASSERT_EQ(up.size(), 1);
    EXPECT_EQ(up[0].toObject()["value"].toArray()[1].toString(), "1");
    EXPECT_EQ(logger.End(SIGTERM), 0);
    EXPECT_EQ(logger.Error(), "");
}

// A client's socket to the logger's server, with a time limit on reading.
class TRawClient {
public:
    explicit TRawClient(int port) : Sock(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        Connected = ::connect(Sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        const timeval limit{30, 0};
        ::setsockopt(Sock, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~TRawClient() { ::close(Sock); }
    TRawClient(const TRawClient&) = delete;
    TRawClient& operator=(const TRawClient&) = delete;

    void Send(const std::string& bytes) { ::send(Sock, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // What the server sent up to its close; "timeout" when it kept the
    // connection open for 30 s.
    std::string Answer() {
        std::string answer;
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::recv(Sock, buffer, sizeof buffer, 0);
            if (got > 0) {
                answer.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno == ECONNRESET) {
                return answer;
            } else {
                return "timeout";
            }
        }
    }
    bool Connected = false;

private:
    const int Sock;
};

std::string StatusLine(const std::string& answer) {
    return answer.substr(0, answer.find("\r\n"));
}

TEST(HttpHeadless, BadRequestsGetTheirAnswerAndLoggingGoesOn) {
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    const int port = bench::FreeLoopbackPort();
    fs::create_directories(folder / "program");
    std::ofstream(folder / "program" / "ostrel.ini") << "[HTTP]\nListen=127.0.0.1:" << port << "\n";
    QProcessEnvironment clock;
    clock.insert("OSTREL_SIM_SPEED", "30");
    test::THeadlessProcess logger(folder / "program", folder / "state", {}, {}, false, clock);
    ASSERT_EQ(logger.WaitForLines(1).size(), 1U);

    const struct {
        const char* Name;
        std::string Request;
        const char* Status; // "": closed without an answer
    } cases[] = {
        {"a huge head", "GET /metrics HTTP/1.1\r\nX-Pad: " + std::string(20000, 'a') + "\r\n\r\n",
         "HTTP/1.1 400 Bad Request"},
        {"an unknown method", "BREW /metrics HTTP/1.1\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 400 Bad Request"},
        {"a write",
         "POST /api/minutes HTTP/1.1\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}",
         "HTTP/1.1 405 Method Not Allowed"},
        {"a path up", "GET /../ostrel.ini HTTP/1.1\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 404 Not Found"},
        {"a path up, escaped", "GET /%2e%2e/ostrel.ini HTTP/1.1\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 404 Not Found"},
        {"a TLS hello", "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", ""},
        // Cut off when its ten seconds are up.
        {"a request never finished", "GET /metrics HTTP/1.1\r\nHost: attic",
         "HTTP/1.1 400 Bad Request"},
    };
    std::vector<std::unique_ptr<TRawClient>> clients;
    for (const auto& c : cases) {
        clients.push_back(std::make_unique<TRawClient>(port));
        ASSERT_TRUE(clients.back()->Connected) << c.Name;
        clients.back()->Send(c.Request);
    }
    // A hundred at once, besides: each one answered.
    std::vector<std::unique_ptr<TRawClient>> crowd;
    for (int k = 0; k < 100; ++k) {
        crowd.push_back(std::make_unique<TRawClient>(port));
        crowd.back()->Send("GET /api/state HTTP/1.1\r\nConnection: close\r\n\r\n");
    }
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_EQ(StatusLine(clients[k]->Answer()), cases[k].Status) << cases[k].Name;
    }
    int answered = 0;
    for (const auto& client : crowd) {
        answered += StatusLine(client->Answer()) == "HTTP/1.1 200 OK";
    }
    EXPECT_EQ(answered, 100);
    const std::size_t before = logger.WaitForLines(1).size();
    EXPECT_GE(logger.WaitForLines(before + 2).size(), before + 2) << "the logger has stopped";
    httplib::Client client("127.0.0.1", port);
    const auto metrics = client.Get("/metrics");
    ASSERT_TRUE(metrics);
    EXPECT_EQ(metrics->status, 200);
    EXPECT_EQ(logger.End(SIGTERM), 0);
    EXPECT_EQ(logger.Error(), "");
}

} // namespace
} // namespace ostrel
