// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Utf8Path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// The path's letters as UTF-8 bytes (Debian's GoogleTest prints no u8string).
std::string Letters(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TEST(PathFromUtf8Test, NamesTheFileItsLettersSpell) {
    std::random_device random;
    const fs::path root = fs::temp_directory_path() / ("ostrel-utf8-" + std::to_string(random()));
    for (const std::string name : {"設定", "Überwachung", "Счётчик", "plain"}) {
        const fs::path folder = PathFromUtf8(name);
        EXPECT_EQ(name, Letters(folder));
        fs::create_directories(root / folder);
        std::ofstream(root / folder / "ostrel.ini") << "[Graph]\n";
        // Listed back under the same letters, and reached by them.
        bool found = false;
        for (const fs::directory_entry& entry : fs::directory_iterator(root)) {
            found = found || Letters(entry.path().filename()) == name;
        }
        EXPECT_TRUE(found) << name;
        EXPECT_TRUE(fs::exists(root / PathFromUtf8(name + "/ostrel.ini"))) << name;
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

} // namespace
} // namespace ostrel
