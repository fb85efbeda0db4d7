// SPDX-License-Identifier: GPL-3.0-or-later
// The logger without a window, as a user or a service manager runs it: no
// display, its lines on the standard output, its end on a signal.

#include "support/HeadlessProcess.h"
#include "support/MosquittoBroker.h"
#include "support/TimeZone.h"
#include "support/Waits.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class HeadlessTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    fs::path Folder = Dir.path().toStdString();
    fs::path Program = Folder / "program";
    fs::path State = Folder / "state";
    fs::path Script = Folder / "script.txt";

    void WriteScript(const std::string& text) { std::ofstream(Script) << text; }
};

TEST_F(HeadlessTest, PrintsEachMinuteAsItIsLoggedAndEndsInOrderOnSigterm) {
    std::string script;
    for (int minute = 0; minute < 13; ++minute) {
        script += "2026-12-09 15:" + std::string(minute < 10 ? "0" : "") + std::to_string(minute) +
                  ":30 " + std::to_string(10 * (minute + 1)) + "\n";
    }
    WriteScript(script);
    test::THeadlessProcess logger(Program, State, Script);
    const std::vector<std::string> lines = {
        "26/12/09, 15:00, 10",  "26/12/09, 15:01, 20",          "26/12/09, 15:02, 30",
        "26/12/09, 15:03, 40",  "26/12/09, 15:04, 50",          "26/12/09, 15:05, 60",
        "26/12/09, 15:06, 70",  "26/12/09, 15:07, 80",          "26/12/09, 15:08, 90",
        "26/12/09, 15:09, 100", "26/12/09, 15:10, 110, 0.1027", "26/12/09, 15:11, 120, 0.1185",
    };
    ASSERT_EQ(logger.WaitForLines(lines.size()), lines);
    // No widget library in the process, no display asked for.
    const std::string maps = ReadAll("/proc/" + std::to_string(logger.Raw().processId()) + "/maps");
    EXPECT_NE(maps.find("libQt6Core"), std::string::npos);
    EXPECT_EQ(maps.find("libQt6Widgets"), std::string::npos);
    EXPECT_EQ(maps.find("libQt6Gui"), std::string::npos);

    EXPECT_EQ(logger.End(SIGTERM), 0);
    EXPECT_EQ(logger.Error(), "");
    std::string saved;
    for (const std::string& line : lines) {
        saved += line + "\r\n";
    }
    std::vector<fs::path> journals;
    for (const auto& entry : fs::directory_iterator(State / "ostrel" / "journal")) {
        if (entry.path().extension() == ".csv") {
            journals.push_back(entry.path());
        }
    }
    ASSERT_EQ(journals.size(), 1U);
    EXPECT_EQ(ReadAll(journals[0]), saved);
    // Ended in order: the next run starts a log of its own.
    EXPECT_FALSE(fs::exists(State / "ostrel" / "journal" / "running"));
    EXPECT_EQ(ReadAll(Program / "ostrel.ini"), "[Graph]\r\nuSv=0.00158\r\nBackGround=0\r\n");
}

struct TRunCase {
    const char* Name;
    QStringList Args;
    const char* Script;
    bool WithoutLibrary;
    int Status;
    const char* Out; // the start of the standard output
    // The start of the standard error stream, "@" standing for the
    // program's folder; "": nothing at all.
    const char* Err;
};

class HeadlessRunTest : public HeadlessTest, public ::testing::WithParamInterface<TRunCase> {};

TEST_P(HeadlessRunTest, EndsWithItsStatusAndItsWords) {
    const TRunCase& c = GetParam();
    WriteScript(c.Script);
    test::THeadlessProcess logger(Program, State, Script, c.Args, c.WithoutLibrary);
    EXPECT_EQ(logger.Finish(), c.Status);
    EXPECT_EQ(logger.Raw().readAllStandardOutput().toStdString().rfind(c.Out, 0), 0U);
    std::string expected = c.Err;
    if (const auto at = expected.find('@'); at != std::string::npos) {
        expected.replace(at, 1, Program.string());
    }
    const std::string err = logger.Error();
    EXPECT_EQ(expected.empty() ? err : err.substr(0, expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeadlessRunTest,
    ::testing::Values(
        TRunCase{"Version", {"--version"}, "", false, 0, "Ostrel 1.4\n", ""},
        TRunCase{
            "Help", {"--help"}, "", false, 0, "Usage: ostrel [--headless] [--device NAME]", ""},
        TRunCase{"UnknownOption",
                 {"--verbose"},
                 "",
                 false,
                 2,
                 "",
                 "ostrel: unknown option --verbose\nUsage: ostrel [--headless]"},
        TRunCase{"UnsafeProfileName",
                 {"--profile", "../north"},
                 "",
                 false,
                 2,
                 "",
                 "ostrel: the profile name \"../north\" is not a file name of letters, digits, "
                 "'-', '_' and '.' (not first)\n"},
        TRunCase{"UnknownCounter",
                 {"--device", "geiger"},
                 "",
                 false,
                 1,
                 "",
                 "ostrel: there is no counter named \"geiger\"; the names are sim, gmc, "
                 "serial-line, radpro, or the path of a device library\nDLLが読めません\n"},
        TRunCase{"NoLibrary",
                 {},
                 "",
                 true,
                 1,
                 "",
                 "ostrel: no device library could be loaded; tried @/libPexlar.so, libPexlar.so\n"
                 "DLLが読めません\n"},
        TRunCase{"CounterGone",
                 {},
                 "2026-12-09 15:00:30 5\n2026-12-09 15:01:30 6\ngone\n",
                 false,
                 1,
                 "26/12/09, 15:00, 5\n",
                 "ostrel: the counter is gone\n"}),
    [](const auto& info) { return std::string(info.param.Name); });

// Two counters logged side by side, each by its profile: each is a station
// of its own at the broker, killed each takes up only its own minutes, and a
// profile in use is not logged twice.
TEST_F(HeadlessTest, ProfilesKeepTheirOwnJournalsAndRunOnceEach) {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((Folder / "config").string()));
    test::TMosquittoBroker broker;
    test::TMqttSubscriber subscriber(broker);
    fs::create_directories(Folder / "config" / "ostrel");
    for (const auto& [name, station] :
         {std::pair{"north", "North shed"}, {"south", "South roof"}}) {
        std::ofstream(Folder / "config" / "ostrel" / (std::string(name) + ".ini"))
            << "[Station]\nName=" << station << "\n[MQTT]\nHost=127.0.0.1\nPort=" << broker.Port
            << "\n";
    }
    const auto run = [this](const std::string& name, const std::string& folder, int minutes) {
        const fs::path script = Folder / (folder + ".txt");
        std::ofstream out(script);
        for (int minute = 0; minute < minutes; ++minute) {
            out << "2026-12-09 15:0" << minute << ":30 " << minute + 1 << "\n";
        }
        return std::make_unique<test::THeadlessProcess>(Folder / folder, State, script,
                                                        QStringList{"--profile", name.c_str()});
    };
    std::vector<std::unique_ptr<test::THeadlessProcess>> loggers;
    loggers.push_back(run("north", "first", 4));
    loggers.push_back(run("south", "second", 6));
    EXPECT_EQ(loggers[0]->WaitForLines(3).size(), 3U);
    EXPECT_EQ(loggers[1]->WaitForLines(5).size(), 5U);
    // Killed once their journals hold what they printed, and their markers
    // name them.
    const auto journaled = [this](const std::string& name, std::size_t lines) {
        const fs::path folder = State / "ostrel" / "profiles" / name / "journal";
        return test::Eventually([&] {
            std::error_code none;
            for (const auto& entry : fs::directory_iterator(folder, none)) {
                const std::string text = ReadAll(entry.path());
                if (entry.path().extension() == ".csv" &&
                    static_cast<std::size_t>(std::ranges::count(text, '\n')) == lines &&
                    ReadAll(folder / "running").find(entry.path().filename().string()) !=
                        std::string::npos) {
                    return true;
                }
            }
            return false;
        });
    };
    EXPECT_TRUE(journaled("north", 3));
    EXPECT_TRUE(journaled("south", 5));
    // Two Home Assistant devices, named as the stations are, each with the
    // minutes of its own counter on its own topic.
    const auto devices = [&subscriber] {
        std::map<std::string, std::string> named; // name: identifier
        for (const std::string& line : subscriber.Lines()) {
            const std::size_t id = line.find(R"("identifiers":[")");
            const std::size_t name = line.find(R"(],"name":")", id);
            if (line.starts_with("homeassistant/sensor/") && name != std::string::npos) {
                named[line.substr(name + 10, line.find('"', name + 10) - name - 10)] =
                    line.substr(id + 16, line.find('"', id + 16) - id - 16);
            }
        }
        return named;
    };
    EXPECT_TRUE(test::Eventually([&] {
        return devices().size() == 2 &&
               subscriber.Payloads("ostrel/north_shed/minute").size() >= 3 &&
               subscriber.Payloads("ostrel/south_roof/minute").size() >= 5;
    }));
    const auto named = devices();
    ASSERT_EQ(named.size(), 2U);
    EXPECT_EQ(named.begin()->first, "North shed");
    EXPECT_NE(named.at("North shed"), named.at("South roof"));
    for (auto& logger : loggers) {
        EXPECT_EQ(logger->End(SIGKILL), -1);
    }
    loggers.clear();
    const std::map<std::string, std::string> back = {{"north", "3"}, {"south", "5"}};
    for (const auto& [name, minutes] : back) {
        loggers.push_back(run(name, name, 2));
        ASSERT_FALSE(loggers.back()->WaitForLines(1).empty());
        const std::string err = loggers.back()->Error();
        const std::string said = "ostrel: the last run ended unexpectedly; its " + minutes +
                                 " minutes are back from " +
                                 (State / "ostrel" / "profiles" / name / "journal").string();
        EXPECT_EQ(err.substr(0, said.size()), said) << err;
    }
    auto third = run("north", "third", 2);
    EXPECT_EQ(third->Finish(), 1);
    EXPECT_EQ(third->Error(), "ostrel: the profile \"north\" is in use by process " +
                                  std::to_string(loggers[0]->Raw().processId()) + "\n");
    qunsetenv("XDG_CONFIG_HOME");
}

// Killed in the hour that the clocks repeat in autumn and started again: the
// minutes taken up from the journal keep their second pass, so the next one
// is sent with the offset it has, not with the first pass's.
TEST_F(HeadlessTest, AMinuteAfterACrashInTheRepeatedHourKeepsItsOffset) {
    test::TTimeZone zone("Europe/Berlin");
    test::TMosquittoBroker broker;
    test::TMqttSubscriber subscriber(broker);
    fs::create_directories(Program);
    std::ofstream(Program / "ostrel.ini") << "[MQTT]\nHost=127.0.0.1\nPort=" << broker.Port << "\n";
    WriteScript("2026-10-25 02:58:30 1\n2026-10-25 02:59:30 2\n2026-10-25 02:00:30 3\n"
                "2026-10-25 02:01:30 4\n2026-10-25 02:02:30 5\n2026-10-25 02:03:30 6\n");
    {
        test::THeadlessProcess logger(Program, State, Script);
        ASSERT_EQ(logger.WaitForLines(5).size(), 5U);
        ASSERT_TRUE(test::Eventually([&] {
            std::error_code none;
            for (const auto& entry : fs::directory_iterator(State / "ostrel" / "journal", none)) {
                if (entry.path().extension() == ".csv" &&
                    std::ranges::count(ReadAll(entry.path()), '\n') == 5) {
                    return subscriber.Payloads("ostrel/minute").size() >= 5;
                }
            }
            return false;
        }));
        EXPECT_EQ(logger.End(SIGKILL), -1);
    }
    WriteScript("2026-10-25 02:04:30 7\n2026-10-25 02:05:30 8\n");
    test::THeadlessProcess logger(Program, State, Script);
    ASSERT_FALSE(logger.WaitForLines(2).empty());
    ASSERT_TRUE(test::Eventually([&] { return subscriber.Payloads("ostrel/minute").size() >= 7; }));
    std::vector<std::string> starts;
    for (const std::string& payload : subscriber.Payloads("ostrel/minute")) {
        starts.push_back(payload.substr(10, 25));
    }
    starts.resize(7); // 02:05, if the end finished it, is not in question
    EXPECT_EQ(starts,
              (std::vector<std::string>{"2026-10-25T02:58:00+02:00", "2026-10-25T02:59:00+02:00",
                                        "2026-10-25T02:00:00+01:00", "2026-10-25T02:01:00+01:00",
                                        "2026-10-25T02:02:00+01:00", "2026-10-25T02:02:00+01:00",
                                        "2026-10-25T02:04:00+01:00"}));
    EXPECT_EQ(logger.End(SIGTERM), 0);
}

// libcurl and libmosquitto are loaded by the outputs that need them, and by
// no other run: the settings turn them on.
struct TLibraryCase {
    const char* Name;
    const char* Settings;
    bool Curl;
    bool Mosquitto;
};

class HeadlessLibraryTest : public HeadlessTest,
                            public ::testing::WithParamInterface<TLibraryCase> {};

TEST_P(HeadlessLibraryTest, OnlyTheOutputsTurnedOnLoadTheirLibraries) {
    const TLibraryCase& c = GetParam();
    WriteScript("2026-12-09 15:00:30 5\n2026-12-09 15:01:30 6\n2026-12-09 15:02:30 7\n");
    fs::create_directories(Program);
    std::ofstream(Program / "ostrel.ini") << c.Settings;
    test::THeadlessProcess logger(Program, State, Script);
    ASSERT_FALSE(logger.WaitForLines(1).empty());
    const std::string maps = ReadAll("/proc/" + std::to_string(logger.Raw().processId()) + "/maps");
    EXPECT_EQ(maps.find("/libcurl.so.") != std::string::npos, c.Curl);
    EXPECT_EQ(maps.find("/libmosquitto.so.") != std::string::npos, c.Mosquitto);
    EXPECT_EQ(logger.End(SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeadlessLibraryTest,
    ::testing::Values(TLibraryCase{"NoOutput", "[Graph]\r\nuSv=0.00158\r\n", false, false},
                      TLibraryCase{"AlarmAndAnEmptyMqttSection",
                                   "[Alarm]\r\nOn=1\r\n[MQTT]\r\nPort=1883\r\n", false, false},
                      TLibraryCase{
                          "Radmon",
                          "[Radmon]\r\nUser=station\r\nPassword=pw\r\nURL=http://127.0.0.1:9\r\n",
                          true, false},
                      TLibraryCase{"Mqtt", "[MQTT]\r\nHost=127.0.0.1\r\nPort=9\r\n", false, true}),
    [](const auto& info) { return std::string(info.param.Name); });

// The window's program hands --headless on to the logger beside it.
TEST(HeadlessLaunchTest, TheWindowProgramRunsTheLoggerWithoutAWindow) {
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    window.setProcessEnvironment(environment);
    window.start(QString(OSTREL_BIN_DIR) + "/ostrel", {"--headless", "--version"});
    ASSERT_TRUE(window.waitForFinished(60000));
    EXPECT_EQ(window.exitCode(), 0);
    EXPECT_EQ(window.readAllStandardOutput().toStdString(), "Ostrel 1.4\n");
}

} // namespace
} // namespace ostrel
