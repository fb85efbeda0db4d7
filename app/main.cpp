// SPDX-License-Identifier: GPL-3.0-or-later
// Ostrel: logs a radiation counter, one record per clock minute.

#include "app/Application.h"
#include "app/ErrorBox.h"
#include "app/MainForm.h"
#include "dialogs/OKRightDlg.h"

#include <memory>

int main(int argc, char** argv) {
    ostrel::TApplication app(argc, argv);
    try {
        app.WatchTerminationSignals();
        auto mainForm = std::make_unique<ostrel::TMainForm>(ostrel::TMainForm::DefaultOptions());
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
