// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/TerminationSignals.h"

#include <QObject>
#include <QSocketNotifier>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <QMetaObject>
#include <QPointer>
#else
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ostrel {

#ifdef _WIN32
namespace {

QPointer<QObject> SignalOwner;
std::function<void()> SignalCall;

// Runs on a thread of the system's. Ctrl+C and Ctrl+Break end the program
// in order; for a closed console, a sign-out or a shutdown the system ends
// the process as soon as this returns, so it returns never: the process ends
// when the program has ended in order (or when the system's time is up).
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        if (SignalOwner) {
            QMetaObject::invokeMethod(SignalOwner, SignalCall, Qt::QueuedConnection);
        }
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
            Sleep(INFINITE);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace
#else
namespace {

int SignalWriteEnd = -1;

void OnTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const auto written = ::write(SignalWriteEnd, &byte, 1);
}

} // namespace
#endif

void WatchTerminationSignals(QObject* owner, std::function<void()> onSignal) {
#ifdef _WIN32
    if (SignalOwner) {
        return;
    }
    SignalOwner = owner;
    SignalCall = std::move(onSignal);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    int ends[2] = {-1, -1};
    if (SignalWriteEnd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return;
    }
    SignalWriteEnd = ends[1];
    auto* notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner,
                     [readEnd = ends[0], onSignal = std::move(onSignal)] {
                         char byte = 0;
                         [[maybe_unused]] const auto got = ::read(readEnd, &byte, 1);
                         onSignal();
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

} // namespace ostrel
