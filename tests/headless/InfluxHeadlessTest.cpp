// SPDX-License-Identifier: GPL-3.0-or-later
// The logger without a window, its simulated counter on a fast clock, sends
// every minute to a real InfluxDB 1.x (/write) and to VictoriaMetrics
// (InfluxDB 2.x's /api/v2/write), both started here on 127.0.0.1: each
// minute is read back with its count, dose rate and time, also the minutes
// of a five-minute outage of the database.

#include "bench/MqttScenario.h"
#include "influx/InfluxOutput.h"
#include "maps/MapsHttp.h"
#include "support/HeadlessProcess.h"
#include "support/Waits.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::Eventually;

constexpr const char* Station = "roof, south=1";
// InfluxDB's password for its user "admin", VictoriaMetrics' token.
constexpr const char* Secret = "Tk-5ecret-9f3K!";

// A minute as the database holds it.
struct TPoint {
    double Count = 0;
    std::optional<double> DoseRate;
    std::string Counter;
    std::string Station;
};
using TPoints = std::map<std::int64_t, TPoint>; // by the minute's start, seconds UTC

THttpReply Request(const std::string& url, const std::string& body = "") {
    THttpClient client;
    return client.Perform({url, body}, {}, [] { return true; });
}

// A database server run by the test on loopback ports, stopped and started
// again over the same data.
class TEngine {
public:
    virtual ~TEngine() {
        Process.kill();
        Process.waitForFinished(test::ProcessWaitMs);
    }
    void Start() {
        Process.setProcessChannelMode(QProcess::MergedChannels);
        Process.setStandardOutputFile(Folder.filePath("engine.log"), QIODevice::Append);
        Process.start(Program(), Arguments());
        ASSERT_TRUE(Process.waitForStarted(test::ProcessWaitMs));
        ASSERT_TRUE(Eventually([this] { return bench::AcceptsOnLoopback(Port); }));
    }
    void Stop() {
        Process.terminate();
        ASSERT_TRUE(Process.waitForFinished(test::ProcessWaitMs));
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(Port); }
    virtual std::string Section() const = 0;
    virtual TPoints Points() = 0;

protected:
    virtual QString Program() const = 0;
    virtual QStringList Arguments() const = 0;

    QTemporaryDir Folder;
    QProcess Process;
    const std::uint16_t Port = bench::FreeLoopbackPort();
};

// InfluxDB 1.6 with a configuration of its own that asks for a user and a
// password, its admin and databases made first: "ostrel", and "typed",
// where cpm is a float.
class TInfluxd final : public TEngine {
public:
    TInfluxd() {
        const std::string dir = Folder.path().toStdString();
        std::ofstream(dir + "/influxdb.conf")
            << "reporting-enabled = false\nbind-address = \"127.0.0.1:" << bench::FreeLoopbackPort()
            << "\"\n[meta]\ndir = \"" << dir << "/meta\"\n[data]\ndir = \"" << dir
            << "/data\"\nwal-dir = \"" << dir << "/wal\"\nquery-log-enabled = false\n"
            << "[monitor]\nstore-enabled = false\n[http]\nbind-address = \"127.0.0.1:" << Port
            << "\"\nlog-enabled = false\nauth-enabled = true\n";
        Start();
        for (const std::string& query :
             {"CREATE USER admin WITH PASSWORD '" + std::string(Secret) + "' WITH ALL PRIVILEGES",
              std::string("CREATE DATABASE ostrel"), std::string("CREATE DATABASE typed")}) {
            EXPECT_EQ(Request(Url() + "/query" + Credentials(), "q=" + PercentEncode(query)).Status,
                      200);
        }
        // In the minute's shard: each shard keeps the fields' types of its own.
        EXPECT_EQ(Request(Url() + "/write" + Credentials() + "&db=typed&precision=s",
                          "ostrel cpm=1.5 1796829720")
                      .Status,
                  204);
    }
    std::string Section() const override {
        return "[InfluxDB]\r\nURL=" + Url() +
               "\r\nDatabase=ostrel\r\nUser=admin\r\nPassword=" + Secret + "\r\n";
    }
    static std::string Credentials() { return "?u=admin&p=" + PercentEncode(Secret); }
    // Each field with the type the lines gave it.
    std::string FieldTypes() {
        return Request(Url() + "/query" + Credentials() + "&db=ostrel&q=SHOW%20FIELD%20KEYS").Body;
    }
    TPoints Points() override {
        const THttpReply reply =
            Request(Url() + "/query" + Credentials() +
                    "&db=ostrel&epoch=s&q=SELECT%20cpm,usvh,counter,station%20FROM%20ostrel");
        TPoints points;
        const QJsonArray series = QJsonDocument::fromJson(QByteArray::fromStdString(reply.Body))
                                      .object()["results"][0]["series"]
                                      .toArray();
        for (const QJsonValue row : series.at(0)["values"].toArray()) {
            const QJsonArray v = row.toArray();
            TPoint& point = points[static_cast<std::int64_t>(v[0].toDouble())];
            point = {v[1].toDouble(), std::nullopt, v[3].toString().toStdString(),
                     v[4].toString().toStdString()};
            if (!v[2].isNull()) {
                point.DoseRate = v[2].toDouble();
            }
        }
        return points;
    }

protected:
    QString Program() const override { return "influxd"; }
    QStringList Arguments() const override {
        return {"run", "-config", Folder.filePath("influxdb.conf")};
    }
};

// VictoriaMetrics, which files the fields of a line as metrics
// ostrel_cpm and ostrel_usvh.
class TVictoriaMetrics final : public TEngine {
public:
    TVictoriaMetrics() { Start(); }
    std::string Section() const override {
        return "[InfluxDB]\r\nURL=" + Url() + "\r\nOrg=home\r\nBucket=ostrel\r\nToken=" + Secret +
               "\r\n";
    }
    TPoints Points() override {
        Request(Url() + "/internal/force_flush");
        const THttpReply reply = Request(
            Url() + "/api/v1/export?match[]=%7B__name__%3D~%22ostrel_.*%22%7D&start=0&end=4e9");
        TPoints points;
        std::istringstream lines(reply.Body);
        for (std::string line; std::getline(lines, line);) {
            const QJsonObject series =
                QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
            const QJsonObject metric = series["metric"].toObject();
            const QJsonArray values = series["values"].toArray();
            const QJsonArray times = series["timestamps"].toArray();
            for (qsizetype k = 0; k < times.size(); ++k) {
                TPoint& point = points[static_cast<std::int64_t>(times[k].toDouble()) / 1000];
                point.Counter = metric["counter"].toString().toStdString();
                point.Station = metric["station"].toString().toStdString();
                if (metric["__name__"] == "ostrel_cpm") {
                    point.Count = values[k].toDouble();
                } else {
                    point.DoseRate = values[k].toDouble();
                }
            }
        }
        return points;
    }

protected:
    QString Program() const override { return "victoria-metrics"; }
    QStringList Arguments() const override {
        return {"-httpListenAddr=127.0.0.1:" + QString::number(Port),
                "-storageDataPath=" + Folder.filePath("data"), "-retentionPeriod=100y",
                "-search.disableCache", "-loggerLevel=ERROR"};
    }
};

// "26/12/09, 15:00, 10, 0.1027" as its minute in UTC (the logger runs in
// Tokyo, nine hours ahead all year), count and dose rate.
struct TLine {
    std::int64_t Utc = 0;
    int Count = 0;
    std::string DoseRate;
};

TLine ReadLine(const std::string& text) {
    std::tm tm{};
    char dose[32] = "";
    EXPECT_GE(std::sscanf(text.c_str(), "%2d/%2d/%2d, %2d:%2d, %d, %31s", &tm.tm_year, &tm.tm_mon,
                          &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, dose),
              6)
        << text;
    const int count = tm.tm_sec;
    tm.tm_year += 100;
    tm.tm_mon -= 1;
    tm.tm_sec = 0;
    return {static_cast<std::int64_t>(timegm(&tm)) - 9 * 3600, count, dose};
}

// The database's point of each line: the line's count, its dose rate to the
// digits the line shows (none when the line has none), the counter and the
// station named.
void ExpectEveryLine(const std::vector<std::string>& lines, const TPoints& points) {
    for (const std::string& text : lines) {
        const TLine line = ReadLine(text);
        const auto found = points.find(line.Utc);
        ASSERT_NE(found, points.end()) << text;
        const TPoint& point = found->second;
        EXPECT_EQ(point.Count, line.Count) << text;
        EXPECT_EQ(point.Counter, "simulated counter");
        EXPECT_EQ(point.Station, Station);
        ASSERT_EQ(point.DoseRate.has_value(), !line.DoseRate.empty()) << text;
        if (point.DoseRate) {
            const auto decimals = line.DoseRate.size() - line.DoseRate.find('.') - 1;
            EXPECT_LE(std::fabs(*point.DoseRate - std::stod(line.DoseRate)),
                      0.5 * std::pow(10.0, -static_cast<double>(decimals)) + 1e-12)
                << text;
        }
    }
}

bool HasAll(const std::vector<std::string>& lines, const TPoints& points) {
    for (const std::string& text : lines) {
        if (!points.contains(ReadLine(text).Utc)) {
            return false;
        }
    }
    return true;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void RunOutage(TEngine& engine, const std::string& where) {
    setenv("TZ", "Asia/Tokyo", 1);
    // Two minutes a second.
    setenv("OSTREL_SIM_SPEED", "120", 1);
    setenv("OSTREL_SIM_SEED", "7", 1);
    setenv("no_proxy", "127.0.0.1", 1);
    const QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    fs::create_directories(folder / "program");
    std::ofstream(folder / "program" / "ostrel.ini")
        << engine.Section() << "[Station]\r\nName=" << Station << "\r\n";
    test::THeadlessProcess logger(folder / "program", folder / "state", "");

    std::vector<std::string> lines = logger.WaitForLines(3);
    ASSERT_TRUE(Eventually([&] { return HasAll(lines, engine.Points()); }));
    engine.Stop();
    // Five minutes and more go by while it is down.
    const std::size_t down = logger.WaitForLines(lines.size() + 1).size();
    lines = logger.WaitForLines(down + 11);
    ASSERT_EQ(lines.size(), down + 11);
    engine.Start();
    lines = logger.WaitForLines(lines.size() + 3);
    // Among them the first ten minutes, without a dose rate, and the
    // minutes after them, with one.
    ASSERT_GT(lines.size(), 12U);
    ASSERT_TRUE(Eventually([&] { return HasAll(lines, engine.Points()); }));
    EXPECT_EQ(logger.End(SIGTERM), 0);
    // The minutes logged, in order, and nothing else.
    const TPoints points = engine.Points();
    const std::vector<std::string> all = logger.WaitForLines(SIZE_MAX);
    ASSERT_LE(points.size(), all.size());
    ExpectEveryLine(std::vector<std::string>(all.begin(), all.begin() + points.size()), points);

    // One line for the outage; the password or the token nowhere.
    const std::string err = logger.Error();
    EXPECT_EQ(err.rfind("ostrel: InfluxDB: " + engine.Url() + where + ": no answer: ", 0), 0U)
        << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_EQ(err.find(Secret), std::string::npos) << err;
    EXPECT_NE(err.find("; the minutes are kept and sent in order once it answers\n"),
              std::string::npos)
        << err;
    for (const auto& entry : fs::recursive_directory_iterator(folder / "state")) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(ReadAll(entry.path()).find(Secret), std::string::npos) << entry.path();
        }
    }
    unsetenv("OSTREL_SIM_SPEED");
    unsetenv("OSTREL_SIM_SEED");
}

TEST(InfluxHeadlessTest, InfluxDbHasEveryMinuteAfterAnOutage) {
    TInfluxd engine;
    RunOutage(engine, "/write");
    const std::string types = engine.FieldTypes();
    EXPECT_NE(types.find(R"(["cpm","integer"],["usvh","float"])"), std::string::npos) << types;
}

TEST(InfluxHeadlessTest, VictoriaMetricsHasEveryMinuteAfterAnOutage) {
    TVictoriaMetrics engine;
    RunOutage(engine, "/api/v2/write");
}

// Against the server itself: its user and password taken, and what it
// answers to a wrong password, a database it has not, and a field of
// another type, each told once and the end of the output's run.
TEST(InfluxHeadlessTest, AnAnswerNoRetryCanMendIsToldOnceAndStopsTheOutput) {
    setenv("no_proxy", "127.0.0.1", 1);
    TInfluxd engine;
    const std::string stopped = "; nothing more goes to InfluxDB in this run";
    const struct {
        const char* Database;
        const char* Password;
        std::string Line; // after "InfluxDB: <url>/write: "; "": none, the minute taken
    } cases[] = {
        {"ostrel", Secret, ""},
        {"ostrel", "wrong",
         R"(HTTP 401, the user or the password is not accepted: "{"error":"authorization failed"}")" +
             stopped},
        {"nope", Secret,
         R"(HTTP 404, no such database: "{"error":"database not found: \"nope\""}")" + stopped},
        {"typed", Secret,
         R"(HTTP 400, a field is stored with another type: "{"error":"partial write: field type )"
         R"(conflict: input field \"cpm\" on measurement \"ostrel\" is ty...")" +
             stopped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Database + std::string(" ") + c.Password);
        std::mutex mutex;
        std::vector<std::string> lines;
        TInfluxSettings settings;
        settings.Url = engine.Url();
        settings.Database = c.Database;
        settings.User = "admin";
        settings.Password = c.Password;
        auto output = MakeInflux(settings, {"gmc", "roof"}, {}, [&](const std::string& text) {
            std::lock_guard lock(mutex);
            lines.push_back(text);
        });
        TFinishedMinute minute;
        minute.Record = {EncodeDate(2026, 12, 9) + EncodeTime(15, 23, 0, 0), 31};
        minute.DoseRate = 0.0489;
        minute.Utc = 1796829780;
        output->MinuteFinished(minute);
        ASSERT_TRUE(Eventually([&] { return output->Waiting() == 0 || output->Stopped(); }));
        EXPECT_EQ(output->Stopped(), !c.Line.empty());
        output.reset();
        EXPECT_EQ(lines, c.Line.empty() ? std::vector<std::string>{}
                                        : std::vector<std::string>{"InfluxDB: " + engine.Url() +
                                                                   "/write: " + c.Line});
    }
    const std::string stored = Request(engine.Url() + "/query" + TInfluxd::Credentials() +
                                       "&db=ostrel&epoch=s&q=SELECT%20*%20FROM%20ostrel")
                                   .Body;
    EXPECT_NE(stored.find(R"("values":[[1796829780,"gmc",31,"roof",0.0489]])"), std::string::npos)
        << stored;
}

} // namespace
} // namespace ostrel
