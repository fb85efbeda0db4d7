// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainForm.h"

#include "analysis/StatisticsWindow.h"
#include "app/ChartExports.h"
#include "app/ErrorBox.h"
#include "app/FileDialogChooser.h"
#include "dialogs/OKRightDlg.h"
#include "dialogs/SetCommand.h"
#include "display/Chart.h"
#include "display/ChartScale.h"
#include "display/ChartViews.h"
#include "display/ClientArea.h"
#include "display/LogList.h"
#include "logger/Places.h"
#include "outputs/Outputs.h"
#include "platform/TextServices.h"
#include "platform/Translation.h"
#include "platform/Utf8Path.h"
#include "stats/CountStatistics.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QSysInfo>
#include <QTimer>

#include <iostream>

namespace ostrel {
namespace {

// A text of the program's own in the user's language.
QString Tr(const char* text) {
    return QString::fromStdString(Translate(text));
}

TIndexSpan VisibleSpan(const TChart& chart, const TRecords& records) {
    const QCPRange range = chart.xAxis->range();
    return IndicesWithin({range.lower, range.upper}, records.Count());
}

void ShowPlainMessage(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace

TMainFormOptions TMainForm::DefaultOptions(const std::optional<std::string>& device,
                                           const TSettingsChoice& choice) {
    TPlaces places =
        DefaultPlaces(PathFromUtf8(QCoreApplication::applicationFilePath().toStdString()), device,
                      std::cerr, choice);
    TMainFormOptions options;
    options.LibraryCandidates = std::move(places.LibraryCandidates);
    options.SettingsPath = std::move(places.SettingsPath);
    options.StateFolder = std::move(places.StateFolder);
    options.ProfileName = std::move(places.ProfileName);
    options.ConfigPath = std::move(places.ConfigPath);
    options.Instance = std::move(places.Instance);
    options.StationName = std::move(places.StationName);
    options.CounterModel = std::move(places.CounterModel);
    options.FormatSettings = SystemFormatSettings();
    return options;
}

TMainForm::TMainForm(TMainFormOptions options, QWidget* parent)
    : QMainWindow(parent), Options(std::move(options)) {
    if (!Options.ShowMessage) {
        Options.ShowMessage = ShowPlainMessage;
    }
    if (!Options.ShowNotConnected) {
        Options.ShowNotConnected = ShowNotConnectedMessage;
    }
    if (!Options.Chooser) {
        Options.Chooser = std::make_shared<TFileDialogChooser>(this);
    }
    setWindowTitle(QString::fromStdString(MainFormTitle(Options.ProfileName)));
    setFont(QFont("Tahoma", 8));
    setMinimumSize(256, 256);

    ChartWidget = new TChart(Options.FormatSettings);
    Client = new TClientArea(ChartWidget);
    setCentralWidget(Client);
    BuildMenu();
    resize(572, 377 + menuBar()->sizeHint().height());

    TLoggerOptions logger;
    logger.LibraryCandidates = Options.LibraryCandidates;
    logger.SettingsPath = Options.SettingsPath;
    logger.FormatSettings = Options.FormatSettings;
    logger.Chooser = Options.Chooser;
    logger.RunTick = RunGuarded;
    // Told on an output's own thread; shown on this one, never inside a tick.
    TOutputContext context{
        Options.SettingsPath, Options.StateFolder, QSysInfo::machineHostName().toStdString(),
        [this](const std::string& text) {
            QMetaObject::invokeMethod(
                this, [this, text] { ReportOutputFailure(text); }, Qt::QueuedConnection);
        }};
    context.StationName = Options.StationName;
    context.Instance = Options.Instance;
    context.CounterModel = Options.CounterModel;
    TOutputSet outputs = MakeOutputs(std::move(context));
    logger.Outputs = std::move(outputs.Outputs);
    logger.Alarm = outputs.Alarm;
    Session = std::make_unique<TLogger>(std::move(logger), Views());
    // The count's interval is not shown yet.
    ChartWidget->SetTips({[this](int index) { return PointTime(index); },
                          [](std::uint64_t count) {
                              const TCountInterval interval = PoissonInterval(count);
                              return TTipBounds{interval.Lower, interval.Upper};
                          },
                          [this](int index) { return PointDoseRateInterval(index); }});

    FormCreate();
}

TMainForm::~TMainForm() {
    RunGuarded([this] { FormDestroy(); });
}

void TMainForm::ReportOutputFailure(std::string text) {
    const bool waiting = WaitingOutputReport.has_value();
    WaitingOutputReport = std::move(text);
    if (!waiting) {
        ShowOutputReport();
    }
}

void TMainForm::ShowOutputReport() {
    const std::string text = *std::exchange(WaitingOutputReport, std::nullopt);
    if (!ShowErrorBox(text)) {
        if (!WaitingOutputReport) {
            WaitingOutputReport = text;
        }
        QTimer::singleShot(OutputReportRetry, this, [this] { ShowOutputReport(); });
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
    QAction* action = menu->addAction(Tr(caption));
    action->setObjectName(QString::fromUtf8(name));
    connect(action, &QAction::triggered, this,
            [this, command] { RunGuarded([this, command] { (this->*command)(); }); });
    return action;
}

void TMainForm::BuildMenu() {
    QMenu* file = menuBar()->addMenu(Tr(OSTREL_TR("Ostrel", "ファイル(&F)")));
    file->setObjectName("File");
    AddItem(file, "New", OSTREL_TR("Ostrel", "新規作成(&N)"), &TMainForm::NewClick);
    AddItem(file, "Open", OSTREL_TR("Ostrel", "開く(&O)..."), &TMainForm::OpenClick);
    AddItem(file, "Save", OSTREL_TR("Ostrel", "上書き保存(&S)"), &TMainForm::SaveClick);
    AddItem(file, "SaveAs", OSTREL_TR("Ostrel", "名前をつけて保存(&A)..."),
            &TMainForm::SaveAsClick);
    file->addSeparator()->setObjectName("N2");
    AddItem(file, "Exit", OSTREL_TR("Ostrel", "終了(&X)"), &TMainForm::ExitClick);

    QMenu* logger = menuBar()->addMenu(Tr(OSTREL_TR("Ostrel", "ロガー(&L)")));
    logger->setObjectName("Logger");
    AddItem(logger, "Start", OSTREL_TR("Ostrel", "接続/開始(&B)"), &TMainForm::StartClick);
    AddItem(logger, "Stop", OSTREL_TR("Ostrel", "切断/停止(&S)"), &TMainForm::StopClick);
    QAction* n3 = logger->addSeparator();
    n3->setObjectName("N3");
    n3->setVisible(false);
    AddItem(logger, "RedrawGraphs", OSTREL_TR("Ostrel", "グラフ再描画(&G)"),
            &TMainForm::RedrawGraph);

    QMenu* setting = menuBar()->addMenu(Tr(OSTREL_TR("Ostrel", "設定(&S)")));
    setting->setObjectName("Setting");
    AddItem(setting, "Hide", OSTREL_TR("Ostrel", "ログを隠す(&H)"), &TMainForm::HideClick);
    AddItem(setting, "Show", OSTREL_TR("Ostrel", "ログを表示(&S)..."), &TMainForm::ShowClick);
    setting->addSeparator()->setObjectName("N1");
    AddItem(setting, "Set", OSTREL_TR("Ostrel", "各種設定(&M)..."), &TMainForm::SetClick);

    QMenu* analysis = menuBar()->addMenu(Tr(OSTREL_TR("Ostrel", "解析(&A)")));
    analysis->setObjectName("Analysis");
    AddItem(analysis, "SpanStatistics", OSTREL_TR("Ostrel", "区間の統計(&T)..."),
            &TMainForm::SpanStatisticsClick);
    AddItem(analysis, "SaveChartImage", OSTREL_TR("Ostrel", "グラフを画像で保存(&I)..."),
            &TMainForm::SaveChartImageClick);
    AddItem(analysis, "ExportCsv", OSTREL_TR("Ostrel", "CSVで書き出す(&E)..."),
            &TMainForm::ExportCsvClick);
    AddItem(analysis, "ExportAllCsv", OSTREL_TR("Ostrel", "全記録をCSVで書き出す(&W)..."),
            &TMainForm::ExportAllCsvClick);
}

void TMainForm::FormCreate() {
    if (!Session->LoadCounterLibrary()) {
        Options.ShowMessage(Translate(LibraryMissingText), Translate(LibraryMissingCaption));
        // Queued: the message loop takes it as soon as it runs.
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    Session->ReadSettings();
    HideClick();
    NewClick();
    Session->ResumeLeftLog(std::cerr);
}

void TMainForm::FormDestroy() {
    Session->End();
}

void TMainForm::NewClick() {
    Session->New();
}
void TMainForm::OpenClick() {
    Session->Open();
}
void TMainForm::SaveClick() {
    Session->Save();
}
void TMainForm::SaveAsClick() {
    Session->SaveAs();
}
void TMainForm::ExitClick() {
    close();
}
void TMainForm::StartClick() {
    Session->Start();
}
void TMainForm::StopClick() {
    Session->Stop();
}
void TMainForm::TimerTimer() {
    Session->Tick();
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

std::string TMainForm::PointTime(int index) const {
    const TRecords& records = Session->Records;
    const auto k = static_cast<std::size_t>(index);
    return k < records.Count()
               ? FormatDateTime(MinuteTextPattern, records[k].StartTime, Options.FormatSettings)
               : std::string();
}

std::optional<TTipBounds> TMainForm::PointDoseRateInterval(int index) const {
    const std::optional<TDoseRateInterval> interval =
        DoseRateInterval(Session->Records, static_cast<std::size_t>(index),
                         Session->GraphCoefficient, Session->GraphBackground);
    if (!interval) {
        return std::nullopt;
    }
    return TTipBounds{interval->Lower, interval->Upper};
}

std::span<const TMinuteRecord> TMainForm::VisibleMinutes() const {
    const TIndexSpan span = VisibleSpan(*ChartWidget, Session->Records);
    return Session->Records.All().subspan(span.First, span.End - span.First);
}

void TMainForm::SpanStatisticsClick() {
    ShowSpanStatistics(this, VisibleMinutes(), Options.FormatSettings);
}
void TMainForm::SaveChartImageClick() {
    SaveChartImage(*Options.Chooser, *ChartWidget);
}
void TMainForm::ExportCsvClick() {
    const TIndexSpan span = VisibleSpan(*ChartWidget, Session->Records);
    ExportCsv(span.First, span.End);
}
void TMainForm::ExportAllCsvClick() {
    ExportCsv(0, Session->Records.Count());
}

void TMainForm::ExportCsv(std::size_t first, std::size_t end) {
    ExportMinutes(*Options.Chooser, {Session->Records, first, end, Session->GraphCoefficient,
                                     Session->GraphBackground});
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        ChartWidget->SetDrawingHeld(isMinimized());
    }
}

void TMainForm::RebuildDisplay() {
    Session->RebuildDisplay();
}

void TMainForm::SetClick() {
    if (SettingsDialog == nullptr) {
        return;
    }
    TLogger& logger = *Session;
    ostrel::SetClick(TSetContext{
        logger.GraphCoefficient, logger.GraphBackground, logger.DeviceCoefficient,
        logger.DeviceBackground, logger.DeviceId(), logger.EntryPoints(), *SettingsDialog,
        [this] { Session->DoseRateSettingsSet(); }, Options.ShowNotConnected});
}

} // namespace ostrel
