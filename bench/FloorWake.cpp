// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of a logger that waits: a process that does nothing but wake
// every 100 ms, as the logger's timer does, until it is killed. With --qt it
// does the same with a 100 ms QTimer in a QCoreApplication's event loop, the
// least that a Qt program polling at that pace costs.

#include <QCoreApplication>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

constexpr long PeriodNanoseconds = 100'000'000;

int SleepLoop() {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (;;) {
        next.tv_nsec += PeriodNanoseconds;
        if (next.tv_nsec >= 1'000'000'000) {
            next.tv_nsec -= 1'000'000'000;
            ++next.tv_sec;
        }
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
    }
}

int TimerLoop(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTimer timer;
    timer.setInterval(static_cast<int>(PeriodNanoseconds / 1'000'000));
    timer.start();
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--qt") == 0) {
        return TimerLoop(argc, argv);
    }
    return SleepLoop();
}
