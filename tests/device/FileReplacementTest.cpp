// SPDX-License-Identifier: GPL-3.0-or-later
// The replacement that the settings file and the adapters' coefficient file
// share: links followed, permissions kept, the old file intact on failure.

#include "device/FileReplacement.h"

#include "support/Faults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace ostrel {
namespace {

constexpr const char* OldContent = "/dev/ttyUSB0 = 650 0\n";
constexpr const char* NewContent = "/dev/ttyUSB0 = 700 3\n/dev/ttyACM0 = 1 2\n";

class FileReplacementTest : public ::testing::Test {
public:
    void SetUp() override {
        std::random_device random;
        Folder = fs::temp_directory_path() / ("ostrel-replace-" + std::to_string(random()));
        fs::create_directories(Folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    void Put(const std::string& name, const std::string& content,
             std::optional<fs::perms> mode = std::nullopt) const {
        fs::create_directories((Folder / name).parent_path());
        std::ofstream(Folder / name, std::ios::binary) << content;
        if (mode) {
            fs::permissions(Folder / name, *mode);
        }
    }
    void Link(const std::string& name, const std::string& target) const {
        fs::create_symlink(target, Folder / name);
    }
    std::string Get(const std::string& name) const {
        std::ifstream in(Folder / name, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    // Every name under the folder: a temporary left behind shows here.
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(Folder)) {
            names.insert(entry.path().lexically_relative(Folder).generic_string());
        }
        return names;
    }

    fs::path Folder;
};

constexpr auto OwnerOnly = fs::perms::owner_read | fs::perms::owner_write;
constexpr auto GroupReads = OwnerOnly | fs::perms::group_read;

// Windows has neither the POSIX permission bits nor, without a privilege
// (and never under Wine), symbolic links: those cases are POSIX's.
#ifdef _WIN32
constexpr bool PosixFiles = false;
#else
constexpr bool PosixFiles = true;
#endif

struct TReplaceCase {
    const char* Name;
    std::function<void(FileReplacementTest&)> Prepare;
    const char* Written;           // the file that receives the content
    std::optional<fs::perms> Mode; // the written file's permissions afterwards
    std::set<std::string> Listing; // the folder afterwards
};

TEST_F(FileReplacementTest, ReplacesTheFileOrTheTargetOfItsLink) {
    const std::vector<TReplaceCase> cases = {
        {"NewFile", [](auto&) {}, "state", std::nullopt, {"state"}},
        {"OwnerOnlyFileStaysOwnerOnly",
         [](auto& t) { t.Put("state", OldContent, OwnerOnly); },
         "state",
         OwnerOnly,
         {"state"}},
        {"GroupReadableFileStaysSo",
         [](auto& t) { t.Put("state", OldContent, GroupReads); },
         "state",
         GroupReads,
         {"state"}},
        {"LinkBesideItsTarget",
         [](auto& t) {
             t.Put("real", OldContent, OwnerOnly);
             t.Link("state", "real");
         },
         "real",
         OwnerOnly,
         {"real", "state"}},
        {"LinkIntoAnotherFolder",
         [](auto& t) {
             t.Put("elsewhere/real", OldContent, OwnerOnly);
             t.Link("state", "elsewhere/real");
         },
         "elsewhere/real",
         OwnerOnly,
         {"elsewhere", "elsewhere/real", "state"}},
        {"DanglingLinkGetsItsTarget",
         [](auto& t) { t.Link("state", "real"); },
         "real",
         std::nullopt,
         {"real", "state"}},
    };
    for (const auto& c : cases) {
        if (!PosixFiles && (c.Mode || c.Listing.size() > 1)) {
            continue;
        }
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        c.Prepare(*this);
        const bool wasLink = fs::is_symlink(Folder / "state");

        EXPECT_FALSE(ReplaceFileContent(Folder / "state", NewContent));

        EXPECT_EQ(Get(c.Written), NewContent);
        EXPECT_EQ(fs::is_symlink(Folder / "state"), wasLink);
        if (c.Mode) {
            EXPECT_EQ(fs::status(Folder / c.Written).permissions(), *c.Mode);
        }
        EXPECT_EQ(Listing(), c.Listing);
    }
}

struct TFailureCase {
    const char* Name;
    std::function<void(FileReplacementTest&)> Prepare;
    const char* Path;
    std::errc Error;
};

TEST_F(FileReplacementTest, AFailedWriteLeavesTheOldFileAndNoTemporary) {
    const std::vector<TFailureCase> cases = {
        {"FolderMissing", [](auto&) {}, "missing/state", std::errc::no_such_file_or_directory},
        {"FolderIsAFile", [](auto& t) { t.Put("plain", OldContent); }, "plain/state",
         std::errc::not_a_directory},
        {"TargetIsAFolder", [](auto& t) { fs::create_directory(t.Folder / "state"); }, "state",
         std::errc::is_a_directory},
        {"LinkLoop", [](auto& t) { t.Link("state", "state"); }, "state",
         std::errc::too_many_symbolic_link_levels},
    };
    for (const auto& c : cases) {
        if (!PosixFiles && c.Error == std::errc::too_many_symbolic_link_levels) {
            continue;
        }
        SCOPED_TRACE(c.Name);
        TearDown();
        SetUp();
        c.Prepare(*this);
        const auto before = Listing();
        const std::error_code error = ReplaceFileContent(Folder / c.Path, NewContent);
        if (PosixFiles) {
            EXPECT_EQ(error, std::make_error_code(c.Error));
        } else {
            EXPECT_TRUE(error) << "Windows' own error codes, but an error all the same";
        }
        EXPECT_EQ(Listing(), before);
    }
}

#ifndef _WIN32
// A disk that fills up part-way through the write, for root as well.
TEST_F(FileReplacementTest, AShortWriteLeavesTheOldFileThroughItsLink) {
    Put("real", OldContent, OwnerOnly);
    Link("state", "real");
    std::error_code error;
    {
        const test::TFileSizeLimit limit(8);
        ASSERT_TRUE(limit.Active);
        error = ReplaceFileContent(Folder / "state", NewContent);
    }
    EXPECT_EQ(error, std::make_error_code(std::errc::file_too_large));
    EXPECT_EQ(Get("real"), OldContent);
    EXPECT_EQ(fs::status(Folder / "real").permissions(), OwnerOnly);
    EXPECT_EQ(Listing(), (std::set<std::string>{"real", "state"}));
}
#endif

} // namespace
} // namespace ostrel
