// SPDX-License-Identifier: GPL-3.0-or-later
// The three outputs against fake services on 127.0.0.1, one minute each:
// every kind of reply the services give, a login page in the way, a server
// that never answers and one that is not there.

#include "maps/MapsServices.h"
#include "records/MinuteInstants.h"
#include "support/FakeMapServices.h"
#include "support/Waits.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using test::THttpAnswer;

constexpr const char* User = "station";
constexpr const char* Password = "Pw-9f3K!x";
constexpr const char* Account = "04711";
constexpr const char* Geiger = "19870";
constexpr const char* Key = "k-5a7e-c4st";
constexpr const char* Sensor = "esp8266-12345678";
constexpr const char* Portal = "<!DOCTYPE html><html><body>Log in to Hotel Wi-Fi</body></html>";

enum class TEnd {
    Taken,   // accepted, at once or after a pause
    Stopped, // nothing more is sent
    Waits,   // kept, and not tried again within a second and a half
};

struct TRow {
    const char* Name;
    TMapService Service;
    std::vector<THttpAnswer> Forced; // before the documented replies
    const char* Line; // the one line told; <url> is the request's address, * ends a prefix
    TEnd End;
    const char* Taken; // what the service took
    bool WrongCredential = false;
    bool Down = false; // nobody listens until the output has told the outage
};

const THttpAnswer Silent{200, "", "", true};
const std::string RadmonDown = "; the newest minute goes once it answers";
const std::string SafecastDown = "; the minutes are kept and sent in order once it answers";

const TRow Rows[] = {
    {"RadmonOk", TMapService::Radmon, {}, "", TEnd::Taken, "31"},
    {"RadmonWrongPassword",
     TMapService::Radmon,
     {},
     "radmon.org: <url>: the user or the password is not accepted: \"Incorrect login.\"; nothing "
     "more goes to radmon.org in this run",
     TEnd::Stopped,
     "",
     true},
    {"RadmonEchoesThePassword",
     TMapService::Radmon,
     {{200, "text/html", "No such user station/Pw-9f3K!x"}},
     "radmon.org: <url>: the user or the password is not accepted: \"No such user station/***\"; "
     "nothing more goes to radmon.org in this run",
     TEnd::Stopped,
     ""},
    {"RadmonTooSoon",
     TMapService::Radmon,
     {{200, "text/html", "Too soon"}},
     "radmon.org: <url>: the service says it is too soon; the newest minute goes once it answers",
     TEnd::Waits,
     ""},
    {"RadmonServerError",
     TMapService::Radmon,
     {{503, "text/html", "<h1>Busy</h1>"}},
     "radmon.org: <url>: HTTP 503, the service's own trouble; the newest minute goes once it "
     "answers",
     TEnd::Taken,
     "31"},
    {"RadmonLoginPage",
     TMapService::Radmon,
     {{200, "text/html", Portal}},
     "radmon.org: <url>: HTTP 200, a web page instead of the service's answer (a network's login "
     "page?); the newest minute goes once it answers",
     TEnd::Taken,
     "31"},
    {"RadmonRedirected",
     TMapService::Radmon,
     {{302, "text/html", ""}},
     "radmon.org: <url>: HTTP 302, sent elsewhere (a network's login page does that); the newest "
     "minute goes once it answers",
     TEnd::Taken,
     "31"},
    {"RadmonNeverAnswers",
     TMapService::Radmon,
     {Silent},
     "radmon.org: <url>: no answer: Operation timed out after *",
     TEnd::Taken,
     "31"},
    {"RadmonNotThere",
     TMapService::Radmon,
     {},
     "radmon.org: <url>: no answer: Failed to connect to 127.0.0.1 port *",
     TEnd::Taken,
     "31",
     false,
     true},
    {"GmcmapOk", TMapService::Gmcmap, {}, "", TEnd::Taken, "CPM=31 ACPM=31 uSV="},
    {"GmcmapUnknownAccount",
     TMapService::Gmcmap,
     {},
     "gmcmap.com: <url>: ERR1, the account ID is not known; nothing more goes to gmcmap.com in "
     "this run",
     TEnd::Stopped,
     "",
     true},
    {"GmcmapUnknownCounter",
     TMapService::Gmcmap,
     {{200, "text/html", "ERR2"}},
     "gmcmap.com: <url>: ERR2, the Geiger counter ID is not known; nothing more goes to gmcmap.com "
     "in this run",
     TEnd::Stopped,
     ""},
    {"GmcmapBadValue",
     TMapService::Gmcmap,
     {{200, "text/html", "ERR4"}},
     "gmcmap.com: <url>: ERR4, a value it cannot take; nothing more goes to gmcmap.com in this run",
     TEnd::Stopped,
     ""},
    {"GmcmapServerError",
     TMapService::Gmcmap,
     {{500, "text/html", ""}},
     "gmcmap.com: <url>: HTTP 500, the service's own trouble; the newest minute goes once it "
     "answers",
     TEnd::Taken,
     "CPM=31 ACPM=31 uSV="},
    {"GmcmapLoginPage",
     TMapService::Gmcmap,
     {{200, "text/html", Portal}},
     "gmcmap.com: <url>: HTTP 200, a web page instead of the service's answer (a network's login "
     "page?); the newest minute goes once it answers",
     TEnd::Taken,
     "CPM=31 ACPM=31 uSV="},
    {"SafecastCreated", TMapService::Safecast, {}, "", TEnd::Taken, "2026-12-09T06:23:00Z 31"},
    {"SafecastWrongKey",
     TMapService::Safecast,
     {},
     "Safecast: <url>: HTTP 401, the API key is not accepted; nothing more goes to Safecast in "
     "this run",
     TEnd::Stopped,
     "",
     true},
    {"SafecastInvalid",
     TMapService::Safecast,
     {{422, "application/json", R"({"value":["can't be blank"]})"}},
     "Safecast: <url>: HTTP 422, the measurement is refused: \"{\"value\":[\"can't be "
     "blank\"]}\"; nothing more goes to Safecast in this run",
     TEnd::Stopped,
     ""},
    {"SafecastDuplicate",
     TMapService::Safecast,
     {{422, "application/json", R"({"md5sum":["has already been taken"]})"}},
     "",
     TEnd::Taken,
     ""},
    {"SafecastServerError",
     TMapService::Safecast,
     {{502, "text/html", Portal}},
     "Safecast: <url>: HTTP 502, the service's own trouble; the minutes are kept and sent in "
     "order once it answers",
     TEnd::Taken,
     "2026-12-09T06:23:00Z 31"},
    {"SafecastLoginPage",
     TMapService::Safecast,
     {{200, "text/html", Portal}},
     "Safecast: <url>: HTTP 200, a web page instead of the service's answer (a network's login "
     "page?); the minutes are kept and sent in order once it answers",
     TEnd::Taken,
     "2026-12-09T06:23:00Z 31"},
    {"SafecastNeverAnswers",
     TMapService::Safecast,
     {Silent},
     "Safecast: <url>: no answer: Operation timed out after *",
     TEnd::Taken,
     "2026-12-09T06:23:00Z 31"},
    {"SafecastNotThere",
     TMapService::Safecast,
     {},
     "Safecast: <url>: no answer: Failed to connect to 127.0.0.1 port *",
     TEnd::Taken,
     "2026-12-09T06:23:00Z 31",
     false,
     true},
    {"SensorCommunityUnknownSensor",
     TMapService::SensorCommunity,
     {},
     "sensor.community: <url>: HTTP 403, the network knows no such sensor; nothing more goes to "
     "sensor.community in this run",
     TEnd::Stopped,
     "",
     true},
};

bool Matches(const std::string& line, std::string expected, const std::string& url) {
    expected.replace(expected.find("<url>"), 5, url);
    if (!expected.empty() && expected.back() == '*') {
        expected.pop_back();
        return line.rfind(expected, 0) == 0;
    }
    return line == expected;
}

// The first minute of a log, as the outputs hear it: its own count is the
// mean.
TFinishedMinute Minute(int minute, std::int32_t count) {
    TFinishedMinute finished{{EncodeDate(2026, 12, 9) + EncodeTime(15, minute, 0, 0), count},
                             std::nullopt,
                             "",
                             0,
                             static_cast<double>(count)};
    finished.Utc = TMinuteInstants{}.Next(finished.Record.StartTime);
    return finished;
}

using test::Eventually;

void RunRow(const TRow& row) {
    SCOPED_TRACE(row.Name);
    std::mutex mutex;
    std::vector<std::string> lines;
    const auto report = [&](const std::string& text) {
        std::lock_guard lock(mutex);
        lines.push_back(text);
    };
    const auto told = [&] {
        std::lock_guard lock(mutex);
        return lines;
    };
    const THttpTimeouts timeouts{500ms, 800ms};
    const char* wrong = "wrong";
    std::unique_ptr<test::TFakeMapService> fake;
    std::unique_ptr<TMapsOutput> output;
    const auto deliveries = std::make_shared<TDeliveryCounter>();
    std::string url;
    switch (row.Service) {
    case TMapService::Radmon: {
        fake = std::make_unique<test::TFakeRadmon>(User, Password);
        TRadmonSettings settings{User, row.WrongCredential ? wrong : Password, fake->Server.Url(),
                                 1, timeouts};
        output = MakeRadmon(settings, report, deliveries);
        url = fake->Server.Url() + "/radmon.php";
        break;
    }
    case TMapService::Gmcmap: {
        fake = std::make_unique<test::TFakeGmcmap>(Account, Geiger);
        TGmcmapSettings settings{row.WrongCredential ? wrong : Account, Geiger, fake->Server.Url(),
                                 1, timeouts};
        output = MakeGmcmap(settings, report, deliveries);
        url = fake->Server.Url() + "/log2.asp";
        break;
    }
    case TMapService::Safecast: {
        fake = std::make_unique<test::TFakeSafecast>(Key);
        TSafecastSettings settings{row.WrongCredential ? wrong : Key,
                                   35.6812,
                                   139.7671,
                                   "",
                                   "",
                                   fake->Server.Url(),
                                   timeouts};
        output = MakeSafecast(settings, {}, report, deliveries);
        url = fake->Server.Url() + "/measurements.json";
        break;
    }
    case TMapService::SensorCommunity: {
        // Its other rows, with their requests, are in SensorCommunityTest.cpp.
        fake = std::make_unique<test::TFakeSensorCommunity>(Sensor);
        url = fake->Server.Url() + "/v1/push-sensor-data/";
        output = MakeSensorCommunity(
            {row.WrongCredential ? wrong : Sensor, "SBM-20", url, 1, timeouts}, report, deliveries);
        break;
    }
    }
    fake->Force(row.Forced);
    if (row.Down) {
        fake->Server.Stop();
    }
    output->MinuteFinished(Minute(23, 31));
    if (row.Down) {
        ASSERT_TRUE(Eventually([&] { return !told().empty(); }));
        fake->Server.Start();
    }
    switch (row.End) {
    case TEnd::Taken:
        EXPECT_TRUE(Eventually([&] { return output->Waiting() == 0; }));
        break;
    case TEnd::Stopped:
        ASSERT_TRUE(Eventually([&] { return output->Stopped(); }));
        output->MinuteFinished(Minute(24, 32));
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(fake->Server.RequestCount(), 1U);
        break;
    case TEnd::Waits:
        ASSERT_TRUE(Eventually([&] { return !told().empty(); }));
        std::this_thread::sleep_for(1500ms);
        EXPECT_EQ(fake->Server.RequestCount(), 1U);
        EXPECT_EQ(output->Waiting(), 1U);
        EXPECT_FALSE(output->Stopped());
        break;
    }
    output.reset();
    // What the metrics tell of it: each answer counted by what it meant.
    const std::uint64_t accepted = deliveries->Counted(TDeliveryResult::Accepted);
    const std::uint64_t refused = deliveries->Counted(TDeliveryResult::Refused);
    EXPECT_EQ(accepted, row.End == TEnd::Taken ? 1U : 0U);
    EXPECT_EQ(refused, row.End == TEnd::Stopped ? 1U : 0U);
    if (row.End == TEnd::Waits) {
        EXPECT_EQ(deliveries->Counted(TDeliveryResult::Failed), 1U);
        EXPECT_EQ(deliveries->Holds(), 1U);
    } else if (row.End == TEnd::Taken) {
        EXPECT_EQ(deliveries->Holds(), 0U);
    }
    const std::vector<std::string> all = told();
    if (*row.Line == '\0') {
        EXPECT_EQ(all, std::vector<std::string>{});
    } else {
        ASSERT_EQ(all.size(), 1U) << all.front();
        EXPECT_TRUE(Matches(all.front(), row.Line, url)) << all.front();
    }
    std::vector<std::string> taken;
    if (*row.Taken != '\0') {
        taken.push_back(row.Taken);
    }
    EXPECT_EQ(fake->Taken(), taken);
}

TEST(MapsServerTest, EachReplyIsTakenRetriedOrFinalAsItsServiceMeansIt) {
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    // The fake services are on this computer, whatever proxy the
    // environment names.
    setenv("no_proxy", "127.0.0.1", 1);
    std::vector<std::future<void>> rows;
    for (const TRow& row : Rows) {
        rows.push_back(std::async(std::launch::async, [&row] { RunRow(row); }));
    }
    for (std::future<void>& row : rows) {
        row.get();
    }
    unsetenv("TZ");
    tzset();
}

// openssl's test server on 127.0.0.1 with a certificate that no authority
// signed.
class TSelfSignedServer {
public:
    explicit TSelfSignedServer(const std::filesystem::path& folder) {
        const std::string key = (folder / "key.pem").string();
        const std::string certificate = (folder / "certificate.pem").string();
        const std::string make =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " +
            key + " -out " + certificate +
            " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -days 2 2>/dev/null";
        if (std::system(make.c_str()) != 0) {
            return;
        }
        test::TFakeHttpServer probe([](const test::THttpRequest&) { return THttpAnswer{}; });
        Port = probe.Port;
        probe.Stop();
        const std::string accept = "127.0.0.1:" + std::to_string(Port);
        Child = ::fork();
        if (Child == 0) {
            ::execlp("openssl", "openssl", "s_server", "-quiet", "-www", "-accept", accept.c_str(),
                     "-cert", certificate.c_str(), "-key", key.c_str(), nullptr);
            ::_exit(127);
        }
    }
    // Whether openssl takes connections by now.
    bool Listening() const {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(Port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(s);
        return ok;
    }
    ~TSelfSignedServer() {
        if (Child > 0) {
            ::kill(Child, SIGTERM);
            ::waitpid(Child, nullptr, 0);
        }
    }
    TSelfSignedServer(const TSelfSignedServer&) = delete;
    TSelfSignedServer& operator=(const TSelfSignedServer&) = delete;

    pid_t Child = -1;
    std::uint16_t Port = 0;
};

TEST(MapsServerTest, AServerWhoseCertificateNoAuthoritySignedIsNoAnswer) {
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / "ostrel-maps-tls";
    std::filesystem::create_directories(folder);
    TSelfSignedServer server(folder);
    ASSERT_GT(server.Child, 0);
    ASSERT_TRUE(Eventually([&] { return server.Listening(); }));
    std::mutex mutex;
    std::vector<std::string> lines;
    const std::string url = "https://127.0.0.1:" + std::to_string(server.Port);
    auto output = MakeSafecast({Key, 35.6812, 139.7671, "", "", url, {500ms, 2000ms}}, {},
                               [&](const std::string& text) {
                                   std::lock_guard lock(mutex);
                                   lines.push_back(text);
                               });
    output->MinuteFinished(Minute(23, 31));
    EXPECT_TRUE(Eventually(
        [&] {
            std::lock_guard lock(mutex);
            return !lines.empty();
        },
        test::WaitLimit));
    EXPECT_EQ(output->Waiting(), 1U);
    output.reset();
    std::lock_guard lock(mutex);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0].rfind("Safecast: " + url +
                                 "/measurements.json: no answer: SSL certificate "
                                 "problem: ",
                             0),
              0U)
        << lines[0];
    std::filesystem::remove_all(folder);
}

TEST(MapsServerTest, PausesDoubleFromASecondToFiveMinutes) {
    TBackoff backoff;
    std::vector<long> pauses;
    for (int k = 0; k < 11; ++k) {
        pauses.push_back(static_cast<long>(backoff.Next().count()));
    }
    EXPECT_EQ(pauses, (std::vector<long>{1, 2, 4, 8, 16, 32, 64, 128, 256, 300, 300}));
    backoff.Reset();
    EXPECT_EQ(backoff.Next().count(), 1);
}

} // namespace
} // namespace ostrel
