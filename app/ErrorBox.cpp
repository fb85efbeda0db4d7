// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ErrorBox.h"

#include "platform/Memory.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QString>

#include <exception>
#include <new>

namespace ostrel {
namespace {

std::function<void(const std::string&, const std::string&)>& Sink() {
    static std::function<void(const std::string&, const std::string&)> sink;
    return sink;
}

bool& BoxOpen() {
    static bool open = false;
    return open;
}

// The code point that ends a UTF-8 text.
char32_t LastCodePoint(std::string_view text) {
    std::size_t start = text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
        --start;
    }
    const QString tail =
        QString::fromUtf8(text.data() + start, static_cast<qsizetype>(text.size() - start));
    const auto ucs4 = tail.toUcs4();
    return ucs4.isEmpty() ? U'\0' : static_cast<char32_t>(ucs4.back());
}

} // namespace

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && LastCodePoint(text) > U'.') {
        text += '.';
    }
    return text;
}

std::string ApplicationTitle(std::string_view executablePath) {
    const std::size_t slash = executablePath.find_last_of("/\\");
    std::string_view name =
        slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
    name = name.substr(0, name.find('.'));
    QString title = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (title.size() > 1) {
        title = title.left(1) + title.mid(1).toLower();
    }
    return title.toStdString();
}

void SetErrorBoxSink(std::function<void(const std::string&, const std::string&)> sink) {
    Sink() = std::move(sink);
}

bool ShowErrorBox(std::string_view message) {
    if (BoxOpen()) {
        return false;
    }
    BoxOpen() = true;
    const std::string text = ErrorBoxText(message);
    const std::string caption =
        ApplicationTitle(QCoreApplication::applicationFilePath().toStdString());
    if (Sink()) {
        Sink()(text, caption);
    } else {
        QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    }
    BoxOpen() = false;
    return true;
}

void ShowCurrentException() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        // Its own text is the library's ("std::bad_alloc"), not the user's.
        ShowErrorBox(Translate(OutOfMemoryText));
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    } catch (...) {
        ShowErrorBox("");
    }
}

void RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        ShowCurrentException();
    }
}

} // namespace ostrel
