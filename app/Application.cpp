// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"

#include "app/ErrorBox.h"
#include "logger/TerminationSignals.h"

#include <QWidget>

namespace ostrel {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setQuitOnLastWindowClosed(true);
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
