// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsFile.h"

#include "platform/Exceptions.h"
#include "platform/TextServices.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

namespace fs = std::filesystem;
using namespace ostrel;

namespace {

constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();

TFormatSettings CommaDecimal() {
    TFormatSettings fs;
    fs.DecimalSeparator = ",";
    return fs;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        Folder = fs::temp_directory_path() / ("ostrel-settings-" + std::to_string(random()));
        fs::create_directories(Folder);
        File = Folder / "ostrel.ini";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    void Put(const std::string& bytes) const { std::ofstream(File, std::ios::binary) << bytes; }
    std::string Get() const {
        std::ifstream in(File, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    fs::path Folder;
    fs::path File;
    TFormatSettings Dot;
};

TEST(SettingsPathTest, ReplacesTheExtensionOfTheFileName) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/opt/x/ostrel", "/opt/x/ostrel.ini"},
        {"C:\\a.b\\Ostrel.exe", "C:\\a.b\\Ostrel.ini"},
        {"/a.b/c", "/a.b/c.ini"},
        {"/opt/x/ostrel.bin.exe", "/opt/x/ostrel.bin.ini"},
        {"ostrel", "ostrel.ini"},
        {"/opt/x/Other.exe", "/opt/x/Other.ini"},
        {"/opt/x/.ostrel", "/opt/x/.ini"},
#ifdef _WIN32
        {"C:\\a.b\\c", "C:\\a.b\\c.ini"},
        {"C:/a.b\\c", "C:/a.b\\c.ini"},
#else
        {"/a.b\\c", "/a.ini"}, // "\\" is an ordinary character here
#endif
    };
    for (const auto& [executable, expected] : cases) {
        EXPECT_EQ(SettingsPath(fs::path(executable)).string(), expected) << executable;
    }
}

TEST_F(SettingsFileTest, NoFileGivesDefaultsAndWritesThemBackInOrder) {
    const auto settings = ReadGraphSettings(File, Dot);
    EXPECT_EQ(settings.GraphCoefficient, 0.00158);
    EXPECT_EQ(settings.GraphBackground, 0);
    WriteGraphSettings(File, settings.GraphCoefficient, settings.GraphBackground, Dot);
    EXPECT_EQ(Get(), "[Graph]\r\nuSv=0.00158\r\nBackGround=0\r\n");
}

TEST_F(SettingsFileTest, CoefficientFallsBackToItsDefault) {
    struct TCase {
        const char* Content;
        TFormatSettings Fs;
        double Expected;
    };
    const std::vector<TCase> cases = {
        {"[Graph]\r\nuSv=\r\n", Dot, 0.00158},
        {"[Graph]\r\nuSv=abc\r\n", Dot, 0.00158},
        {"[Graph]\r\nuSv=0,002\r\n", Dot, 0.00158},
        {"[Graph]\r\nuSv=1e999\r\n", Dot, 0.00158},
        {"[Other]\r\nuSv=0.5\r\n", Dot, 0.00158},
        {"[Graph]\r\nuSv=0,002\r\n", CommaDecimal(), 0.002},
        {"[Graph]\r\nuSv= 1E-3 \r\n", Dot, 0.001},
        {"[graph]\r\nUSV=0.25\r\n", Dot, 0.25},
        {"[Graph]\r\nuSv=-0.5\r\n", Dot, -0.5},
    };
    for (const auto& c : cases) {
        Put(c.Content);
        EXPECT_EQ(ReadGraphSettings(File, c.Fs).GraphCoefficient, c.Expected) << c.Content;
    }
}

TEST_F(SettingsFileTest, BackgroundIsTruncatedTowardZero) {
    const std::vector<std::pair<const char*, std::int32_t>> cases = {
        {"12.9", 12},
        {"-3.7", -3},
        {"1e2", 100},
        {"x", 0},
        {"", 0},
        {"-0.5", 0},
        {"1e20", Int32Max},
        {"-1e20", Int32Min},
        {"2147483647.9", Int32Max},
        {"2147483648", Int32Max},
        {"-2147483648.9", Int32Min},
        {"-2147483647", -2147483647},
    };
    for (const auto& [text, expected] : cases) {
        Put(std::string("[GRAPH]\r\nbackground=") + text + "\r\n");
        EXPECT_EQ(ReadGraphSettings(File, Dot).GraphBackground, expected) << text;
    }
}

TEST(TruncateToInt32Test, ClampsWhatDoesNotFit) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<double, std::int32_t>> cases = {
        {std::nan(""), 0},
        {inf, Int32Max},
        {-inf, Int32Min},
        {-0.0, 0},
        {2147483646.99, 2147483646},
        {-2147483647.99, -2147483647},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(TruncateToInt32(value), expected) << value;
    }
}

TEST_F(SettingsFileTest, WrittenPairsReadBack) {
    struct TCase {
        double Coefficient;
        std::int32_t Background;
        TFormatSettings Fs;
        const char* Content;
    };
    const std::vector<TCase> cases = {
        {0.5, -12, CommaDecimal(), "[Graph]\r\nuSv=0,5\r\nBackGround=-12\r\n"},
        {1E-5, Int32Max, Dot, "[Graph]\r\nuSv=1E-5\r\nBackGround=2147483647\r\n"},
        {0.00158, Int32Min, Dot, "[Graph]\r\nuSv=0.00158\r\nBackGround=-2147483648\r\n"},
    };
    for (const auto& c : cases) {
        fs::remove(File);
        WriteGraphSettings(File, c.Coefficient, c.Background, c.Fs);
        EXPECT_EQ(Get(), c.Content);
        const auto back = ReadGraphSettings(File, c.Fs);
        EXPECT_EQ(back.GraphCoefficient, c.Coefficient);
        EXPECT_EQ(back.GraphBackground, c.Background);
    }
}

TEST_F(SettingsFileTest, WritingKeepsTheUsersOtherLines) {
    Put("; mine\n[View]\nzoom=2\n[graph]\nUSV=1\n");
    WriteGraphSettings(File, 0.002, 7, Dot);
    EXPECT_EQ(Get(), "; mine\n[View]\nzoom=2\n[graph]\nuSv=0.002\nBackGround=7\n");
}

TEST_F(SettingsFileTest, UnwritableFolderThrowsWithThePath) {
    const auto path = Folder / "missing" / "ostrel.ini";
    try {
        WriteGraphSettings(path, 0.00158, 0, Dot);
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), path.string() + " に書き込めません");
    }
}

#ifndef _WIN32
// The coefficient's longer text cannot be written under a small file-size
// limit while the shorter background could: the first failure must stop.
TEST_F(SettingsFileTest, FailingCoefficientStopsBeforeBackground) {
    const std::string before = "[Graph]\r\nuSv=0.5\r\nBackGround=3\r\n";
    Put(before);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old;
    limit.rlim_cur = before.size() + 2;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_THROW(WriteGraphSettings(File, 0.123456789012345, 0, Dot), EFileError);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(Get(), before);
}
#endif

} // namespace

TEST_F(SettingsFileTest, WritingTheGraphKeepsTheMqttSection) {
    const std::string mqtt = "[MQTT]\r\nHost = broker\r\nPassword=s=cr;t\r\n";
    Put(mqtt + "[Graph]\r\nuSv=1\r\n");
    WriteGraphSettings(File, 0.002, 7, Dot);
    EXPECT_EQ(Get(), mqtt + "[Graph]\r\nuSv=0.002\r\nBackGround=7\r\n");
}

TEST_F(SettingsFileTest, SectionNumbersOutOfRangeGiveTheirDefaultWithOneLine) {
    struct TCase {
        const char* Keys;
        const char* Expected; // Count Port Interval Level
        const char* Diagnostics;
    };
    const TCase cases[] = {
        {"", "2 1883 1 0.5", ""},
        {"count= -5 \nPort=65535\nInterval=60\nLevel=2.5\n", "-5 65535 60 2.5", ""},
        {"Count=\nPort=1\nInterval=1\nLevel=0\n", "2 1 1 0", ""},
        {"Count=6\nPort=0\nInterval=61\nLevel=2.51\n", "2 1883 1 0.5",
         "ostrel: [Out] Count=6 is not usable; 2 is used instead\n"
         "ostrel: [Out] Port=0 is not usable; 1883 is used instead\n"
         "ostrel: [Out] Interval=61 is not usable; 1 is used instead\n"
         "ostrel: [Out] Level=2.51 is not usable; 0.5 is used instead\n"},
        {"Count=1.0\nPort=65536\nInterval=0\nLevel=0,5\n", "2 1883 1 0.5",
         "ostrel: [Out] Count=1.0 is not usable; 2 is used instead\n"
         "ostrel: [Out] Port=65536 is not usable; 1883 is used instead\n"
         "ostrel: [Out] Interval=0 is not usable; 1 is used instead\n"
         "ostrel: [Out] Level=0,5 is not usable; 0.5 is used instead\n"},
        {"Level=-0.1\n", "2 1883 1 0.5",
         "ostrel: [Out] Level=-0.1 is not usable; 0.5 is used instead\n"},
        {"Level=1e999\n", "2 1883 1 0.5",
         "ostrel: [Out] Level=1e999 is not usable; 0.5 is used instead\n"},
    };
    for (const TCase& c : cases) {
        Put(std::string("[Out]\n") + c.Keys);
        const TSettingsSection section(File, "Out");
        std::ostringstream diagnostics;
        // One at a time: the order of the lines is the order of the reads.
        const std::int32_t count = section.ReadInteger("Count", -5, 5, 2, diagnostics);
        const std::uint16_t port = section.ReadPort("Port", 1883, diagnostics);
        const int interval = section.ReadInterval("Interval", 60, 1, diagnostics);
        const double level = section.ReadDecimal("Level", 0, 2.5, 0.5, diagnostics);
        const std::string got = std::to_string(count) + " " + std::to_string(port) + " " +
                                std::to_string(interval) + " " + FloatToStr(level, Dot);
        EXPECT_EQ(got, c.Expected) << c.Keys;
        EXPECT_EQ(diagnostics.str(), c.Diagnostics) << c.Keys;
    }
}
