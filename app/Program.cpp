// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Program.h"

#include "app/Application.h"
#include "app/ErrorBox.h"
#include "app/HeadlessLaunch.h"
#include "app/MainForm.h"
#include "dialogs/OKRightDlg.h"
#include "logger/CommandLine.h"
#include "platform/FileLock.h"
#include "platform/ProgramArguments.h"

#include <iostream>
#include <memory>
#include <optional>

namespace ostrel {

int RunProgram(int argc, char** argv, const TShownHook& shown) {
    // The window's own toolkit options (-platform, -style, ...) are Qt's to
    // take; only ours are looked at here.
    const TCommandLine line = ParseCommandLine(ProgramArguments(argc, argv));
    if (const std::optional<int> status = Answer(line, std::cout)) {
        return *status;
    }
    if (line.Headless) {
        return RunHeadless(argc, argv);
    }
    if (const std::string error = CommandLineError(line); !error.empty()) {
        std::cerr << error;
        return 2;
    }
    Apply(line);
    TApplication app(argc, argv);
    try {
        app.WatchTerminationSignals();
        TMainFormOptions options =
            TMainForm::DefaultOptions(line.Device, {line.Config, line.Profile});
        TFileLock instance;
        if (!HoldInstance({{},
                           options.SettingsPath,
                           options.StateFolder,
                           options.ProfileName,
                           options.ConfigPath},
                          instance, std::cerr)) {
            return 1;
        }
        auto mainForm = std::make_unique<TMainForm>(std::move(options));
        auto settingsDialog = std::make_unique<TOKRightDlg>();
        mainForm->SetSettingsDialog(settingsDialog.get());
        mainForm->show();
        if (shown) {
            shown(*mainForm);
        }
        app.exec();
        // The settings dialog goes first, then the main window, whose
        // destruction writes the settings and unloads the device library.
        settingsDialog.reset();
        mainForm.reset();
    } catch (...) {
        ShowCurrentException();
    }
    return 0;
}

} // namespace ostrel
