// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/FileErrors.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

namespace ostrel {

namespace {

std::string FullPath(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    return QDir::toNativeSeparators(info.absoluteFilePath()).toStdString();
}

// Replaces the first "%s" of text at or after from; returns where the
// inserted text ends.
std::size_t ReplaceNext(std::string& text, std::size_t from, std::string_view value) {
    const std::size_t at = text.find("%s", from);
    if (at == std::string::npos) {
        return text.size();
    }
    text.replace(at, 2, value);
    return at + value.size();
}

} // namespace

std::string FileErrorText(std::string_view pattern, const std::string& path,
                          std::string_view systemError) {
    std::string text = Translate(pattern);
    // The path goes in first and the search goes on after it, so a "%s" in
    // a file name is never taken for the second placeholder.
    const std::size_t next = ReplaceNext(text, 0, FullPath(path));
    ReplaceNext(text, next, Translate(systemError));
    return text;
}

} // namespace ostrel
