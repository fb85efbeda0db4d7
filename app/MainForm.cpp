// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainForm.h"

#include "app/ErrorBox.h"
#include "display/Chart.h"
#include "display/ChartViews.h"
#include "display/ClientArea.h"
#include "display/LogList.h"
#include "display/RebuildDisplay.h"
#include "files/FileDialogChooser.h"
#include "files/NewCommand.h"
#include "journal/JournalFolder.h"
#include "platform/Utf8Path.h"
#include "settings/OKRightDlg.h"
#include "settings/SetCommand.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>

#include <iostream>
#include <system_error>

namespace ostrel {
namespace {

void ShowPlainMessage(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

// ~/.config/ostrel (or the platform's like): where an installed program keeps
// its settings; empty where the platform has none.
std::filesystem::path UserConfigFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) {
        return {};
    }
    return PathFromUtf8(base.toStdString()) / "ostrel";
}

} // namespace

TMainFormOptions TMainForm::DefaultOptions() {
    TMainFormOptions options;
    options.LibraryCandidates = DefaultCounterLibraryCandidates();
    const std::filesystem::path executable =
        PathFromUtf8(QCoreApplication::applicationFilePath().toStdString());
    options.SettingsPath = ChooseSettingsPath(executable, UserConfigFolder());
    if (options.SettingsPath != SettingsPath(executable)) {
        // The settings are written when the program ends, into a folder
        // that a first run has not made yet.
        std::error_code ignored;
        std::filesystem::create_directories(options.SettingsPath.parent_path(), ignored);
    }
    options.FormatSettings = SystemFormatSettings();
    options.JournalFolder = DefaultJournalFolder();
    return options;
}

TMainForm::TMainForm(TMainFormOptions options, QWidget* parent)
    : QMainWindow(parent), Options(std::move(options)), CounterLibrary(Options.LibraryCandidates) {
    if (!Options.ShowMessage) {
        Options.ShowMessage = ShowPlainMessage;
    }
    if (!Options.ShowNotConnected) {
        Options.ShowNotConnected = ShowNotConnectedMessage;
    }
    if (!Options.Chooser) {
        Options.Chooser = std::make_shared<TFileDialogChooser>(this);
    }
    setWindowTitle(QString::fromUtf8(MainFormCaption));
    setFont(QFont("Tahoma", 8));
    setMinimumSize(256, 256);

    ChartWidget = new TChart(Options.FormatSettings);
    Client = new TClientArea(ChartWidget);
    setCentralWidget(Client);
    BuildMenu();
    resize(572, 377 + menuBar()->sizeHint().height());

    AcquisitionTimer.setInterval(TimerInterval);
    connect(&AcquisitionTimer, &QTimer::timeout, this,
            [this] { RunGuarded([this] { TimerTimer(); }); });
    Acquisition = std::make_unique<TAcquisition>(
        CounterLibrary.EntryPoints(),
        TAcquisitionTargets{Records, Views(), GraphCoefficient, GraphBackground},
        Options.FormatSettings);
    Acquisition->OnTimerSwitched = [this](bool on) {
        if (on) {
            if (MqttPublisher) {
                MqttPublisher->SetDeviceId(Acquisition->DeviceId);
            }
            AcquisitionTimer.start();
        } else {
            AcquisitionTimer.stop();
        }
    };
    FileCommands = std::make_unique<TLogFileCommands>(TLogFileParts{
        *Options.Chooser, Records, [this]() -> const TLogView& { return Log(); },
        [this] { NewClick(); }, [this] { RebuildDisplay(); }, Options.FormatSettings});
    StartJournal();

    FormCreate();
}

TMainForm::~TMainForm() {
    AcquisitionTimer.stop();
    // Whatever the journal still holds goes out before the program ends.
    LogJournal.reset();
    RunGuarded([this] { FormDestroy(); });
}

void TMainForm::StartJournal() {
    if (Options.JournalFolder.empty()) {
        return;
    }
    // Told on the writer's thread; shown on this one, never inside a tick.
    LogJournal =
        std::make_unique<TJournal>(Options.JournalFolder, [this](const TJournalFailure& failure) {
            QMetaObject::invokeMethod(
                this, [this, text = JournalFailureText(failure)] { ReportJournalFailure(text); },
                Qt::QueuedConnection);
        });
    Acquisition->AddFinishedMinuteSink(*LogJournal);
}

void TMainForm::ReportJournalFailure(std::string text) {
    const bool waiting = WaitingJournalReport.has_value();
    WaitingJournalReport = std::move(text);
    if (!waiting) {
        ShowJournalReport();
    }
}

void TMainForm::ShowJournalReport() {
    const std::string text = *std::exchange(WaitingJournalReport, std::nullopt);
    if (!ShowErrorBox(text)) {
        if (!WaitingJournalReport) {
            WaitingJournalReport = text;
        }
        QTimer::singleShot(JournalReportRetry, this, [this] { ShowJournalReport(); });
    }
}

TLogList& TMainForm::Log() {
    return Client->Log();
}

TDisplayViews TMainForm::Views() {
    return ChartViews(*ChartWidget, Log());
}

QAction* TMainForm::AddItem(QMenu* menu, const char* name, const char* caption,
                            void (TMainForm::*command)()) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromUtf8(name));
    connect(action, &QAction::triggered, this,
            [this, command] { RunGuarded([this, command] { (this->*command)(); }); });
    return action;
}

void TMainForm::BuildMenu() {
    QMenu* file = menuBar()->addMenu(QString::fromUtf8("ファイル(&F)"));
    file->setObjectName("File");
    AddItem(file, "New", "新規作成(&N)", &TMainForm::NewClick);
    AddItem(file, "Open", "開く(&O)...", &TMainForm::OpenClick);
    AddItem(file, "Save", "上書き保存(&S)", &TMainForm::SaveClick);
    AddItem(file, "SaveAs", "名前をつけて保存(&A)...", &TMainForm::SaveAsClick);
    file->addSeparator()->setObjectName("N2");
    AddItem(file, "Exit", "終了(&X)", &TMainForm::ExitClick);

    QMenu* logger = menuBar()->addMenu(QString::fromUtf8("ロガー(&L)"));
    logger->setObjectName("Logger");
    AddItem(logger, "Start", "接続/開始(&B)", &TMainForm::StartClick);
    AddItem(logger, "Stop", "切断/停止(&S)", &TMainForm::StopClick);
    QAction* n3 = logger->addSeparator();
    n3->setObjectName("N3");
    n3->setVisible(false);
    AddItem(logger, "RedrawGraphs", "グラフ再描画(&G)", &TMainForm::RedrawGraph);

    QMenu* setting = menuBar()->addMenu(QString::fromUtf8("設定(&S)"));
    setting->setObjectName("Setting");
    AddItem(setting, "Hide", "ログを隠す(&H)", &TMainForm::HideClick);
    AddItem(setting, "Show", "ログを表示(&S)...", &TMainForm::ShowClick);
    setting->addSeparator()->setObjectName("N1");
    AddItem(setting, "Set", "各種設定(&M)...", &TMainForm::SetClick);
}

void TMainForm::FormCreate() {
    if (!CounterLibrary.LoadCounterLibrary()) {
        Options.ShowMessage(LibraryMissingText, LibraryMissingCaption);
        // Queued: the message loop takes it as soon as it runs.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    const TGraphSettings graph = ReadGraphSettings(Options.SettingsPath, Options.FormatSettings);
    GraphCoefficient = graph.GraphCoefficient;
    GraphBackground = graph.GraphBackground;
    const TMqttSettings mqtt = ReadMqttSettings(
        Options.SettingsPath, QSysInfo::machineHostName().toStdString(), std::cerr);
    if (mqtt.Enabled()) {
        MqttPublisher = std::make_unique<TMqttPublisher>(mqtt);
        Acquisition->AddFinishedMinuteSink(*MqttPublisher);
    }
    Acquisition->DeviceId = 0;
    HideClick();
    NewClick();
}

void TMainForm::FormDestroy() {
    if (Destroyed) {
        return;
    }
    Destroyed = true;
    // The library is released even when the settings cannot be written, so
    // its Clear always comes; the write error is still reported. The
    // publisher says "offline" after the settings, whatever became of them.
    try {
        WriteGraphSettings(Options.SettingsPath, GraphCoefficient, GraphBackground,
                           Options.FormatSettings);
    } catch (...) {
        MqttPublisher.reset();
        CounterLibrary.UnloadCounterLibrary();
        throw;
    }
    MqttPublisher.reset();
    CounterLibrary.UnloadCounterLibrary();
}

void TMainForm::NewClick() {
    ostrel::NewClick([this] { FileCommands->NewFileNames(); }, Views(), Records);
    if (LogJournal) {
        LogJournal->BeginLog();
    }
}

void TMainForm::OpenClick() {
    // Open ran New, which began the opened log's journal.
    if (FileCommands->OpenClick() && LogJournal) {
        LogJournal->AddOpenedLines(Records, GraphCoefficient, GraphBackground,
                                   Options.FormatSettings);
    }
}
void TMainForm::SaveClick() {
    FileCommands->SaveClick();
}
void TMainForm::SaveAsClick() {
    FileCommands->SaveAsClick();
}
void TMainForm::ExitClick() {
    close();
}
void TMainForm::StartClick() {
    Acquisition->StartClick();
}
void TMainForm::StopClick() {
    Acquisition->StopClick();
}
void TMainForm::TimerTimer() {
    Acquisition->TimerTimer();
}
void TMainForm::RedrawGraph() {
    RebuildDisplay();
}
void TMainForm::HideClick() {
    Client->HideClick();
}
void TMainForm::ShowClick() {
    Client->ShowClick();
}

void TMainForm::RebuildDisplay() {
    ostrel::RebuildDisplay(Records, GraphCoefficient, GraphBackground, Views(),
                           Options.FormatSettings);
}

void TMainForm::SetClick() {
    if (SettingsDialog == nullptr) {
        return;
    }
    ostrel::SetClick(TSetContext{GraphCoefficient, GraphBackground, DeviceCoefficient,
                                 DeviceBackground, Acquisition->DeviceId,
                                 CounterLibrary.EntryPoints(), *SettingsDialog,
                                 [this] { RebuildDisplay(); }, Options.ShowNotConnected});
}

} // namespace ostrel
