// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/LogFileCommands.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "support/FakeViews.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

using Lines = std::vector<std::string>;

// Answers with the names it was given, in order (no value: cancel), and
// notes every question with its preset.
class TScriptedChooser : public TFileChooser {
public:
    std::deque<std::optional<std::string>> Answers;
    std::vector<std::string> Asked; // "open:<preset>" or "save:<preset>"

    std::optional<std::string> ChooseOpenFile(const std::string& preset) override {
        return Answer("open:" + preset);
    }
    std::optional<std::string> ChooseSaveFile(const std::string& preset) override {
        return Answer("save:" + preset);
    }

private:
    std::optional<std::string> Answer(std::string question) {
        Asked.push_back(std::move(question));
        if (Answers.empty()) {
            ADD_FAILURE() << "unexpected question " << Asked.back();
            return std::nullopt;
        }
        std::optional<std::string> answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
};

class TCommands : public testing::Test {
protected:
    QTemporaryDir Dir;
    TScriptedChooser Chooser;
    TRecords Records;
    test::TFakeLog Log;
    TFormatSettings Fs;
    std::vector<std::string> Calls; // New and Rebuild, with what the records held then
    std::uint64_t FreeMemory = std::numeric_limits<std::uint64_t>::max();
    TLogFileCommands Commands{TLogFileParts{
        Chooser, Records, [this]() -> const TLogView& { return Log; },
        [this] {
            Calls.push_back("New after " + std::to_string(Records.Count()));
            Commands.NewFileNames();
            Records.Clear();
            Log.Clear();
        },
        [this] { Calls.push_back("Rebuild with " + std::to_string(Records.Count())); }, Fs,
        [this] { return FreeMemory; }}};

    void SetUp() override {
        Fs.CurrentYear = 2026;
        Records.Append({1.0, 1});
        Log.Lines = {"old line"};
    }
    std::string PathOf(const char* name) const { return Dir.filePath(name).toStdString(); }
    std::string NativePathOf(const char* name) const {
        return QDir::toNativeSeparators(Dir.filePath(name)).toStdString();
    }
    std::string Bytes(const char* name) const {
        QFile file(Dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        return file.readAll().toStdString();
    }
    void Put(const char* name, const std::string& bytes) const {
        QFile file(Dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
    }
    QStringList Entries() const { return QDir(Dir.path()).entryList(QDir::Files); }
};

TEST_F(TCommands, SaveWithoutNameAsksAndCancelWritesNothing) {
    Chooser.Answers = {std::nullopt};
    Commands.SaveClick();
    EXPECT_EQ(Chooser.Asked, Lines{"save:"});
    EXPECT_EQ(Commands.FileName(), "");
    EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(TCommands, SaveWithoutNameWritesChosenFileThenSaveAsksNoMore) {
    Chooser.Answers = {PathOf("a.csv")};
    Commands.SaveClick();
    EXPECT_EQ(Commands.FileName(), PathOf("a.csv"));
    EXPECT_EQ(Bytes("a.csv"), "old line\r\n");
    Log.Add("new line");
    Commands.SaveClick();
    EXPECT_EQ(Chooser.Asked, Lines{"save:"});
    EXPECT_EQ(Bytes("a.csv"), "old line\r\nnew line\r\n");
}

TEST_F(TCommands, SaveAsPresetsCurrentNameAndCancelKeepsIt) {
    Chooser.Answers = {PathOf("a.csv"), std::nullopt};
    Commands.SaveAsClick();
    Log.Lines = {"changed"};
    Commands.SaveAsClick();
    EXPECT_EQ(Chooser.Asked, (Lines{"save:", "save:" + PathOf("a.csv")}));
    EXPECT_EQ(Commands.FileName(), PathOf("a.csv"));
    EXPECT_EQ(Bytes("a.csv"), "old line\r\n");
}

TEST_F(TCommands, SaveAsKeepsChosenNameWhenWriteFails) {
    Chooser.Answers = {PathOf("nowhere/a.csv")};
    try {
        Commands.SaveAsClick();
        ADD_FAILURE() << "no exception";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル \"" + NativePathOf("nowhere/a.csv") +
                                             "\" を作成できません。No such file or directory");
    }
    EXPECT_EQ(Commands.FileName(), PathOf("nowhere/a.csv"));
    // The next Save goes to the same name without asking.
    EXPECT_THROW(Commands.SaveClick(), EFileError);
    EXPECT_EQ(Chooser.Asked, Lines{"save:"});
}

TEST_F(TCommands, OpenCancelChangesNothing) {
    Chooser.Answers = {std::nullopt};
    Commands.OpenClick();
    EXPECT_EQ(Chooser.Asked, Lines{"open:"});
    EXPECT_TRUE(Calls.empty());
    EXPECT_EQ(Records.Count(), 1U);
    EXPECT_EQ(Log.Lines, Lines{"old line"});
}

TEST_F(TCommands, OpenRunsNewThenReadsThenRebuildsOnce) {
    Put("in.csv", "11/07/16, 12:34, 25, 0.0395\r\nabc\r\n7/16, 00:01, 3");
    Chooser.Answers = {PathOf("in.csv")};
    Commands.OpenClick();
    EXPECT_EQ(Calls, (Lines{"New after 1", "Rebuild with 3"}));
    ASSERT_EQ(Records.Count(), 3U);
    EXPECT_EQ(Records[0].StartTime, EncodeDate(2011, 7, 16) + EncodeTime(12, 34, 0, 0));
    EXPECT_EQ(Records[0].Count, 25);
    EXPECT_EQ(Records[1].StartTime, 0.0);
    EXPECT_EQ(Records[1].Count, 0);
    EXPECT_EQ(Records[2].StartTime, EncodeDate(2026, 7, 16) + EncodeTime(0, 1, 0, 0));
    EXPECT_EQ(Records[2].Count, 3);
    EXPECT_EQ(Commands.FileName(), PathOf("in.csv"));
    EXPECT_EQ(Commands.OpenFileName(), "");
}

TEST_F(TCommands, OpenEmptyFileGivesNoRecords) {
    Put("empty.csv", "");
    Chooser.Answers = {PathOf("empty.csv")};
    Commands.OpenClick();
    EXPECT_EQ(Calls, (Lines{"New after 1", "Rebuild with 0"}));
    EXPECT_TRUE(Records.Empty());
    EXPECT_EQ(Commands.FileName(), PathOf("empty.csv"));
}

TEST_F(TCommands, OpenThenSaveWritesBackWithoutAsking) {
    Put("in.csv", "11/07/16, 12:34, 25\r\n");
    Chooser.Answers = {PathOf("in.csv")};
    Commands.OpenClick();
    Log.Lines = {"rebuilt 1", "rebuilt 2"}; // what RebuildDisplay would have listed
    Commands.SaveClick();
    EXPECT_EQ(Chooser.Asked, Lines{"open:"});
    EXPECT_EQ(Bytes("in.csv"), "rebuilt 1\r\nrebuilt 2\r\n");
}

TEST_F(TCommands, NewFileNamesForgetsBothNames) {
    ASSERT_TRUE(QDir(Dir.path()).mkdir("folder"));
    Chooser.Answers = {PathOf("a.csv"), PathOf("folder")};
    Commands.SaveAsClick();
    EXPECT_THROW(Commands.OpenClick(), EFileError);
    ASSERT_EQ(Commands.OpenFileName(), PathOf("folder"));
    Commands.NewFileNames();
    EXPECT_EQ(Commands.FileName(), "");
    EXPECT_EQ(Commands.OpenFileName(), "");
}

struct TOpenFailure {
    const char* Name;
    const char* Target;
    const char* SystemText;
};
void PrintTo(const TOpenFailure& c, std::ostream* os) {
    *os << c.Name;
}

class TCommandsOpenFailure : public TCommands, public testing::WithParamInterface<TOpenFailure> {};

// A file that cannot be read changes neither the records nor the log nor the
// current name; the open dialog proposes the failed name next time.
TEST_P(TCommandsOpenFailure, LeavesEverythingAsItWas) {
    ASSERT_TRUE(QDir(Dir.path()).mkdir("folder"));
    Chooser.Answers = {PathOf("current.csv"), PathOf(GetParam().Target), std::nullopt};
    Commands.SaveAsClick();
    try {
        Commands.OpenClick();
        ADD_FAILURE() << "no exception";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル " + NativePathOf(GetParam().Target) +
                                             " は開けません。 " + GetParam().SystemText + " ");
    }
    EXPECT_TRUE(Calls.empty());
    ASSERT_EQ(Records.Count(), 1U);
    EXPECT_EQ(Records[0].Count, 1);
    EXPECT_EQ(Log.Lines, Lines{"old line"});
    EXPECT_EQ(Commands.FileName(), PathOf("current.csv"));
    Commands.OpenClick();
    EXPECT_EQ(Chooser.Asked.back(), "open:" + PathOf(GetParam().Target));
}

INSTANTIATE_TEST_SUITE_P(Files, TCommandsOpenFailure,
                         testing::Values(TOpenFailure{"Missing", "missing.csv",
                                                      "No such file or directory"},
                                         TOpenFailure{"Folder", "folder", "Is a directory"}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TMemoryCase {
    const char* Name;
    std::uint64_t FreeMemory;
    bool Opens;
};
void PrintTo(const TMemoryCase& c, std::ostream* os) {
    *os << c.Name;
}

class TCommandsMemory : public TCommands, public testing::WithParamInterface<TMemoryCase> {};

// Two lines of 21 bytes, and 160 bytes for each record once shown: 362
// bytes. Less is refused before New; less than the file's size before the
// file is read.
TEST_P(TCommandsMemory, OpensOnlyWhatFits) {
    Put("in.csv", "11/07/16, 12:34, 25\r\n11/07/16, 12:35, 26\r\n");
    Chooser.Answers = {PathOf("in.csv")};
    FreeMemory = GetParam().FreeMemory;
    if (GetParam().Opens) {
        Commands.OpenClick();
        EXPECT_EQ(Records.Count(), 2U);
        return;
    }
    try {
        Commands.OpenClick();
        ADD_FAILURE() << "no exception";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル " + NativePathOf("in.csv") +
                                             " は開けません。 大きすぎてメモリに読み込めません ");
    }
    EXPECT_TRUE(Calls.empty());
    EXPECT_EQ(Records.Count(), 1U);
    EXPECT_EQ(Commands.FileName(), "");
}

INSTANTIATE_TEST_SUITE_P(Budgets, TCommandsMemory,
                         testing::Values(TMemoryCase{"RoomForTextAndRecords", 362, true},
                                         TMemoryCase{"NoRoomForTheRecords", 361, false},
                                         TMemoryCase{"NoRoomForTheText", 41, false},
                                         TMemoryCase{"None", 0, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace ostrel
