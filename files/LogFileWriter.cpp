// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/LogFileWriter.h"

#include "files/FileErrors.h"
#include "files/TextFile.h"
#include "platform/Exceptions.h"

#include <QSaveFile>
#include <QString>
#include <QStringEncoder>

#include <algorithm>
#include <functional>
#include <future>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace ostrel {

namespace {

constexpr std::string_view LineBreak = "\r\n";

[[noreturn]] void ThrowCannotCreate(const std::string& path, const QSaveFile& file) {
    throw EFileError(FileErrorText(CannotCreateFileText, path, file.errorString().toStdString()));
}

// A write may take only a part of the data without an error (the first
// write that meets a full disk); only the next one reports why.
void WriteChunk(QSaveFile& file, const std::string& path, std::string_view chunk) {
    while (!chunk.empty()) {
        const qint64 written = file.write(chunk.data(), qint64(chunk.size()));
        if (written <= 0) {
            // Leaving without commit() throws the temporary file away.
            ThrowCannotCreate(path, file);
        }
        chunk.remove_prefix(std::size_t(written));
    }
}

constexpr std::size_t LinesPerPart = 1 << 15;

// Makes the line appended to out from start on what a log file holds.
void EncodeLogFileLine(std::string& out, std::size_t start) {
    // The program's own lines are ASCII and go out as they are.
    const std::string_view line = std::string_view(out).substr(start);
    if (!IsAscii(line)) {
        QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
        const QByteArray bytes =
            encoder.encode(QString::fromUtf8(line.data(), qsizetype(line.size())));
        out.replace(start, std::string::npos, bytes.constData(), std::size_t(bytes.size()));
    }
    out += LineBreak;
}

// LogFileLines on a thread of its own, or when asked for without one.
std::future<std::string> StartPart(const TLineWriter& appendLine, std::size_t first,
                                   std::size_t last) {
    try {
        return std::async(std::launch::async, LogFileLines, std::cref(appendLine), first, last);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, LogFileLines, std::cref(appendLine), first, last);
    }
}

} // namespace

void AppendLogFileLine(std::string& out, std::string_view line) {
    const std::size_t start = out.size();
    out += line;
    EncodeLogFileLine(out, start);
}

std::string LogFileLines(const TLineWriter& appendLine, std::size_t first, std::size_t last) {
    std::string bytes;
    for (std::size_t k = first; k < last; ++k) {
        const std::size_t start = bytes.size();
        appendLine(bytes, k);
        EncodeLogFileLine(bytes, start);
    }
    return bytes;
}

void WriteLogFile(const std::string& path, const std::vector<std::string>& lines) {
    WriteLogFile(path, lines.size(),
                 [&lines](std::string& out, std::size_t k) { out += lines[k]; });
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        ThrowCannotCreate(path, file);
    }
    WriteChunk(file, path, bytes);
    if (!file.commit()) {
        ThrowCannotCreate(path, file);
    }
}

void WriteLogFile(const std::string& path, std::size_t count, const TLineWriter& appendLine) {
    QSaveFile file(QString::fromStdString(path));
    // Unbuffered: the parts are large already, and a failed write then
    // reports the system's own reason at once.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        ThrowCannotCreate(path, file);
    }
    // Making the lines costs far more than writing them: each round makes one
    // part here and one on each other core, then writes them in order.
    const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
    for (std::size_t first = 0; first < count;) {
        const std::size_t own = std::min(count, first + LinesPerPart);
        std::vector<std::future<std::string>> others;
        std::size_t next = own;
        for (std::size_t t = 1; t < threads && next < count; ++t) {
            const std::size_t end = std::min(count, next + LinesPerPart);
            others.push_back(StartPart(appendLine, next, end));
            next = end;
        }
        WriteChunk(file, path, LogFileLines(appendLine, first, own));
        for (std::future<std::string>& part : others) {
            WriteChunk(file, path, part.get());
        }
        first = next;
    }
    if (!file.commit()) {
        ThrowCannotCreate(path, file);
    }
}

} // namespace ostrel
