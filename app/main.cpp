// SPDX-License-Identifier: GPL-3.0-or-later
// Ostrel: logs a radiation counter, one record per clock minute.

#include "app/Application.h"
#include "app/ErrorBox.h"
#include "app/HeadlessLaunch.h"
#include "app/MainForm.h"
#include "dialogs/OKRightDlg.h"
#include "logger/CommandLine.h"

#include <iostream>
#include <memory>

int main(int argc, char** argv) {
    // The window's own toolkit options (-platform, -style, ...) are Qt's to
    // take; only ours are looked at here.
    const ostrel::TCommandLine line = ostrel::ParseCommandLine({argv + 1, argv + argc});
    if (line.Help) {
        std::cout << ostrel::UsageText();
        return 0;
    }
    if (line.Version) {
        std::cout << ostrel::VersionText();
        return 0;
    }
    if (line.Headless) {
        return ostrel::RunHeadless(argc, argv);
    }
    ostrel::PassToAdapters(line);
    ostrel::TApplication app(argc, argv);
    try {
        app.WatchTerminationSignals();
        auto mainForm =
            std::make_unique<ostrel::TMainForm>(ostrel::TMainForm::DefaultOptions(line.Device));
        auto settingsDialog = std::make_unique<ostrel::TOKRightDlg>();
        mainForm->SetSettingsDialog(settingsDialog.get());
        mainForm->show();
        app.exec();
        // The settings dialog goes first, then the main window, whose
        // destruction writes the settings and unloads the device library.
        settingsDialog.reset();
        mainForm.reset();
    } catch (...) {
        ostrel::ShowCurrentException();
    }
    return 0;
}
