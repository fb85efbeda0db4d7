// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/TerminationSignals.h"

#include <QObject>
#include <QSocketNotifier>

#ifndef _WIN32
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ostrel {

#ifndef _WIN32
namespace {

int SignalWriteEnd = -1;

void OnTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const auto written = ::write(SignalWriteEnd, &byte, 1);
}

} // namespace
#endif

void WatchTerminationSignals([[maybe_unused]] QObject* owner,
                             [[maybe_unused]] std::function<void()> onSignal) {
#ifndef _WIN32
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
