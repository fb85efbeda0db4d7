// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProfileFile.h"

#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using ostrel::ReadString;
using ostrel::WriteString;

namespace {

// A fresh folder per test, removed afterwards.
class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        Folder = fs::temp_directory_path() / ("ostrel-profile-" + std::to_string(random()));
        fs::create_directories(Folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(Folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(Folder, ignored);
    }

    static void Put(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Get(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Folder)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    static void ExpectCannotWrite(const fs::path& path, const std::function<void()>& write) {
        try {
            write();
            FAIL() << "no error for " << path;
        } catch (const ostrel::EFileError& e) {
            EXPECT_EQ(std::string(e.what()), path.string() + " に書き込めません");
        }
    }

    fs::path Folder;
};

struct TReadCase {
    const char* Name;
    std::string Content;
    const char* Section;
    const char* Key;
    std::string Expected;
};

TEST_F(ProfileFileTest, ReadsValuesByTheProfileRules) {
    const std::vector<TReadCase> cases = {
        {"plain", "[Graph]\r\nuSv=0.002\r\n", "Graph", "uSv", "0.002"},
        {"missing key", "[Graph]\r\nuSv=1\r\n", "Graph", "BackGround", ""},
        {"missing section", "[Other]\r\nuSv=1\r\n", "Graph", "uSv", ""},
        {"letter case of names", "[graph]\r\nUSV=0.003\r\n", "Graph", "uSv", "0.003"},
        {"blanks around key and value", "[Graph]\r\n  uSv \t=  0.004 \t\r\n", "Graph", "uSv",
         "0.004"},
        {"inner blanks kept", "[Graph]\r\nuSv= 1 2 \r\n", "Graph", "uSv", "1 2"},
        {"after the first =", "[Graph]\r\nuSv=a=b\r\n", "Graph", "uSv", "a=b"},
        {"empty value", "[Graph]\r\nuSv=\r\n", "Graph", "uSv", ""},
        {"line without =", "[Graph]\r\nuSv\r\n", "Graph", "uSv", ""},
        {"key of another section", "[Other]\r\nuSv=1\r\n[Graph]\r\nBackGround=2\r\n", "Graph",
         "uSv", ""},
        {"key after the section", "[Graph]\r\n[Other]\r\nuSv=1\r\n", "Graph", "uSv", ""},
        {"longer section name", "[Graphs]\r\nuSv=1\r\n", "Graph", "uSv", ""},
        {"first of two keys", "[Graph]\r\nuSv=1\r\nuSv=2\r\n", "Graph", "uSv", "1"},
        {"first of two sections", "[Graph]\r\nuSv=1\r\n[Graph]\r\nuSv=2\r\n", "Graph", "uSv", "1"},
        {"LF and no last ending", "[Graph]\nx=1\nuSv=3", "Graph", "uSv", "3"},
        {"byte-order mark", "\xEF\xBB\xBF[Graph]\r\nuSv=4\r\n", "Graph", "uSv", "4"},
        {"blanks around section", "  [ Graph ]  ; c\r\nuSv=5\r\n", "Graph", "uSv", "5"},
        {"blank lines and comment", "[Graph]\r\n\r\n; note\r\nuSv=6\r\n", "Graph", "uSv", "6"},
        {"CR kept off the value", "[Graph]\r\nuSv=7\r\n", "graph", "usv", "7"},
        {"UTF-8 value", "[Graph]\r\nname=値\r\n", "Graph", "name", "値"},
    };
    const auto path = Folder / "a.ini";
    for (const auto& c : cases) {
        Put(path, c.Content);
        EXPECT_EQ(ReadString(path, c.Section, c.Key), c.Expected) << c.Name;
    }
}

TEST_F(ProfileFileTest, MissingFileOrFolderReadsEmpty) {
    EXPECT_EQ(ReadString(Folder / "none.ini", "Graph", "uSv"), "");
    EXPECT_EQ(ReadString(Folder / "none" / "a.ini", "Graph", "uSv"), "");
    EXPECT_EQ(ReadString(Folder, "Graph", "uSv"), "");
}

TEST_F(ProfileFileTest, ValueIsCutAfter2047Characters) {
    struct TCase {
        const char* Name;
        std::string Value;
        std::string Expected;
    };
    std::string japanese;
    for (int i = 0; i < 2047; ++i) {
        japanese += "あ";
    }
    const std::vector<TCase> cases = {
        {"ASCII 3000", std::string(3000, 'x'), std::string(2047, 'x')},
        {"ASCII 2047", std::string(2047, 'y'), std::string(2047, 'y')},
        {"ASCII 2048", std::string(2048, 'z'), std::string(2047, 'z')},
        {"three-byte characters", japanese + "い", japanese},
    };
    const auto path = Folder / "a.ini";
    for (const auto& c : cases) {
        Put(path, "[Graph]\r\nuSv=" + c.Value + "\r\n");
        EXPECT_EQ(ReadString(path, "Graph", "uSv"), c.Expected) << c.Name;
    }
}

struct TWriteCase {
    const char* Name;
    std::optional<std::string> Before; // nullopt: no file
    const char* Section;
    const char* Key;
    const char* Value;
    std::string After;
};

TEST_F(ProfileFileTest, WritesKeepEveryOtherLine) {
    const std::vector<TWriteCase> cases = {
        {"creates the file", std::nullopt, "Graph", "uSv", "0.00158", "[Graph]\r\nuSv=0.00158\r\n"},
        {"empty file", "", "Graph", "uSv", "1", "[Graph]\r\nuSv=1\r\n"},
        {"replaces in place", "; top \r\n[Graph]\r\nuSv=1\r\nBackGround=2\r\n[Other]\r\nx = y \r\n",
         "Graph", "uSv", "3",
         "; top \r\n[Graph]\r\nuSv=3\r\nBackGround=2\r\n[Other]\r\nx = y \r\n"},
        {"replaces whatever the letter case", "[graph]\r\n USV = 1 \r\nz=1\r\n", "Graph", "uSv",
         "9", "[graph]\r\nuSv=9\r\nz=1\r\n"},
        {"adds the key after the section's last line", "[Graph]\r\nuSv=1\r\n\r\n[Other]\r\nx=y\r\n",
         "Graph", "BackGround", "0", "[Graph]\r\nuSv=1\r\nBackGround=0\r\n\r\n[Other]\r\nx=y\r\n"},
        {"adds to an empty section", "[Graph]\r\n[Other]\r\n", "Graph", "uSv", "1",
         "[Graph]\r\nuSv=1\r\n[Other]\r\n"},
        {"adds the section at the end", "[Other]\r\nx=y\r\n", "Graph", "uSv", "1",
         "[Other]\r\nx=y\r\n[Graph]\r\nuSv=1\r\n"},
        {"keeps LF endings", "[Other]\nx=y\n", "Graph", "uSv", "1",
         "[Other]\nx=y\n[Graph]\nuSv=1\n"},
        {"ends an unended last line", "[Graph]\nuSv=1", "Graph", "BackGround", "0",
         "[Graph]\nuSv=1\nBackGround=0\n"},
        {"replaces an unended last line", "[Graph]\r\nuSv=1", "Graph", "uSv", "2",
         "[Graph]\r\nuSv=2"},
        {"header without any ending", "[Graph]", "Graph", "uSv", "1", "[Graph]\r\nuSv=1\r\n"},
        {"keeps the byte-order mark", "\xEF\xBB\xBF[Graph]\r\nuSv=1\r\n", "Graph", "uSv", "2",
         "\xEF\xBB\xBF[Graph]\r\nuSv=2\r\n"},
        {"only the first section", "[Graph]\r\nuSv=1\r\n[Graph]\r\nuSv=2\r\n", "Graph", "uSv", "3",
         "[Graph]\r\nuSv=3\r\n[Graph]\r\nuSv=2\r\n"},
        {"other bytes untouched", "[Other]\r\nname=値\t \r\n\r\n\r\n", "Graph", "uSv", "1",
         "[Other]\r\nname=値\t \r\n\r\n\r\n[Graph]\r\nuSv=1\r\n"},
        {"empty value", "[Graph]\r\nuSv=1\r\n", "Graph", "uSv", "", "[Graph]\r\nuSv=\r\n"},
    };
    const auto path = Folder / "a.ini";
    for (const auto& c : cases) {
        fs::remove(path);
        if (c.Before) {
            Put(path, *c.Before);
        }
        WriteString(path, c.Section, c.Key, c.Value);
        EXPECT_EQ(Get(path), c.After) << c.Name;
        EXPECT_EQ(Listing(), std::vector<std::string>{"a.ini"}) << c.Name;
    }
}

TEST_F(ProfileFileTest, WrittenValueReadsBack) {
    const auto path = Folder / "a.ini";
    WriteString(path, "Graph", "uSv", "0.00158");
    WriteString(path, "Graph", "BackGround", "-12");
    WriteString(path, "graph", "USV", "1E-5");
    EXPECT_EQ(Get(path), "[Graph]\r\nUSV=1E-5\r\nBackGround=-12\r\n");
    EXPECT_EQ(ReadString(path, "Graph", "uSv"), "1E-5");
    EXPECT_EQ(ReadString(path, "GRAPH", "background"), "-12");
}

TEST_F(ProfileFileTest, UnwritablePlacesThrowTheFileError) {
    const auto plainFile = Folder / "plain";
    Put(plainFile, "x");
    fs::create_directory(Folder / "dir.ini");
    const std::vector<fs::path> paths = {
        Folder / "missing" / "a.ini", // folder does not exist
        plainFile / "a.ini",          // "folder" is a file
        Folder / "dir.ini",           // the target is a folder
    };
    for (const auto& path : paths) {
        ExpectCannotWrite(path, [&] { WriteString(path, "Graph", "uSv", "1"); });
    }
    EXPECT_FALSE(fs::exists(Folder / "missing"));
    EXPECT_EQ(Get(plainFile), "x");
    EXPECT_TRUE(fs::is_empty(Folder / "dir.ini"));
}

TEST_F(ProfileFileTest, LineBreaksInNamesOrValueAreRefused) {
    const auto path = Folder / "a.ini";
    Put(path, "[Graph]\r\nuSv=1\r\n");
    EXPECT_THROW(WriteString(path, "Graph", "uSv", "1\r\n[Evil]"), std::invalid_argument);
    EXPECT_THROW(WriteString(path, "Graph", "u\nSv", "1"), std::invalid_argument);
    EXPECT_THROW(WriteString(path, "Gr\raph", "uSv", "1"), std::invalid_argument);
    EXPECT_EQ(Get(path), "[Graph]\r\nuSv=1\r\n");
}

// On Windows the read-only attribute, which stops administrators as well.
TEST_F(ProfileFileTest, ReadOnlyFileIsNotReplaced) {
#ifndef _WIN32
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
#endif
    const auto path = Folder / "a.ini";
    Put(path, "[Graph]\r\nuSv=1\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ExpectCannotWrite(path, [&] { WriteString(path, "Graph", "uSv", "2"); });
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Get(path), "[Graph]\r\nuSv=1\r\n");
    EXPECT_EQ(Listing(), std::vector<std::string>{"a.ini"});
}

#ifndef _WIN32

TEST_F(ProfileFileTest, ReadOnlyFolderLeavesTheOldFile) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root; the size-limit case covers this as root";
    }
    const auto path = Folder / "a.ini";
    Put(path, "[Graph]\r\nuSv=1\r\n");
    fs::permissions(Folder, fs::perms::owner_read | fs::perms::owner_exec);
    ExpectCannotWrite(path, [&] { WriteString(path, "Graph", "uSv", "2"); });
    EXPECT_EQ(ReadString(path, "Graph", "uSv"), "1");
    EXPECT_EQ(ReadString(Folder / "new.ini", "Graph", "uSv"), "");
}

// Makes writes beyond a few bytes fail, for root as well.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &Old);
        OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit Old{};
    void (*OldHandler)(int) = nullptr;
};

TEST_F(ProfileFileTest, FailedWriteLeavesTheOldFileAndNoTemporary) {
    const std::string before = "; keep\r\n[Graph]\r\nuSv=1\r\nBackGround=5\r\n";
    const auto path = Folder / "a.ini";
    Put(path, before);
    {
        const TFileSizeLimit limit(before.size() + 4);
        ExpectCannotWrite(path, [&] { WriteString(path, "Graph", "uSv", std::string(100, '9')); });
    }
    EXPECT_EQ(Get(path), before);
    EXPECT_EQ(Listing(), std::vector<std::string>{"a.ini"});
}

TEST_F(ProfileFileTest, WriteKeepsPermissionsAndLinks) {
    const auto path = Folder / "a.ini";
    Put(path, "[Graph]\r\nuSv=1\r\n");
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path, perms);
    const auto link = Folder / "link.ini";
    fs::create_symlink(path, link);

    WriteString(link, "Graph", "uSv", "2");

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Get(path), "[Graph]\r\nuSv=2\r\n");
    EXPECT_EQ(fs::status(path).permissions(), perms);
}

#endif

} // namespace
