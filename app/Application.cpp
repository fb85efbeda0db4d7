// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"

#include "app/ErrorBox.h"

#include <QSocketNotifier>
#include <QWidget>

#ifndef _WIN32
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ostrel {
namespace {

#ifndef _WIN32
int SignalWriteEnd = -1;

void OnTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const auto written = ::write(SignalWriteEnd, &byte, 1);
}
#endif

} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setQuitOnLastWindowClosed(true);
}

TApplication::~TApplication() {
#ifndef _WIN32
    if (SignalPipe[0] >= 0) {
        ::close(SignalPipe[0]);
        ::close(SignalPipe[1]);
        SignalWriteEnd = -1;
    }
#endif
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
#ifndef _WIN32
    if (SignalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, SignalPipe) != 0) {
        return;
    }
    SignalWriteEnd = SignalPipe[1];
    auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(SignalPipe[0], &byte, 1);
        EndOnSignal();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
#endif
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
