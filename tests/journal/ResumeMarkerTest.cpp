// SPDX-License-Identifier: GPL-3.0-or-later
// What a run leaves for the next one to take up again, and that only one
// run at a time keeps it.

#include "journal/ResumeMarker.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

struct TMarkerCase {
    const char* Text;
    std::optional<TLeftLog> Expected; // File relative to the folder
};

TEST(ResumeMarkerTest, TextReadsBackAsTheLogLeft) {
    const fs::path folder = "/state/journal";
    const TMarkerCase cases[] = {
        {"journal=2026-12-09T15-23-07.csv\nlogging=1\n", TLeftLog{"2026-12-09T15-23-07.csv", true}},
        {"journal=\nlogging=0\n", TLeftLog{"", false}},
        {"logging=1\njournal=a.csv\n", TLeftLog{"a.csv", true}},
        // Cut short by the crash itself.
        {"journal=a.csv\n", std::nullopt},
        {"", std::nullopt},
        // A name that leaves the folder names no file.
        {"journal=../a.csv\nlogging=1\n", TLeftLog{"", true}},
    };
    for (const TMarkerCase& c : cases) {
        const std::optional<TLeftLog> left = ReadResumeMarker(c.Text, folder);
        ASSERT_EQ(left.has_value(), c.Expected.has_value()) << c.Text;
        if (left) {
            EXPECT_EQ(left->File, c.Expected->File.empty() ? fs::path() : folder / c.Expected->File)
                << c.Text;
            EXPECT_EQ(left->Logging, c.Expected->Logging) << c.Text;
        }
    }
    EXPECT_EQ(ResumeMarkerText("a.csv", true), "journal=a.csv\nlogging=1\n");
}

TEST(ResumeMarkerTest, OneRunKeepsItAndTheNextTakesItUp) {
    QTemporaryDir dir;
    const fs::path folder = fs::path(dir.path().toStdString()) / "journal";
    const fs::path file = folder / ResumeMarkerName;
    const auto read = [&file] {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    {
        TResumeMarker first(folder);
        EXPECT_FALSE(fs::exists(folder)); // nothing kept yet
        first.SetJournal(folder / "2026-12-09T15-23-07.csv");
        first.SetLogging(true);
        EXPECT_TRUE(first.Held());
        EXPECT_EQ(read(), "journal=2026-12-09T15-23-07.csv\nlogging=1\n");
        // A second run beside it neither takes the log up nor writes.
        TResumeMarker second(folder);
        EXPECT_FALSE(second.Held());
        EXPECT_FALSE(second.Left().has_value());
        second.SetLogging(false);
        EXPECT_EQ(read(), "journal=2026-12-09T15-23-07.csv\nlogging=1\n");
        // The first run ends without Remove: a crash.
    }
    TResumeMarker next(folder);
    ASSERT_TRUE(next.Left().has_value());
    EXPECT_EQ(next.Left()->File, folder / "2026-12-09T15-23-07.csv");
    EXPECT_TRUE(next.Left()->Logging);
    EXPECT_FALSE(fs::exists(file));
    next.SetLogging(true);
    next.Remove();
    EXPECT_FALSE(fs::exists(file));
    next.SetLogging(false);
    EXPECT_FALSE(fs::exists(file));
}

} // namespace
} // namespace ostrel
