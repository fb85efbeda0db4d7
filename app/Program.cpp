// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Program.h"

#include "app/Application.h"
#include "app/ErrorBox.h"
#include "app/HeadlessLaunch.h"
#include "app/MainForm.h"
#include "dialogs/OKRightDlg.h"
#include "logger/CommandLine.h"
#include "logger/Language.h"
#include "platform/DynamicLibrary.h"
#include "platform/Utf8Path.h"

#include <iostream>
#include <memory>

namespace ostrel {

int RunProgram(int argc, char** argv, const TShownHook& shown) {
    // The window's own toolkit options (-platform, -style, ...) are Qt's to
    // take; only ours are looked at here.
    const TCommandLine line = ParseCommandLine({argv + 1, argv + argc});
    if (line.Help) {
        std::cout << UsageText();
        return 0;
    }
    if (line.Version) {
        std::cout << VersionText();
        return 0;
    }
    if (line.Headless) {
        return RunHeadless(argc, argv);
    }
    PassToAdapters(line);
    InstallLanguage(ChooseLanguage(line.Language, ProcessVariable),
                    PathFromUtf8(ExecutableFilePath()).parent_path());
    TApplication app(argc, argv);
    try {
        app.WatchTerminationSignals();
        auto mainForm = std::make_unique<TMainForm>(TMainForm::DefaultOptions(line.Device));
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
