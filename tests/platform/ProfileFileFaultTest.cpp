// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files that fuzzing found mishandled, kept as regressions: a file
// whose last line ends in a CR without its LF (cut short, or written by a
// CR-only editor).

#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace ostrel {
namespace {

struct TEndingCase {
    const char* Name;
    std::string Before;
    const char* Section;
    const char* Key;
    std::string After; // the whole file once the key is written as "1"
    // A neighbouring key that must read the same before and after.
    const char* OtherSection;
    const char* OtherKey;
    const char* OtherValue;
};

void PrintTo(const TEndingCase& c, std::ostream* out) {
    *out << c.Name;
}

class ProfileFileFaultTest : public ::testing::TestWithParam<TEndingCase> {
protected:
    fs::path Folder;
    fs::path File;

    void SetUp() override {
        std::random_device random;
        Folder = fs::temp_directory_path() / ("ostrel-profile-fault-" + std::to_string(random()));
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
};

const std::vector<TEndingCase> EndingCases = {
    // Found by fuzzing: the new key was joined to the last line, whose value
    // then lost its CR (and, before that, the CR was part of the value).
    {"KeyAddedAfterALastLineCutAfterItsCr", "[Graph]\nBackGround=2\r", "Graph", "uSv",
     "[Graph]\nBackGround=2\nuSv=1\n", "Graph", "BackGround", "2"},
    {"KeyReplacedOnALastLineCutAfterItsCr", "[Graph]\r\nuSv=5\r\nBackGround=3\r", "Graph",
     "BackGround", "[Graph]\r\nuSv=5\r\nBackGround=1\r", "Graph", "uSv", "5"},
    {"SectionAddedAfterALastLineCutAfterItsCr", "[Other]\nx=7\r", "Graph", "uSv",
     "[Other]\nx=7\n[Graph]\nuSv=1\n", "Other", "x", "7"},
    {"ALoneCrIsNoLineEndingForNewLines", "[Other]\r", "Graph", "uSv",
     "[Other]\r\n[Graph]\r\nuSv=1\r\n", "Other", "x", ""},
    // The reduced input that fuzzing stopped on.
    {"FuzzInputWithAnUnclosedSectionAndACrAtTheEnd",
     "; comment\n[Other]\nuSv=1\n[GrSv=1\n[Graph]und\0\xEF\xBB\xBF[graph]'\n[ \n"
     "background=--1.E73 ]=2\r"s,
     "Graph", "uSv",
     "; comment\n[Other]\nuSv=1\n[GrSv=1\n[Graph]und\0\xEF\xBB\xBF[graph]'\n[ \n"
     "background=--1.E73 ]=2\nuSv=1\n"s,
     "Graph", "BackGround", "--1.E73 ]=2"},
    // Found by fuzzing later: the value read "2\r" until the write turned
    // its last CR and the new line break into a CR LF.
    {"KeyAddedAfterALastLineEndingInTwoCrs", "[Graph]\nBackGround=2\r\r", "Graph", "uSv",
     "[Graph]\nBackGround=2\r\nuSv=1\n", "Graph", "BackGround", "2"},
    {"KeyAddedBeforeALineEndingInTwoCrs", "[Graph]\nBackGround=2\r\r\n[Other]\n", "Graph", "uSv",
     "[Graph]\nBackGround=2\r\r\nuSv=1\n[Other]\n", "Graph", "BackGround", "2"},
};

TEST_P(ProfileFileFaultTest, WritingAKeyKeepsEveryOtherValue) {
    const TEndingCase& c = GetParam();
    Put(c.Before);
    EXPECT_EQ(ReadString(File, c.OtherSection, c.OtherKey), c.OtherValue);
    WriteString(File, c.Section, c.Key, "1");
    EXPECT_EQ(Get(), c.After);
    EXPECT_EQ(ReadString(File, c.Section, c.Key), "1");
    EXPECT_EQ(ReadString(File, c.OtherSection, c.OtherKey), c.OtherValue);
}

INSTANTIATE_TEST_SUITE_P(Endings, ProfileFileFaultTest, ::testing::ValuesIn(EndingCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ProfileFileFaultReadTest, ACrBeforeTheEndOfTheFileIsNotPartOfTheValue) {
    const fs::path file = fs::temp_directory_path() / "ostrel-profile-fault-read.ini";
    std::ofstream(file, std::ios::binary) << "[Graph]\r\nuSv=0.002\r";
    EXPECT_EQ(ReadString(file, "Graph", "uSv"), "0.002");
    std::ofstream(file, std::ios::binary) << "[Graph]\ruSv=0.002\r";
    // A CR inside the text is not a line break: no "uSv" line here.
    EXPECT_EQ(ReadString(file, "Graph", "uSv"), "");
    // Stray CRs around a value are not part of it.
    std::ofstream(file, std::ios::binary) << "[Graph]\r\r\nuSv=\r0.002\r\r\nBackGround=3\r\n";
    EXPECT_EQ(ReadString(file, "Graph", "uSv"), "0.002");
    EXPECT_EQ(ReadString(file, "Graph", "BackGround"), "3");
    // Found by fuzzing: a value cut at 2047 characters in the middle of blanks.
    std::ofstream(file, std::ios::binary)
        << "[Graph]\nuSv=" << std::string(2045, '9') << "    \xC3\xA9\n";
    EXPECT_EQ(ReadString(file, "Graph", "uSv"), std::string(2045, '9'));
    fs::remove(file);
}

} // namespace
} // namespace ostrel
