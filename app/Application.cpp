// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"

#include "app/ErrorBox.h"
#include "logger/TerminationSignals.h"

#include <QWidget>

namespace ostrel {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setQuitOnLastWindowClosed(true);
    // The menu entry's name (packaging/): by it a Wayland desktop finds the
    // window's icon and groups it with its launcher.
    setDesktopFileName(QStringLiteral("io.github.ostrel.ostrel"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
    }
    return false;
}

void TApplication::WatchTerminationSignals() {
    ostrel::WatchTerminationSignals(this, [this] { EndOnSignal(); });
}

void TApplication::EndOnSignal() {
    // Dialogs can stack (an error box over the settings dialog).
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = activeModalWidget();
        if (modal == nullptr || !modal->close()) {
            break;
        }
    }
    QMetaObject::invokeMethod(this, &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace ostrel
