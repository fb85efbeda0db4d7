// SPDX-License-Identifier: GPL-3.0-or-later
// Ostrel without a window: logs the counter from the start, one line a
// finished minute on the standard output, until SIGTERM or SIGINT.

#include "headless/HeadlessLogger.h"
#include "logger/CommandLine.h"
#include "logger/TerminationSignals.h"
#include "platform/FileLock.h"
#include "platform/ProgramArguments.h"
#include "platform/Utf8Path.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <iostream>
#include <optional>

namespace {

// The window's program beside this one: both read one settings file.
#ifdef _WIN32
constexpr const char* WindowProgram = "ostrel.exe";
#else
constexpr const char* WindowProgram = "ostrel";
#endif

} // namespace

int main(int argc, char** argv) {
    using namespace ostrel;
    const TCommandLine line = ParseCommandLine(ProgramArguments(argc, argv));
    if (const std::optional<int> status = Answer(line, std::cout)) {
        return *status;
    }
    if (line.Unknown) {
        std::cerr << "ostrel: unknown option " << *line.Unknown << "\n" << UsageText();
        return 2;
    }
    if (const std::string error = CommandLineError(line); !error.empty()) {
        std::cerr << error;
        return 2;
    }
    Apply(line);
    QCoreApplication app(argc, argv);
    TPlaces places =
        DefaultPlaces(PathFromUtf8(app.applicationDirPath().toStdString()) / WindowProgram,
                      line.Device, std::cerr, {line.Config, line.Profile});
    TFileLock instance;
    if (!HoldInstance(places, instance, std::cerr)) {
        return 1;
    }
    WatchTerminationSignals(&app, [&app] { app.quit(); });
    bool gone = false;
    THeadlessLogger logger({std::move(places), SystemFormatSettings(),
                            QSysInfo::machineHostName().toStdString(), std::cout, std::cerr,
                            [&app, &gone] {
                                gone = true;
                                app.quit();
                            }});
    if (!logger.Begin()) {
        logger.End();
        return 1;
    }
    app.exec();
    const bool ended = logger.End();
    if (gone) {
        // A service manager starts it again, and the counter with it.
        std::cerr << "ostrel: the counter is gone\n";
        return 1;
    }
    return ended ? 0 : 1;
}
