// SPDX-License-Identifier: GPL-3.0-or-later
// The adapters' own file for the coefficient and background of each port.

#include "adapters/CoefficientStore.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel::adapters {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream input(path, std::ios::binary);
    std::ostringstream text;
    text << input.rdbuf();
    return text.str();
}

TEST(CoefficientStoreTest, FindsThePairOfThePort) {
    const std::string text = "# heading\n"
                             "/dev/ttyUSB0 = 650 0\n"
                             "/dev/ttyUSB1=570\t12\r\n"
                             "/dev/odd=port = 1 2\n"
                             "/dev/big = 65536 0\n"
                             "/dev/one = 5\n"
                             "/dev/three = 1 2 3\n"
                             "/dev/neg = -1 0\n"
                             "# /dev/ttyUSB2 = 3 3\n"
                             "#hash = 4 4\n"
                             "/dev/ttyUSB0 = 1 1\n";
    const std::vector<std::pair<std::string, std::optional<TCoefficientPair>>> cases = {
        {"/dev/ttyUSB0", TCoefficientPair{650, 0}},
        {"/dev/ttyUSB1", TCoefficientPair{570, 12}},
        {"/dev/odd=port", TCoefficientPair{1, 2}},
        {"/dev/big", std::nullopt},
        {"/dev/one", std::nullopt},
        {"/dev/three", std::nullopt},
        {"/dev/neg", std::nullopt},
        {"/dev/ttyUSB", std::nullopt},
        {"# heading", std::nullopt},
        // A line commented out is not the port's; a port named with "#" reads its line.
        {"/dev/ttyUSB2", std::nullopt},
        {"#hash", TCoefficientPair{4, 4}},
    };
    for (const auto& [port, pair] : cases) {
        EXPECT_EQ(FindCoefficients(text, port), pair) << port;
    }
}

TEST(CoefficientStoreTest, SetsOneLineAndKeepsTheOthers) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"", "/dev/ttyUSB0",
         "# Ostrel counter adapter: coefficient (0.00001 uSv/h per CPM) and background (CPM)\n"
         "# of the counter on each serial port.\n/dev/ttyUSB0 = 700 3\n"},
        {"# mine\n/dev/ttyUSB0 = 650 0\n/dev/ttyACM0 = 1 2\n", "/dev/ttyUSB0",
         "# mine\n/dev/ttyUSB0 = 700 3\n/dev/ttyACM0 = 1 2\n"},
        {"# mine\n/dev/ttyACM0 = 1 2", "/dev/ttyUSB0",
         "# mine\n/dev/ttyACM0 = 1 2\n/dev/ttyUSB0 = 700 3\n"},
        {"a = 1 1\n\na = 2 2\n", "a", "a = 700 3\n\na = 2 2\n"},
        {"#a = 1 1\n", "#a", "#a = 700 3\n"},
    };
    for (const auto& [before, port, after] : cases) {
        EXPECT_EQ(WithCoefficients(before, port, {700, 3}), after) << before;
    }
}

TEST(CoefficientStoreTest, ControlCharactersAroundAPortNameAreBlanks) {
    struct TCase {
        std::string Before;
        std::string Port;
        std::optional<TCoefficientPair> Found;
        std::string After; // once the port is set to 700 3
    };
    const std::vector<TCase> cases = {
        {"/dev/a\r = 650 0\r\n", "/dev/a", TCoefficientPair{650, 0}, "/dev/a = 700 3\n"},
        {"/dev/a = 650 0\n", "/dev/a\r", TCoefficientPair{650, 0}, "/dev/a = 700 3\n"},
        {"\f/dev/a\x01=\v650\x1F"
         "0\r\n# x\n",
         "\t/dev/a\r", TCoefficientPair{650, 0}, "/dev/a = 700 3\n# x\n"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(FindCoefficients(c.Before, c.Port), c.Found) << c.Before;
        const std::string after = WithCoefficients(c.Before, c.Port, {700, 3});
        EXPECT_EQ(after, c.After) << c.Before;
        EXPECT_EQ(FindCoefficients(after, c.Port), (TCoefficientPair{700, 3})) << c.Before;
    }
}

#ifndef _WIN32
// The file goes through the shared replacement: a link to it stays a link
// and its target stays readable by its owner alone.
TEST(CoefficientStoreTest, ALinkedOwnerOnlyFileStaysSo) {
    QTemporaryDir folder;
    const std::filesystem::path root(folder.path().toStdString());
    const std::filesystem::path target = root / "kept" / "gmc.state";
    const std::filesystem::path link = root / "gmc.state";
    std::filesystem::create_directories(target.parent_path());
    std::ofstream(target) << "/dev/ttyUSB0 = 650 0\n";
    const auto ownerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    std::filesystem::permissions(target, ownerOnly);
    std::filesystem::create_symlink(target, link);

    WriteCoefficients(link, "/dev/ttyUSB0", {700, 3});

    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "/dev/ttyUSB0 = 700 3\n");
    EXPECT_EQ(std::filesystem::status(target).permissions(), ownerOnly);
}
#endif

TEST(CoefficientStoreTest, WritesCreateTheFolderAndReadBack) {
    QTemporaryDir folder;
    const std::filesystem::path file =
        std::filesystem::path(folder.path().toStdString()) / "state" / "ostrel" / "gmc.state";
    EXPECT_EQ(ReadCoefficients(file, "/dev/ttyUSB0"), std::nullopt);
    WriteCoefficients(file, "/dev/ttyUSB0", {700, 3});
    WriteCoefficients(file, "/dev/ttyACM0", {65535, 65535});
    WriteCoefficients(file, "/dev/ttyUSB0", {0, 1});
    EXPECT_EQ(ReadCoefficients(file, "/dev/ttyUSB0"), (TCoefficientPair{0, 1}));
    EXPECT_EQ(ReadCoefficients(file, "/dev/ttyACM0"), (TCoefficientPair{65535, 65535}));
    const std::string text = ReadFile(file);
    EXPECT_NE(text.find("\n/dev/ttyUSB0 = 0 1\n/dev/ttyACM0 = 65535 65535\n"), std::string::npos)
        << text;
    // Nothing is left behind by the replacing.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(CoefficientStoreTest, AFileThatCannotBeWrittenSaysWhyAndStaysAsItWas) {
    QTemporaryDir folder;
    const std::filesystem::path blocker =
        std::filesystem::path(folder.path().toStdString()) / "file";
    std::ofstream(blocker) << "not a folder";
    const std::filesystem::path file = blocker / "gmc.state";
    try {
        WriteCoefficients(file, "/dev/ttyUSB0", {1, 2});
        FAIL() << "written under a plain file";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind(blocker.string() + ": ", 0), 0u) << error.what();
    }
    EXPECT_EQ(ReadFile(blocker), "not a folder");
}

} // namespace
} // namespace ostrel::adapters
