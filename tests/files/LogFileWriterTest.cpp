// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/LogFileWriter.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace ostrel {
namespace {

using Lines = std::vector<std::string>;

class TWriterFixture : public testing::Test {
public:
    QTemporaryDir Dir;

    std::string PathOf(const QString& name) const { return Dir.filePath(name).toStdString(); }
    std::string NativePathOf(const QString& name) const {
        return QDir::toNativeSeparators(Dir.filePath(name)).toStdString();
    }
    std::string Bytes(const QString& name) const {
        QFile file(Dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return file.readAll().toStdString();
    }
    void Put(const QString& name, const std::string& bytes) const {
        QFile file(Dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
    }
    QStringList Entries(const QString& folder = ".") const {
        return QDir(Dir.filePath(folder))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
};

struct TWriteCase {
    const char* Name;
    Lines Input;
    std::string Expected;
};
void PrintTo(const TWriteCase& c, std::ostream* os) {
    *os << c.Name;
}

Lines ManyLines(int count) {
    Lines lines;
    for (int k = 0; k < count; ++k) {
        lines.push_back("11/07/16, 12:34, " + std::to_string(k) + ", 0.0395");
    }
    return lines;
}

std::string Joined(const Lines& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line + "\r\n";
    }
    return bytes;
}

const std::vector<TWriteCase> WriteCases = {
    {"NoLinesGiveEmptyFile", {}, ""},
    {"OneLine", {"11/07/16, 12:34, 25"}, "11/07/16, 12:34, 25\r\n"},
    {"CrLfAfterEachLine", {"a", "b"}, "a\r\nb\r\n"},
    {"EmptyLine", {""}, "\r\n"},
    {"EmptyLinesInside", {"a", "", "b"}, "a\r\n\r\nb\r\n"},
    // The system's code page is UTF-8 here: the bytes go out as they are.
    {"NonAsciiLine", {"日本, 1"}, "日本, 1\r\n"},
    // Past the size at which the writer hands a chunk to the file.
    {"ManyLines", ManyLines(60000), Joined(ManyLines(60000))},
};

class TWriteLines : public TWriterFixture, public testing::WithParamInterface<TWriteCase> {};

TEST_P(TWriteLines, WritesExactBytesWithoutMark) {
    WriteLogFile(PathOf("log.csv"), GetParam().Input);
    EXPECT_EQ(Bytes("log.csv"), GetParam().Expected);
    EXPECT_EQ(Entries(), QStringList{"log.csv"}) << "a temporary file is left behind";
}

TEST_P(TWriteLines, ReplacesWholeLongerFile) {
    Put("log.csv", std::string(2000000, 'x'));
    WriteLogFile(PathOf("log.csv"), GetParam().Input);
    EXPECT_EQ(Bytes("log.csv"), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, TWriteLines, testing::ValuesIn(WriteCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// A failure leaves the previous file byte for byte and no temporary file.
struct TFailCase {
    const char* Name;
    QString Target;                               // relative to the temporary folder
    std::function<bool(TWriterFixture&)> Prepare; // false: not possible here
    const char* SystemText;
};
void PrintTo(const TFailCase& c, std::ostream* os) {
    *os << c.Name;
}

const std::string PreviousContent = "previous\r\ncontent\r\n";

class TWriteFailure : public TWriterFixture, public testing::WithParamInterface<TFailCase> {
protected:
    void TearDown() override {
        QFile::setPermissions(Dir.filePath("locked"), QFileDevice::ReadOwner |
                                                          QFileDevice::WriteOwner |
                                                          QFileDevice::ExeOwner);
    }
};

bool RunsAsRoot() {
#ifdef _WIN32
    return false;
#else
    return geteuid() == 0;
#endif
}

const std::vector<TFailCase> FailCases = {
    {"MissingFolder", "nowhere/log.csv", [](TWriterFixture&) { return true; },
     "No such file or directory"},
    {"FolderIsAFile", "plain/log.csv",
     [](TWriterFixture& f) {
         f.Put("plain", PreviousContent);
         return true;
     },
     "Not a directory"},
    {"TargetIsAFolder", "folder",
     [](TWriterFixture& f) { return QDir(f.Dir.path()).mkdir("folder"); },
     "Filename refers to a directory"},
    {"ReadOnlyFolder", "locked/log.csv",
     [](TWriterFixture& f) {
         // Permissions do not stop the superuser.
         if (RunsAsRoot()) {
             return false;
         }
         QDir(f.Dir.path()).mkdir("locked");
         f.Put("locked/log.csv", PreviousContent);
         return QFile::setPermissions(f.Dir.filePath("locked"),
                                      QFileDevice::ReadOwner | QFileDevice::ExeOwner);
     },
     "Permission denied"},
};

TEST_P(TWriteFailure, ThrowsExactTextAndKeepsPreviousFile) {
    if (!GetParam().Prepare(*this)) {
        GTEST_SKIP() << "this failure cannot be brought about for the current user";
    }
    const QStringList before = Entries();
    try {
        WriteLogFile(PathOf(GetParam().Target), std::vector<std::string>{"new line"});
        ADD_FAILURE() << "no exception";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル \"" + NativePathOf(GetParam().Target) +
                                             "\" を作成できません。" + GetParam().SystemText);
    }
    EXPECT_EQ(Entries(), before);
    if (QFileInfo(Dir.filePath(GetParam().Target)).isFile()) {
        EXPECT_EQ(Bytes(GetParam().Target), PreviousContent);
    }
}

INSTANTIATE_TEST_SUITE_P(Failures, TWriteFailure, testing::ValuesIn(FailCases),
                         [](const auto& info) { return std::string(info.param.Name); });

#ifndef _WIN32
// Lowers the largest file the process may write, as a full disk would stop
// a write short, and puts it back afterwards.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &Saved);
        PreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = Saved;
        lowered.rlim_cur = bytes;
        Active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, PreviousHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
    bool Active = false;

private:
    rlimit Saved{};
    void (*PreviousHandler)(int) = nullptr;
};

TEST_F(TWriterFixture, WriteStoppedShortKeepsPreviousFile) {
    Put("log.csv", PreviousContent);
    const std::string path = PathOf("log.csv");
    std::string message;
    {
        const TFileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active);
        try {
            WriteLogFile(path, ManyLines(1000));
        } catch (const EFileError& e) {
            message = e.what();
        }
    }
    EXPECT_EQ(message,
              "ファイル \"" + NativePathOf("log.csv") + "\" を作成できません。File too large");
    EXPECT_EQ(Bytes("log.csv"), PreviousContent);
    EXPECT_EQ(Entries(), QStringList{"log.csv"});
}
#endif

} // namespace
} // namespace ostrel
