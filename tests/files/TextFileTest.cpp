// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/TextFile.h"
#include "platform/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

struct TBytesCase {
    const char* Name;
    std::string Bytes;
    Lines Expected;
};
void PrintTo(const TBytesCase& c, std::ostream* os) {
    *os << c.Name;
}

// What the file's bytes read as, line by line, after decoding and splitting.
const std::vector<TBytesCase> BytesCases = {
    {"EmptyFile", ""s, {}},
    {"OneLineNoBreak", "a"s, {"a"}},
    {"CrLf", "a\r\nb\r\n"s, {"a", "b"}},
    {"CrLfLastLineWithoutBreak", "a\r\nb"s, {"a", "b"}},
    {"CrOnly", "a\rb\r"s, {"a", "b"}},
    {"LfOnly", "a\nb\n"s, {"a", "b"}},
    {"LfCrIsTwoBreaks", "a\n\rb"s, {"a", "", "b"}},
    {"CrLfCrLfMakesEmptyLine", "a\r\n\r\nb"s, {"a", "", "b"}},
    {"CrCrMakesEmptyLine", "a\r\rb"s, {"a", "", "b"}},
    {"LoneBreakIsOneEmptyLine", "\n"s, {""}},
    {"TwoBreaksAreTwoEmptyLines", "\r\n\r\n"s, {"", ""}},
    {"EmptyLastLineBeforeFinalBreak", "a\n\n"s, {"a", ""}},
    {"LeadingBreak", "\r\nx"s, {"", "x"}},
    {"BlanksKept", " a ,\tb \r\n"s, {" a ,\tb "}},
    {"Utf8MarkNotPartOfText",
     "\xEF\xBB\xBF"
     "11/07/16, 12:34, 25\r\n"s,
     {"11/07/16, 12:34, 25"}},
    {"Utf8MarkOnly", "\xEF\xBB\xBF"s, {}},
    {"Utf8SecondMarkIsText",
     "\xEF\xBB\xBF\xEF\xBB\xBF"
     "a"s,
     {"\xEF\xBB\xBF"
      "a"}},
    {"Utf8MarkWithJapanese",
     "\xEF\xBB\xBF"
     "\xE6\x97\xA5\xE6\x9C\xAC\r\n"s,
     {"日本"}},
    {"Utf16LeMark",
     "\xFF\xFE"
     "a\0\r\0\n\0b\0"s,
     {"a", "b"}},
    {"Utf16BeMark",
     "\xFE\xFF"
     "\0a\0\r\0\n\0b"s,
     {"a", "b"}},
    {"Utf16LeJapanese",
     "\xFF\xFE"
     "\xE5\x65\x2C\x67\r\0\n\0"s,
     {"日本"}},
    {"Utf16BeJapanese",
     "\xFE\xFF"
     "\x65\xE5\x67\x2C"s,
     {"日本"}},
    {"Utf16LeMarkOnly", "\xFF\xFE"s, {}},
    {"Utf16LeNulEndsText",
     "\xFF\xFE"
     "a\0\r\0\0\0b\0"s,
     {"a"}},
    {"Utf16LeLoneSurrogateReplaced",
     "\xFF\xFE"
     "\x00\xD8"
     "a\0"s,
     {"\uFFFD"
      "a"}},
    {"Utf16LeOddLastByteReplaced",
     "\xFF\xFE"
     "a\0b"s,
     {"a\uFFFD"}},
    {"NulEndsText", "ab\0cd\r\nef"s, {"ab"}},
    {"NulAfterBreak", "ab\r\n\0cd"s, {"ab"}},
    {"NulFirst", "\0abc"s, {}},
#ifndef _WIN32
    // Without a mark the system's code page applies, which is UTF-8 here.
    {"Utf8WithoutMark", "\xE6\x97\xA5\xE6\x9C\xAC\r\nx"s, {"日本", "x"}},
    {"SingleFFIsNoMark",
     "\xFF"
     "a"s,
     {"\uFFFD"
      "a"}},
    {"InvalidByteReplaced",
     "a\xFF"
     "b\r\n"s,
     {"a\uFFFD"
      "b"}},
    {"CutSequenceAtEndReplaced", "a\xE6\x97"s, {"a\uFFFD\uFFFD"}},
#endif
};

class TDecodeAndSplit : public testing::TestWithParam<TBytesCase> {};

TEST_P(TDecodeAndSplit, GivesLines) {
    const std::string text = DecodeText(GetParam().Bytes);
    const std::vector<std::string_view> views = SplitLines(text);
    EXPECT_EQ(Lines(views.begin(), views.end()), GetParam().Expected);
    EXPECT_EQ(CountLines(text), GetParam().Expected.size());
}

INSTANTIATE_TEST_SUITE_P(Bytes, TDecodeAndSplit, testing::ValuesIn(BytesCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(IsAscii, EveryPositionOfAHighByteIsSeen) {
    // The check goes eight bytes at a time; a high byte in the tail or in any
    // lane of a word must count.
    for (std::size_t length = 1; length <= 20; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            std::string bytes(length, 'a');
            bytes[at] = '\x80';
            EXPECT_FALSE(IsAscii(bytes)) << "length " << length << " at " << at;
        }
        EXPECT_TRUE(IsAscii(std::string(length, '\x7F'))) << "length " << length;
    }
}

class TReadFile : public testing::Test {
protected:
    QTemporaryDir Dir;

    std::string PathOf(const char* name) const { return Dir.filePath(name).toStdString(); }
    void Write(const char* name, const std::string& bytes) const {
        QFile file(Dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
    }
};

TEST_F(TReadFile, ReadsEveryByte) {
    std::string bytes;
    for (int k = 0; k < 200000; ++k) {
        bytes += static_cast<char>(k * 7 % 256);
    }
    Write("big.bin", bytes);
    EXPECT_EQ(ReadFileBytes(PathOf("big.bin")), bytes);
}

TEST_F(TReadFile, EmptyFileGivesNoBytes) {
    Write("empty.csv", "");
    EXPECT_EQ(ReadFileBytes(PathOf("empty.csv")), "");
}

#ifdef __linux__
// Such a file reports a size of 0 and reads as more.
TEST(ReadFileBytes, AFileWithoutASizeReadsWhole) {
    for (const std::uint64_t maxBytes : {std::uint64_t(100000), ~std::uint64_t(0)}) {
        const std::string status = ReadFileBytes("/proc/self/status", maxBytes);
        EXPECT_EQ(status.rfind("Name:", 0), 0U) << maxBytes;
        EXPECT_NE(status.find("\nPid:"), std::string::npos) << maxBytes;
    }
}
#endif

TEST_F(TReadFile, AFileOfMoreThanMaxBytesIsRefused) {
    Write("four.csv", "abcd");
    EXPECT_EQ(ReadFileBytes(PathOf("four.csv"), 4), "abcd");
    try {
        ReadFileBytes(PathOf("four.csv"), 3);
        ADD_FAILURE() << "no exception";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "ファイル " + QDir::toNativeSeparators(Dir.filePath("four.csv")).toStdString() +
                      " は開けません。 大きすぎてメモリに読み込めません ");
    }
}

TEST_F(TReadFile, ReadTextFileDecodesAndCuts) {
    Write("bom.csv", "\xEF\xBB\xBF"
                     "x\r\n\0y"s);
    EXPECT_EQ(ReadTextFile(PathOf("bom.csv")), "x\r\n");
}

struct TOpenErrorCase {
    const char* Name;
    const char* Path; // relative to the temporary folder
    const char* SystemText;
};
void PrintTo(const TOpenErrorCase& c, std::ostream* os) {
    *os << c.Name;
}

class TReadFileError : public TReadFile, public testing::WithParamInterface<TOpenErrorCase> {};

TEST_P(TReadFileError, ThrowsWithFullPathAndSystemText) {
    ASSERT_TRUE(QDir(Dir.path()).mkdir("folder.csv"));
    const std::string fullPath =
        QDir::toNativeSeparators(Dir.filePath(GetParam().Path)).toStdString();
    // A relative name is reported with its full path.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Dir.path()));
    try {
        ReadFileBytes(GetParam().Path);
        ADD_FAILURE() << "no exception";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "ファイル " + fullPath + " は開けません。 " + GetParam().SystemText + " ");
    }
    QDir::setCurrent(previous);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, TReadFileError,
    testing::Values(TOpenErrorCase{"Missing", "missing.csv", "No such file or directory"},
                    TOpenErrorCase{"InMissingFolder", "nowhere/x.csv", "No such file or directory"},
                    TOpenErrorCase{"Folder", "folder.csv", "Is a directory"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace ostrel
