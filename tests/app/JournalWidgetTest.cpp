// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of a real main window fed by the simulated counter replaying
// scripts: whatever the user does (redraw, Open, New), opening the newest
// journal gives back every record but the newest, each once; on a full disk
// logging goes on, one error box says so, and the journal catches up.

#include "app/MainForm.h"
#include "display/LogList.h"
#include "files/LogFileReader.h"
#include "files/TextFile.h"
#include "journal/Journal.h"
#include "records/MinuteRecords.h"
#include "support/Environment.h"
#include "support/Faults.h"
#include "support/MainFormFixture.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <variant>

#ifdef __linux__
#include <sys/mount.h>
#endif

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// Minute k of the scripts: 2024-05-01 09:00 plus k minutes.
std::string ReadingText(int minute, int second, int count) {
    char text[64];
    std::snprintf(text, sizeof text, "2024-05-01 %02d:%02d:%02d.000 %d", 9 + minute / 60,
                  minute % 60, second, count);
    return text;
}

// One reading in each of minutes from .. to-1 and a second one in the last
// of them, then the gone marker, which ends the connection.
std::string Script(int from, int to) {
    std::string text;
    for (int minute = from; minute < to; ++minute) {
        text += ReadingText(minute, 10, 20 + minute % 13) + "\n";
    }
    return text + ReadingText(to - 1, 50, 4) + "\ngone\n";
}

// A saved log of minutes 0 .. n-1, as the program writes it.
std::string SavedLog(int n) {
    std::string text;
    for (int minute = 0; minute < n; ++minute) {
        char line[64];
        std::snprintf(line, sizeof line, "24/05/01, %02d:%02d, %d\r\n", 9 + minute / 60,
                      minute % 60, 30 + minute % 7);
        text += line;
    }
    return text;
}

struct TLogging {
    int From, To; // the minutes replayed
};
struct TRedraw {};
struct TNew {};
struct TOpen {
    int Minutes; // a saved log of minutes 0 .. Minutes-1
};
using TStep = std::variant<TLogging, TRedraw, TNew, TOpen>;

struct TScenario {
    const char* Name;
    std::vector<TStep> Steps;
    std::size_t Journals; // files in the folder at the end
};

void PrintTo(const TScenario& c, std::ostream* out) {
    *out << c.Name;
}

// Start times and counts.
using TRecordList = std::vector<std::pair<double, std::int32_t>>;

TRecordList RecordsOf(const std::string& text) {
    TRecords records;
    AppendLogRecords(SplitLines(text), TFormatSettings{}, records);
    TRecordList all;
    for (std::size_t k = 0; k < records.Count(); ++k) {
        all.emplace_back(records[k].StartTime, records[k].Count);
    }
    return all;
}

class JournalWindowTest : public test::TMainFormFixture {
protected:
    std::unique_ptr<TMainForm> Form;
    int Scripts = 0;

    void SetUp() override {
        TMainFormFixture::SetUp();
        StateFolder = Folder / "state" / "ostrel";
    }
    void TearDown() override {
        Form.reset();
        test::UnsetEnv("OSTREL_SIM_SCRIPT");
        TMainFormFixture::TearDown();
    }
    // A script of its own for every replay: none is written while a full
    // disk is played.
    fs::path WriteScript(const TLogging& logging) {
        const fs::path script = Folder / ("script-" + std::to_string(++Scripts) + ".txt");
        std::ofstream(script) << Script(logging.From, logging.To);
        return script;
    }
    void Replay(const fs::path& script) {
        test::SetEnv("OSTREL_SIM_SCRIPT", script.string());
        Form->StartClick();
        RunGuarded([this] { Form->TimerTimer(); });
        ASSERT_FALSE(Form->Logger().Timer().isActive());
    }
    void Log(const TLogging& logging) { Replay(WriteScript(logging)); }
    void Run(const TStep& step) {
        if (const auto* logging = std::get_if<TLogging>(&step)) {
            Log(*logging);
        } else if (std::holds_alternative<TRedraw>(step)) {
            Form->RedrawGraph();
        } else if (std::holds_alternative<TNew>(step)) {
            Form->NewClick();
        } else {
            const fs::path saved = Folder / "saved.csv";
            std::ofstream(saved, std::ios::binary) << SavedLog(std::get<TOpen>(step).Minutes);
            Chooser->Next = saved.string();
            Form->OpenClick();
        }
    }
    // Every record of the window but the newest, as the journal must hold.
    TRecordList AllButTheNewest() const {
        TRecordList records;
        for (std::size_t k = 0; k + 1 < Form->Logger().Records.Count(); ++k) {
            records.emplace_back(Form->Logger().Records[k].StartTime,
                                 Form->Logger().Records[k].Count);
        }
        return records;
    }
    std::string Journal() const {
        const auto path = Form->Logger().FindOutput<TJournal>()->CurrentPath();
        return path ? test::ReadFile(*path) : std::string();
    }
    std::string SaveBytes() const {
        std::string bytes;
        for (const std::string& line : Form->Log().Lines()) {
            bytes += line + "\r\n";
        }
        return bytes;
    }
};

class JournalScenarioTest : public JournalWindowTest,
                            public ::testing::WithParamInterface<TScenario> {};

TEST_P(JournalScenarioTest, TheNewestJournalHoldsEveryRecordButTheNewestOnce) {
    Form = Make();
    const std::vector<TStep>& steps = GetParam().Steps;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        Run(steps[k]);
        ASSERT_TRUE(Form->Logger().FindOutput<TJournal>()->Flush());
        EXPECT_EQ(RecordsOf(Journal()), AllButTheNewest()) << "after step " << k + 1;
    }
    std::size_t journals = 0;
    for (const auto& entry : fs::directory_iterator(StateFolder / "journal")) {
        journals += entry.path().extension() == ".csv" ? 1 : 0;
    }
    EXPECT_EQ(journals, GetParam().Journals);
    EXPECT_TRUE(Errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, JournalScenarioTest,
    ::testing::Values(
        TScenario{"Logging", {TLogging{0, 30}}, 1},
        TScenario{"StopAndGoOnInTheSameMinute", {TLogging{0, 5}, TLogging{4, 8}}, 1},
        // A rebuild writes a line for the newest minute, which the live loop
        // replaces: the journal must not get it twice.
        TScenario{"RedrawWhileLogging",
                  {TLogging{0, 12}, TRedraw{}, TLogging{11, 13}, TRedraw{}, TLogging{12, 25}},
                  1},
        TScenario{"Opened", {TOpen{30}}, 1},
        // The opened file's newest minute goes on counting.
        TScenario{"OpenedThenLoggingItsNewestMinute", {TOpen{30}, TLogging{29, 40}}, 1},
        TScenario{"OpenedRedrawnThenLogging", {TOpen{12}, TRedraw{}, TLogging{11, 20}}, 1},
        TScenario{"OpenedOneLine", {TOpen{1}, TLogging{0, 3}}, 1},
        TScenario{"LoggingThenOpenThenLogging", {TLogging{0, 10}, TOpen{30}, TLogging{40, 45}}, 2},
        TScenario{"LoggingThenNew", {TLogging{0, 10}, TNew{}, TLogging{20, 30}}, 2},
        TScenario{"NewBeforeAnyLine", {TNew{}, TNew{}, TLogging{0, 3}}, 1}),
    [](const auto& info) { return std::string(info.param.Name); });

#ifdef __linux__
enum class TFullDisk { Tmpfs, FileSizeLimit };

void PrintTo(TFullDisk disk, std::ostream* out) {
    *out << (disk == TFullDisk::Tmpfs ? "Tmpfs" : "FileSizeLimit");
}

class JournalFullDiskTest : public JournalWindowTest,
                            public ::testing::WithParamInterface<TFullDisk> {
protected:
    fs::path Disk = Folder / "disk";
    bool Mounted = false;

    void SetUp() override {
        JournalWindowTest::SetUp();
        fs::create_directories(Disk);
        StateFolder = Disk;
        if (GetParam() == TFullDisk::Tmpfs) {
            Mounted = ::mount("tmpfs", Disk.c_str(), "tmpfs", 0, "size=256k") == 0;
        }
    }
    void TearDown() override {
        JournalWindowTest::TearDown();
        if (Mounted) {
            ::umount2(Disk.c_str(), MNT_DETACH);
        }
    }
    // Fills the tmpfs up to its last byte.
    void Fill() {
        std::ofstream filler(Disk / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), std::streamsize(block.size()))) {
        }
    }
};

TEST_P(JournalFullDiskTest, LoggingGoesOnOneBoxSaysSoAndTheJournalCatchesUp) {
    if (GetParam() == TFullDisk::Tmpfs && !Mounted) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    Form = Make();
    Log({0, 20});
    ASSERT_TRUE(Form->Logger().FindOutput<TJournal>()->Flush());
    const fs::path journal = *Form->Logger().FindOutput<TJournal>()->CurrentPath();
    std::vector<fs::path> scripts;
    for (int from = 19; from < 400; from += 20) {
        scripts.push_back(WriteScript({from, from + 21}));
    }
    std::optional<test::TFileSizeLimit> limit;
    if (Mounted) {
        Fill();
    } else {
        ASSERT_TRUE(limit.emplace(fs::file_size(journal)).Active);
    }
    // Hours of minutes while the disk is full, in many ticks. (The last
    // page of a file on a tmpfs still takes a few lines.)
    for (const fs::path& script : scripts) {
        Replay(script);
        Form->Logger().FindOutput<TJournal>()->Flush();
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(Form->Logger().FindOutput<TJournal>()->Flush());
    EXPECT_EQ(Form->Logger().Records.Count(), 420u);
    const std::string reason = Mounted ? "No space left on device" : "File too large";
    EXPECT_EQ(Errors, (std::vector<std::pair<std::string, std::string>>{
                          {"ジャーナル " + journal.string() + " に書き込めません。 " + reason + ".",
                           "Journalwidgettest"}}));
    // Opened now, the journal would hold whole lines only.
    const std::string partial = test::ReadFile(journal);
    EXPECT_TRUE(partial.ends_with("\r\n"));
    EXPECT_EQ(SaveBytes().substr(0, partial.size()), partial);

    limit.reset();
    fs::remove(Disk / "filler");
    Log({419, 425});
    ASSERT_TRUE(Form->Logger().FindOutput<TJournal>()->Flush());
    QCoreApplication::processEvents();
    EXPECT_EQ(test::ReadFile(journal), SaveBytes());
    EXPECT_EQ(Errors.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Disks, JournalFullDiskTest,
                         ::testing::Values(TFullDisk::Tmpfs, TFullDisk::FileSizeLimit),
                         [](const auto& info) {
                             return std::string(info.param == TFullDisk::Tmpfs ? "Tmpfs"
                                                                               : "FileSizeLimit");
                         });
#endif

} // namespace
} // namespace ostrel
