// SPDX-License-Identifier: GPL-3.0-or-later
// Where the settings file goes: beside the program in a build folder or a
// portable copy, in the user's configuration folder once installed.

#include "settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace ostrel;

namespace {

class SettingsLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        Folder = fs::temp_directory_path() / ("ostrel-location-" + std::to_string(random()));
        fs::create_directories(Folder / "bin");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(Folder / "bin", fs::perms::owner_all, ignored);
        fs::remove_all(Folder, ignored);
    }
    fs::path Folder;
};

TEST_F(SettingsLocationTest, BesideTheProgramWhenTheFileIsThereOrCanBeMade) {
    struct TCase {
        const char* Name;
        std::string Executable;
        bool FileExists;
        bool FolderWritable;
        std::string UserFolder;
        std::string Expected; // relative to the test folder
    };
    const std::vector<TCase> cases = {
        {"build folder", "bin/ostrel", false, true, "home/.config/ostrel", "bin/ostrel.ini"},
        {"portable copy with its file", "bin/ostrel", true, false, "home/.config/ostrel",
         "bin/ostrel.ini"},
        {"installed", "bin/ostrel", false, false, "home/.config/ostrel",
         "home/.config/ostrel/ostrel.ini"},
        {"installed under another name", "bin/ostrel.bin", false, false, "cfg", "cfg/ostrel.ini"},
        {"no user folder known", "bin/ostrel", false, false, "", "bin/ostrel.ini"},
    };
    for (const TCase& c : cases) {
        const fs::path beside = SettingsPath(Folder / c.Executable);
        std::error_code ignored;
        fs::remove(beside, ignored);
        if (c.FileExists) {
            std::ofstream(beside) << "[Graph]\n";
        }
        std::vector<fs::path> asked;
        const auto writable = [&](const fs::path& folder) {
            asked.push_back(folder);
            return c.FolderWritable;
        };
        const fs::path user = c.UserFolder.empty() ? fs::path() : Folder / c.UserFolder;
        EXPECT_EQ(ChooseSettingsPath(Folder / c.Executable, user, writable), Folder / c.Expected)
            << c.Name;
        // Only the program's own folder is ever looked at, and only when it matters.
        for (const fs::path& folder : asked) {
            EXPECT_EQ(folder, Folder / "bin") << c.Name;
        }
        EXPECT_LE(asked.size(), 1u) << c.Name;
        EXPECT_EQ(asked.empty(), c.FileExists || c.UserFolder.empty()) << c.Name;
    }
}

TEST_F(SettingsLocationTest, WritableFoldersAreTold) {
    const fs::path file = Folder / "plain";
    std::ofstream(file) << "x";
    EXPECT_TRUE(IsWritableFolder(Folder / "bin"));
    EXPECT_FALSE(IsWritableFolder(Folder / "missing"));
    EXPECT_FALSE(IsWritableFolder(file));
    // Asking leaves nothing behind.
    EXPECT_EQ(fs::directory_iterator(Folder / "bin"), fs::directory_iterator());
    // A folder where nobody creates a file, whatever the rights say: the
    // process table (also under Wine, whose Z: drive is the root folder).
    std::error_code error;
    if (fs::is_directory("/proc/self", error)) {
        EXPECT_FALSE(IsWritableFolder("/proc/self"));
        EXPECT_EQ(ChooseSettingsPath("/proc/self/ostrel", Folder / "cfg"),
                  Folder / "cfg" / "ostrel.ini");
    }
#ifdef _WIN32
    // A folder's read-only attribute does not stop files being made in it
    // (Windows marks customised folders so); only trying tells.
    const std::wstring bin = (Folder / "bin").wstring();
    ASSERT_NE(SetFileAttributesW(bin.c_str(), FILE_ATTRIBUTE_READONLY), 0);
    EXPECT_TRUE(IsWritableFolder(Folder / "bin"));
    SetFileAttributesW(bin.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    // The superuser writes everywhere; the read-only folder only tells for others.
    if (geteuid() != 0) {
        fs::permissions(Folder / "bin", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(IsWritableFolder(Folder / "bin"));
        EXPECT_EQ(ChooseSettingsPath(Folder / "bin" / "ostrel", Folder / "cfg"),
                  Folder / "cfg" / "ostrel.ini");
    }
#endif
}

} // namespace
