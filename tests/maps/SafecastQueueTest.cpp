// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/SafecastQueue.h"

#include "support/Faults.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// A queue's life as one line: "+3" adds the next three minutes, m1, m2, m3
// in turn; "take" is Safecast accepting the oldest; "hold" and "free" put a
// request of the oldest under way and end it; "reopen" is the next run;
// "other" is a second Ostrel on the same folder, which adds "+1" of its
// own; "full" makes every write fail as a full disk does, "room" ends that.
struct TCase {
    const char* Script;
    std::size_t Limit;
    const char* Before; // the file an earlier run left
    std::vector<std::string> Told;
    std::size_t Size;
    const char* Front;
    const char* File; // as a queue's minutes, "" for an empty file
};

std::string Minute(int n) {
    char text[64];
    std::snprintf(text, sizeof text, "2026-12-09T%02d:%02d:00Z,%d", n / 60 % 24, n % 60, n);
    return text;
}

const std::string Dropping = "more than 3 minutes unsent; dropping the oldest, from ";
const std::string M1 = "2026-12-09T00:01:00Z";

const TCase Cases[] = {
    {"+3", 10, "", {}, 3, "m1", "m1 m2 m3"},
    {"+3 take", 10, "", {}, 2, "m2", "m1 m2 m3 sent"},
    // All taken: an empty file, not a history.
    {"+3 take take take", 10, "", {}, 0, "", ""},
    // The next run starts from the waiting ones only.
    {"+3 take reopen", 10, "", {}, 2, "m2", "m2 m3"},
    {"+2 reopen +1 take reopen", 10, "", {}, 2, "m2", "m2 m3"},
    // A line cut short by a crash, and one that is no minute.
    {"reopen",
     10,
     "m1 rubbish sent m2 m3 2026-12-09T00:0",
     {"<file>: 1 line is no minute; it is left out"},
     2,
     "m2",
     "m2 m3"},
    {"reopen",
     10,
     "m1 x y sent",
     {"<file>: 2 lines are no minutes; they are left out"},
     1,
     "m1",
     "m1"},
    // Beyond the limit the oldest go, told once a run of drops.
    {"+5", 3, "", {Dropping + M1}, 3, "m3", "m1 m2 m3 m4 m5 dropped dropped"},
    {"+4 +1", 3, "", {Dropping + M1}, 3, "m3", "m1 m2 m3 m4 dropped m5 dropped"},
    {"+4 take +2",
     3,
     "",
     {Dropping + M1, Dropping + "2026-12-09T00:03:00Z"},
     3,
     "m4",
     "m1 m2 m3 m4 dropped sent m5 m6 dropped"},
    // The minute under way is not dropped under the answer's feet.
    {"hold +4 free", 3, "", {Dropping + M1}, 3, "m2", "m1 m2 m3 m4 dropped"},
    {"hold +4 take free", 3, "", {}, 3, "m2", "m1 m2 m3 m4 sent"},
    // A second Ostrel keeps its minutes in memory and leaves the file alone.
    {"+2 other",
     10,
     "",
     {"another Ostrel keeps <file>; the minutes of this one are kept in memory only"},
     2,
     "m1",
     "m1 m2"},
    // A full disk: the minutes stay in memory, and all of them are written
    // once it can take them.
    {"+1 full +2 take room",
     10,
     "",
     {"cannot write <file>: File too large; the minutes are kept in memory until it can"},
     2,
     "m2",
     "m1"},
    {"+1 full +2 take room +1",
     10,
     "",
     {"cannot write <file>: File too large; the minutes are kept in memory until it can"},
     3,
     "m2",
     "m2 m3 m4"},
};

// "m1 sent m2" as the file's lines.
std::string FileText(const std::string& names) {
    std::istringstream words(names);
    std::string text;
    for (std::string word; words >> word;) {
        text += (word[0] == 'm' ? Minute(std::stoi(word.substr(1))) : word) + "\n";
    }
    return text;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Name(const TQueuedMinute* minute) {
    return minute == nullptr ? "" : "m" + std::to_string(minute->Count);
}

void Append(std::vector<std::string>& all, std::vector<std::string> lines, const fs::path& file) {
    for (std::string& line : lines) {
        const std::size_t at = line.find(file.string());
        all.push_back(at == std::string::npos ? line
                                              : line.replace(at, file.string().size(), "<file>"));
    }
}

TEST(SafecastQueueTest, MinutesWaitInOrderOnTheDiskUntilAccepted) {
    const fs::path folder = fs::path(::testing::TempDir()) / "ostrel-safecast-queue";
    for (const TCase& c : Cases) {
        SCOPED_TRACE(c.Script);
        fs::remove_all(folder);
        fs::create_directories(folder);
        const fs::path file = folder / TSafecastQueue::FileName;
        if (*c.Before != '\0') {
            std::string before = FileText(c.Before);
            before.pop_back(); // the last line cut short
            std::ofstream(file, std::ios::binary) << before;
        }
        auto queue = std::make_unique<TSafecastQueue>(folder, c.Limit);
        std::unique_ptr<TSafecastQueue> other;
        std::optional<test::TFileSizeLimit> full;
        std::vector<std::string> told;
        Append(told, queue->Open(), file);
        int minutes = 0;
        std::istringstream script(c.Script);
        for (std::string step; script >> step;) {
            if (step[0] == '+') {
                std::vector<TQueuedMinute> added;
                for (int k = std::stoi(step.substr(1)); k > 0; --k) {
                    ++minutes;
                    added.push_back({Minute(minutes).substr(0, 20), minutes});
                }
                Append(told, queue->Add(added), file);
            } else if (step == "take") {
                Append(told, queue->TakeFront(), file);
            } else if (step == "hold" || step == "free") {
                Append(told, queue->Hold(step == "hold"), file);
            } else if (step == "reopen") {
                queue = std::make_unique<TSafecastQueue>(folder, c.Limit);
                Append(told, queue->Open(), file);
            } else if (step == "other") {
                other = std::make_unique<TSafecastQueue>(folder, c.Limit);
                Append(told, other->Open(), file);
                Append(told, other->Add({{Minute(99).substr(0, 20), 99}}), file);
                EXPECT_EQ(other->Size(), 1U);
            } else if (step == "full") {
                full.emplace(fs::file_size(file));
                ASSERT_TRUE(full->Active);
            } else if (step == "room") {
                full.reset();
            }
        }
        EXPECT_EQ(told, c.Told);
        EXPECT_EQ(queue->Size(), c.Size);
        EXPECT_EQ(Name(queue->Front()), c.Front);
        EXPECT_EQ(Read(file), FileText(c.File));
    }
    fs::remove_all(folder);
}

TEST(SafecastQueueTest, WithoutAFolderTheMinutesStayInMemory) {
    TSafecastQueue queue({}, 2);
    EXPECT_EQ(queue.Open(), std::vector<std::string>{});
    EXPECT_EQ(queue.Add({{"2026-12-09T00:01:00Z", 1}, {"2026-12-09T00:02:00Z", 2}}),
              std::vector<std::string>{});
    EXPECT_EQ(queue.TakeFront(), std::vector<std::string>{});
    EXPECT_EQ(Name(queue.Front()), "m2");
    EXPECT_EQ(queue.File(), fs::path());
}

TEST(SafecastQueueTest, OnlyWholeMinuteLinesAreRead) {
    const struct {
        const char* Line;
        bool Read;
    } cases[] = {
        {"2026-12-09T06:23:00Z,30", true},
        {"2026-12-09T06:23:00Z,0", true},
        {"2026-12-09T06:23:00Z,999999999", true},
        {"2026-12-09T06:23:00Z,1000000000", false},
        {"2026-12-09T06:23:00Z,", false},
        {"2026-12-09T06:23:00Z,-1", false},
        {"2026-12-09 06:23:00Z,3", false},
        {"2026-12-09T06:23:00,3", false},
        {"sent", false},
        {"", false},
    };
    for (const auto& c : cases) {
        TQueuedMinute minute;
        EXPECT_EQ(ReadQueueLine(c.Line, minute), c.Read) << c.Line;
        if (c.Read) {
            EXPECT_EQ(QueueLine(minute), c.Line);
        }
    }
}

} // namespace
} // namespace ostrel
