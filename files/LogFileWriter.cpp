// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/LogFileWriter.h"

#include "files/FileErrors.h"
#include "files/TextFile.h"
#include "platform/Exceptions.h"

#include <QSaveFile>
#include <QString>
#include <QStringEncoder>

#include <string_view>

namespace ostrel {

namespace {

constexpr std::string_view LineBreak = "\r\n";
constexpr std::size_t ChunkSize = 1 << 20;

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

} // namespace

void AppendLogFileLine(std::string& out, std::string_view line) {
    // The program's own lines are ASCII and go out as they are.
    if (IsAscii(line)) {
        out += line;
    } else {
        QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
        const QByteArray bytes =
            encoder.encode(QString::fromUtf8(line.data(), qsizetype(line.size())));
        out.append(bytes.constData(), std::size_t(bytes.size()));
    }
    out += LineBreak;
}

void WriteLogFile(const std::string& path, const std::vector<std::string>& lines) {
    WriteLogFile(path, std::vector<std::string_view>(lines.begin(), lines.end()));
}

void WriteLogFile(const std::string& path, const std::vector<std::string_view>& lines) {
    QSaveFile file(QString::fromStdString(path));
    // Unbuffered: the chunks are large already, and a failed write then
    // reports the system's own reason at once.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        ThrowCannotCreate(path, file);
    }
    std::string chunk;
    chunk.reserve(ChunkSize + 256);
    for (const std::string_view line : lines) {
        AppendLogFileLine(chunk, line);
        if (chunk.size() >= ChunkSize) {
            WriteChunk(file, path, chunk);
            chunk.clear();
        }
    }
    if (!chunk.empty()) {
        WriteChunk(file, path, chunk);
    }
    if (!file.commit()) {
        ThrowCannotCreate(path, file);
    }
}

} // namespace ostrel
