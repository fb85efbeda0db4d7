// SPDX-License-Identifier: GPL-3.0-or-later
// Ostrel without a window: logs the counter from the start, one line a
// finished minute on the standard output, until SIGTERM or SIGINT.

#include "headless/HeadlessLogger.h"
#include "logger/CommandLine.h"
#include "logger/Language.h"
#include "logger/TerminationSignals.h"
#include "platform/DynamicLibrary.h"
#include "platform/Utf8Path.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <iostream>

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
    const TCommandLine line = ParseCommandLine({argv + 1, argv + argc});
    if (line.Help) {
        std::cout << UsageText();
        return 0;
    }
    if (line.Version) {
        std::cout << VersionText();
        return 0;
    }
    if (line.Unknown) {
        std::cerr << "ostrel: unknown option " << *line.Unknown << "\n" << UsageText();
        return 2;
    }
    PassToAdapters(line);
    InstallLanguage(ChooseLanguage(line.Language, ProcessVariable),
                    PathFromUtf8(ExecutableFilePath()).parent_path());
    QCoreApplication app(argc, argv);
    WatchTerminationSignals(&app, [&app] { app.quit(); });
    bool gone = false;
    THeadlessLogger logger(
        {DefaultPlaces(PathFromUtf8(app.applicationDirPath().toStdString()) / WindowProgram,
                       line.Device, std::cerr),
         SystemFormatSettings(), QSysInfo::machineHostName().toStdString(), std::cout, std::cerr,
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
