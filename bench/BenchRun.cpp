// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BenchRun.h"

#include "bench/BurstScenario.h"
#include "bench/ChartScenario.h"
#include "bench/LogScenario.h"
#include "bench/Measure.h"
#include "bench/MemoryScenario.h"
#include "bench/MqttScenario.h"
#include "bench/OpenScenario.h"
#include "counter/CounterLibrary.h"
#include "display/Chart.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace ostrel::bench {
namespace {

constexpr double OpenTargetSeconds = 0.2;
constexpr std::size_t OpenTargetLines = 1'000'000;
constexpr double LinearScalingLimit = 1.5;
constexpr double BurstTargetSeconds = 0.1;
constexpr double ReplotLimit = 1.5;
constexpr int ReplotRuns = 31;
constexpr double MemoryTargetBytes = 100;
constexpr double SaveTargetSeconds = 0.15;
constexpr double LargeOpenTargetSeconds = 2.5;
constexpr double LargePeakTargetBytes = 1.2e9;
constexpr double LargePeakTargetBytesARecord = 64;
constexpr double OpenCpuLimit = 2.0;
constexpr double LargeOpenCpuLimit = 2.5;
// The small log whose Open is taken off: the window, its start and its end.
constexpr std::size_t OpenCpuSmallLines = 10;
constexpr int OpenCpuRuns = 3;
constexpr double StartupTargetSeconds = 0.5;
constexpr int StartupRuns = 7;
constexpr const char* StartupMapSettings =
    "[Radmon]\r\nUser=bench\r\nPassword=bench\r\nURL=http://127.0.0.1:9\r\n";
constexpr double MqttTickLimitSeconds = 0.001;
constexpr int ChildTimeoutMs = 300'000;
#ifdef _WIN32
constexpr const char* ProbeFileName = "ostrel-startup-probe.exe";
constexpr const char* FloorReadFileName = "ostrel-floor-read.exe";
#else
constexpr const char* ProbeFileName = "ostrel-startup-probe";
constexpr const char* FloorReadFileName = "ostrel-floor-read";
#endif

// The seconds after "key " in a child's report, if there.
std::optional<double> Reported(const std::string& out, const std::string& key) {
    const std::size_t at = out.find(key);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::stod(out.substr(at + key.size()));
}

} // namespace

int RunsFor(std::size_t n) {
    return n >= 1'000'000 ? 3 : n >= 100'000 ? 5 : 11;
}

TSizes FullSizes() {
    return {{10'000, 100'000, 1'000'000},
            100'000,
            360,
            1'000'000,
            1'000'000,
            601,
            300,
            1'000'000,
            10'000'000,
            {1, 10, 30},
            10,
            60,
            1'000'000};
}

TSizes QuickSizes() {
    return {{1'000, 5'000, 10'000},
            2'000,
            360,
            10'000,
            10'000,
            61,
            30,
            10'000,
            20'000,
            {1, 2, 3},
            0,
            15,
            10'000};
}

double TBench::OpenOnce(std::size_t n) {
    const std::string path = LogPath(n);
    WriteScenarioLog(path, n);
    std::size_t counted = 0;
    const double floor =
        Median(TimeRuns(RunsFor(n), {}, [&] { counted = ReadAndCountLines(path); }));
    if (counted != n) {
        Failed.push_back("the floor counted " + std::to_string(counted) + " lines in " + path);
    }
    std::unique_ptr<TOpenScenario> scenario;
    const double open = Median(TimeRuns(
        RunsFor(n),
        [&] {
            scenario.reset();
            scenario = std::make_unique<TOpenScenario>();
            scenario->Show();
        },
        [&] { scenario->Open(path); }));
    Expect("open " + FormatCount(n), scenario->Check(n));
    const bool targeted = n == OpenTargetLines;
    Row({"Open log, " + FormatCount(n) + " lines, to first replot", FormatSeconds(open),
         targeted ? "<= " + FormatSeconds(OpenTargetSeconds) : "",
         "floor (read + count lines) " + FormatSeconds(floor) + ", open/floor " +
             FormatRatio(open / floor),
         targeted ? VerdictOf(open <= OpenTargetSeconds) : TVerdict::None});
    Row({"  per line", FormatSeconds(open / static_cast<double>(n)), "",
         "floor " + FormatSeconds(floor / static_cast<double>(n)), TVerdict::None});
    return open;
}

void TBench::OpenLogs() {
    std::cerr << "open\n";
    std::vector<double> seconds;
    for (const std::size_t n : Sizes.Open) {
        seconds.push_back(OpenOnce(n));
    }
    // Linear means a constant cost per added line: the cost of the lines
    // added from the middle size to the largest against that from the
    // smallest to the middle one, fixed costs (window, replot) cancelled out.
    const std::vector<std::size_t>& n = Sizes.Open;
    const double early = (seconds[1] - seconds[0]) / static_cast<double>(n[1] - n[0]);
    const double late = (seconds[2] - seconds[1]) / static_cast<double>(n[2] - n[1]);
    Row({"Open, cost of a line added, " + FormatCount(n[1]) + "-" + FormatCount(n[2]) + " vs " +
             FormatCount(n[0]) + "-" + FormatCount(n[1]),
         FormatRatio(late / early), "<= " + FormatRatio(LinearScalingLimit) + " (linear)",
         FormatSeconds(late) + " vs " + FormatSeconds(early),
         VerdictOf(late / early <= LinearScalingLimit)});
}

void TBench::Burst(TBurstKind kind, bool logShown) {
    const std::size_t n = Sizes.Burst;
    // The rig holds the device's entry points: it goes first.
    std::unique_ptr<TBurstDevice> device;
    std::unique_ptr<TBurstRig> rig;
    std::vector<double> floors;
    const std::vector<double> ticks = TimeRuns(
        RunsFor(n),
        [&] {
            rig.reset();
            device.reset();
            device = std::make_unique<TBurstDevice>(BurstReadings(n, kind));
            floors.push_back(Median(TimeRuns(1, {}, [&] { device->DrainOnly(); })));
            device.reset();
            device = std::make_unique<TBurstDevice>(BurstReadings(n, kind));
            rig = std::make_unique<TBurstRig>(*device, logShown);
            rig->Start();
        },
        [&] { rig->Tick(); });
    const std::string name =
        std::string(kind == TBurstKind::OneMinute ? "one minute" : "new minutes") +
        (logShown ? ", log shown" : ", log hidden");
    if (device->Pending() != 0) {
        Failed.push_back("burst " + name + ": " + std::to_string(device->Pending()) +
                         " readings left after the tick");
    }
    Expect("burst " + name, CheckBurst(*rig, n, kind));
    const double tick = Median(ticks);
    Row({"Burst of " + FormatCount(n) + " readings, " + name, FormatSeconds(tick),
         "<= " + FormatSeconds(BurstTargetSeconds),
         "GetData alone " + FormatSeconds(Median(floors)) + "; " +
             FormatSeconds(tick / static_cast<double>(n)) + " a reading",
         VerdictOf(tick <= BurstTargetSeconds)});
}

void TBench::Bursts() {
    std::cerr << "burst\n";
    for (const bool logShown : {false, true}) {
        Burst(TBurstKind::OneMinute, logShown);
        Burst(TBurstKind::NewMinutes, logShown);
    }
}

void TBench::Replots() {
    std::cerr << "replot\n";
    TChartScenario small;
    TChartScenario large;
    small.Fill(Sizes.ReplotSmall);
    large.Fill(Sizes.ReplotLarge);
    for (const bool zoomed : {false, true}) {
        if (zoomed) {
            small.DragZoom(0.25, 0.75);
            large.DragZoom(0.25, 0.75);
            if (small.Chart().IsAutomaticView() || large.Chart().IsAutomaticView()) {
                Failed.push_back("replot: the drag did not zoom");
            }
        }
        // Taken in turns, and the best of each kept: a replot lasts a few
        // milliseconds, so whatever else the machine does weighs more on a
        // median than the two sizes' difference.
        std::vector<double> smallRuns;
        std::vector<double> largeRuns;
        for (int run = 0; run < ReplotRuns; ++run) {
            smallRuns.push_back(TimeRuns(1, {}, [&] { small.Replot(); }).front());
            largeRuns.push_back(TimeRuns(1, {}, [&] { large.Replot(); }).front());
        }
        const double reference = *std::min_element(smallRuns.begin(), smallRuns.end());
        const double replot = *std::min_element(largeRuns.begin(), largeRuns.end());
        const double limit = ReplotLimit * reference;
        const std::string view = (zoomed ? "zoomed to the middle half" : "default view") +
                                 std::string(", best of ") + std::to_string(ReplotRuns);
        Row({"Replot, " + FormatCount(Sizes.ReplotSmall) + " records, " + view,
             FormatSeconds(reference), "", "", TVerdict::None});
        Row({"Replot, " + FormatCount(Sizes.ReplotLarge) + " records, " + view,
             FormatSeconds(replot), "<= " + FormatSeconds(limit) + " (x1.5 the 360 case)",
             FormatCount(Sizes.ReplotSmall) + " records " + FormatSeconds(reference) + ", " +
                 FormatRatio(replot / reference),
             VerdictOf(replot <= limit)});
    }
    if (static_cast<std::size_t>(large.Chart().SeriesCPM().Count()) != Sizes.ReplotLarge) {
        Failed.push_back("replot: the chart holds " +
                         std::to_string(large.Chart().SeriesCPM().Count()) + " points");
    }
}

std::optional<std::int64_t> TBench::ChildPeakKilobytes(const QStringList& arguments,
                                                       double* openSeconds, double* cpuSeconds) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(ChildTimeoutMs) || child.exitCode() != 0) {
        Failed.push_back("memory child " + arguments.join(' ').toStdString() +
                         " failed: " + child.readAllStandardError().toStdString());
        return std::nullopt;
    }
    const std::string out = child.readAllStandardOutput().toStdString();
    if (const auto open = Reported(out, "Open: "); openSeconds != nullptr && open) {
        *openSeconds = *open;
    }
    if (const auto cpu = Reported(out, "CPU: "); cpuSeconds != nullptr && cpu) {
        *cpuSeconds = *cpu;
    }
    return StatusKilobytes(out, "VmHWM");
}

void TBench::Saves() {
    std::cerr << "save\n";
    const std::size_t n = Sizes.Save;
    const std::string path = LogPath(n);
    const std::string copy = Folder + "/copy.csv";
    const std::string savedAs = Folder + "/saved-as.csv";
    WriteScenarioLog(path, n);
    const std::string expected = ScenarioLogText(n);
    const double floor = Median(TimeRuns(RunsFor(n), {}, [&] {
        std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    }));
    TOpenScenario scenario;
    scenario.Show();
    scenario.Open(path);
    // Save writes back to the opened file: the rebuilt lines are the file's.
    const double save = Median(TimeRuns(RunsFor(n), {}, [&] { scenario.Form().SaveClick(); }));
    Expect("save " + FormatCount(n), SameText(path, expected));
    scenario.Chooser().Path = savedAs;
    const double saveAs = Median(TimeRuns(RunsFor(n), {}, [&] { scenario.Form().SaveAsClick(); }));
    Expect("save as " + FormatCount(n), SameText(savedAs, expected));
    for (const auto& [name, seconds] : {std::pair{"Save", save}, std::pair{"Save As", saveAs}}) {
        Row({std::string(name) + " of " + FormatCount(n) + " lines", FormatSeconds(seconds),
             "<= " + FormatSeconds(SaveTargetSeconds),
             "floor (copy the file) " + FormatSeconds(floor),
             VerdictOf(seconds <= SaveTargetSeconds)});
    }
}

void TBench::LargeLog() {
    std::cerr << "large\n";
    const std::size_t n = Sizes.Large;
    const std::string path = LogPath(n);
    WriteScenarioLog(path, n);
    std::size_t counted = 0;
    const double floor = Median(TimeRuns(1, {}, [&] { counted = ReadAndCountLines(path); }));
    if (counted != n) {
        Failed.push_back("the floor counted " + std::to_string(counted) + " lines in " + path);
    }
    double open = 0;
    const auto peak = ChildPeakKilobytes({"--memory-child", "open", QString::fromStdString(path),
                                          QString::number(static_cast<qulonglong>(n))},
                                         &open);
    const std::string small = LogPath(OpenCpuSmallLines);
    WriteScenarioLog(small, OpenCpuSmallLines);
    const auto cpu = OpenCpuBeyond(path, small, false);
    const auto floorCpu = OpenCpuBeyond(path, small, true);
    std::filesystem::remove(path);
    if (!peak) {
        return;
    }
    const double peakBytes = static_cast<double>(*peak) * 1024;
    Row({"Open log, " + FormatCount(n) + " lines, to first replot (child process)",
         FormatSeconds(open), "<= " + FormatSeconds(LargeOpenTargetSeconds),
         "floor (read + count lines) " + FormatSeconds(floor) + "; " +
             FormatSeconds(open / static_cast<double>(n)) + " a line",
         VerdictOf(open <= LargeOpenTargetSeconds)});
    Row({"  peak resident memory of that process", FormatBytes(peakBytes),
         "<= " + FormatBytes(LargePeakTargetBytes), "",
         VerdictOf(peakBytes <= LargePeakTargetBytes)});
    if (cpu && floorCpu) {
        Row({"  CPU of that Open, all threads, journal written, beyond " +
                 std::to_string(OpenCpuSmallLines) + " lines",
             FormatSeconds(*cpu), "<= " + FormatRatio(LargeOpenCpuLimit) + " the floor",
             "floor (read + parse into records) " + FormatSeconds(*floorCpu) + ", " +
                 FormatRatio(*cpu / *floorCpu),
             VerdictOf(*cpu <= LargeOpenCpuLimit * *floorCpu)});
    }
    Row({"  peak resident memory a record", FormatBytes(peakBytes / static_cast<double>(n)),
         "<= " + FormatBytes(LargePeakTargetBytesARecord), "",
         VerdictOf(peakBytes / static_cast<double>(n) <= LargePeakTargetBytesARecord)});
}

std::optional<double> TBench::FloorReadCpu(const std::string& path) {
    QProcess child;
    child.start(QCoreApplication::applicationDirPath() + "/" + FloorReadFileName,
                {QString::fromStdString(path)});
    if (!child.waitForFinished(ChildTimeoutMs) || child.exitCode() != 0) {
        Failed.push_back("the floor of Open failed on " + path + ": " +
                         child.readAllStandardError().toStdString());
        return std::nullopt;
    }
    return Reported(child.readAllStandardOutput().toStdString(), "cpu ");
}

// CPU seconds of a process that opens path, less those of one that opens
// small, medians of runs taken in turns; with floor, of the floor program.
std::optional<double> TBench::OpenCpuBeyond(const std::string& path, const std::string& small,
                                            bool floor) {
    std::vector<double> large;
    std::vector<double> few;
    for (int run = 0; run < OpenCpuRuns; ++run) {
        for (const auto& [file, into] : {std::pair{&path, &large}, std::pair{&small, &few}}) {
            double cpu = -1;
            if (floor) {
                cpu = FloorReadCpu(*file).value_or(-1);
            } else {
                ChildPeakKilobytes({"--memory-child", "open", QString::fromStdString(*file)},
                                   nullptr, &cpu);
            }
            if (cpu < 0) {
                return std::nullopt;
            }
            into->push_back(cpu);
        }
    }
    return Median(large) - Median(few);
}

void TBench::OpenCpu() {
    std::cerr << "open-cpu\n";
    const std::size_t n = Sizes.OpenCpu;
    const std::string path = LogPath(n);
    const std::string small = LogPath(OpenCpuSmallLines);
    WriteScenarioLog(path, n);
    WriteScenarioLog(small, OpenCpuSmallLines);
    const auto cpu = OpenCpuBeyond(path, small, false);
    const auto floor = OpenCpuBeyond(path, small, true);
    if (!cpu || !floor) {
        return;
    }
    Row({"CPU of Open, " + FormatCount(n) + " lines, all threads, journal written, beyond " +
             std::to_string(OpenCpuSmallLines) + " lines, median of " + std::to_string(OpenCpuRuns),
         FormatSeconds(*cpu), "<= " + FormatRatio(OpenCpuLimit) + " the floor",
         "floor (read + parse into records) " + FormatSeconds(*floor) + ", " +
             FormatRatio(*cpu / *floor),
         VerdictOf(*cpu <= OpenCpuLimit * *floor)});
}

void TBench::Memory() {
    std::cerr << "memory\n";
    const std::size_t n = Sizes.Memory;
    const std::string path = LogPath(n);
    WriteScenarioLog(path, n);
    const auto empty = ChildPeakKilobytes({"--memory-child", "empty"});
    const auto opened =
        ChildPeakKilobytes({"--memory-child", "open", QString::fromStdString(path)});
    if (!empty || !opened) {
        Row({"Memory per record", "unknown (no /proc here)", "", "", TVerdict::None});
        return;
    }
    const double perRecord = static_cast<double>(*opened - *empty) * 1024 / static_cast<double>(n);
    Row({"Memory per record, peak after opening " + FormatCount(n) + " lines",
         FormatBytes(perRecord), "<= " + FormatBytes(MemoryTargetBytes),
         "peak of the empty window " + FormatBytes(double(*empty) * 1024) + ", opened " +
             FormatBytes(double(*opened) * 1024),
         VerdictOf(perRecord <= MemoryTargetBytes)});
    const TOpenBreakdown parts = MeasureOpenBreakdown(path);
    const auto share = [n](std::size_t bytes) {
        return FormatBytes(static_cast<double>(bytes) / static_cast<double>(n));
    };
    Row({"  records", share(parts.Records), "", "", TVerdict::None});
    Row({"  both chart series, labels included", share(parts.Series), "", "", TVerdict::None});
    Row({"  log list lines", share(parts.LogLines), "", "", TVerdict::None});
    Row({"  file text, while reading (freed before the rebuild)", share(parts.FileText), "", "",
         TVerdict::None});
    Row({"  sum of the parts",
         share(parts.Records + parts.Series + parts.LogLines + parts.FileText), "",
         "the rest of the peak: allocator slack, Qt", TVerdict::None});
}

TBench::TProbeRuns TBench::ProbeRuns(const QString& probe, const QStringList& arguments,
                                     const std::string& settings) {
    TProbeRuns runs;
    for (int run = 0; run < StartupRuns; ++run) {
        if (!settings.empty()) {
            // Each run writes its [Graph] back: the sections go in again.
            std::ofstream(QFileInfo(probe).absolutePath().toStdString() + "/" +
                              QFileInfo(probe).completeBaseName().toStdString() + ".ini",
                          std::ios::binary | std::ios::trunc)
                << settings;
        }
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(environment);
        child.setWorkingDirectory(QFileInfo(probe).absolutePath());
        const TClock::time_point start = TClock::now();
        child.start(probe, arguments);
        if (!child.waitForFinished(ChildTimeoutMs) || child.exitCode() != 0) {
            Failed.push_back("start-up probe failed: " +
                             child.readAllStandardError().toStdString());
            return runs;
        }
        long long mainAt = 0;
        long long paintedAt = 0;
        const std::string out = child.readAllStandardOutput().toStdString();
        if (std::sscanf(out.c_str(), "main %lld painted %lld", &mainAt, &paintedAt) != 2) {
            Failed.push_back("start-up probe said \"" + out + "\"");
            return runs;
        }
        const long long startAt =
            std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
        runs.Painted.push_back(static_cast<double>(paintedAt - startAt) * 1e-9);
        runs.ToMain.push_back(static_cast<double>(mainAt - startAt) * 1e-9);
        unsigned libraries = 0;
        if (const std::size_t at = out.find("libraries ");
            at != std::string::npos &&
            std::sscanf(out.c_str() + at, "libraries %u", &libraries) == 1) {
            runs.Libraries.push_back(libraries);
        }
    }
    return runs;
}

void TBench::Startup() {
    std::cerr << "start-up\n";
    QTemporaryDir folder;
    const QString bin = QCoreApplication::applicationDirPath();
    const QString probe = folder.filePath(ProbeFileName);
    for (const QString& name : {QString(ProbeFileName), QString(CounterLibraryFileName)}) {
        if (!QFile::copy(bin + "/" + name, folder.filePath(name))) {
            Failed.push_back("cannot copy " + name.toStdString() + " to a temporary folder");
            return;
        }
    }
    QFile::setPermissions(probe, QFile::permissions(probe) | QFileDevice::ExeOwner);
    const TProbeRuns bareRuns = ProbeRuns(probe, {"--bare"});
    const TProbeRuns windowRuns = ProbeRuns(probe, {});
    // A map turned on: libcurl and what it brings are loaded at start-up.
    // Nothing listens at that address; no minute is over before the end.
    const TProbeRuns mapRuns = ProbeRuns(probe, {}, StartupMapSettings);
    const double bare = Median(bareRuns.Painted);
    const double window = Median(windowRuns.Painted);
    Row({"Start-up to the main window's first paint, median of " + std::to_string(StartupRuns),
         FormatSeconds(window), "<= " + FormatSeconds(StartupTargetSeconds),
         "a bare Qt window " + FormatSeconds(bare), VerdictOf(window <= StartupTargetSeconds)});
    Row({"  process start to main()", FormatSeconds(Median(windowRuns.ToMain)), "",
         "bare " + FormatSeconds(Median(bareRuns.ToMain)), TVerdict::None});
    Row({"  with a [Radmon] section in the settings file", FormatSeconds(Median(mapRuns.Painted)),
         "", "to main() " + FormatSeconds(Median(mapRuns.ToMain)), TVerdict::None});
    if (windowRuns.Libraries.empty() || mapRuns.Libraries.empty()) {
        Row({"  shared libraries loaded at the first paint", "unknown (no /proc here)", "", "",
             TVerdict::None});
        return;
    }
    const auto count = [](const std::vector<double>& values) {
        return std::to_string(static_cast<long>(Median(values)));
    };
    Row({"  shared libraries loaded at the first paint", count(windowRuns.Libraries), "",
         "with a [Radmon] section " + count(mapRuns.Libraries) + ", bare Qt window " +
             (bareRuns.Libraries.empty() ? std::string("?") : count(bareRuns.Libraries)),
         TVerdict::None});
}

void TBench::Mqtt() {
    std::cerr << "mqtt\n";
    const TMqttTicks ticks = MeasureMqttTicks(Sizes.MqttTicks);
    Expect("mqtt", ticks.Problem);
    if (ticks.On.empty()) {
        return;
    }
    const double off = Median(ticks.Off);
    const double on = Median(ticks.On);
    const std::string runs = ", median of " + std::to_string(Sizes.MqttTicks);
    Row({"Tick finishing a minute, no publisher" + runs, FormatSeconds(off), "", "",
         TVerdict::None});
    Row({"Tick finishing a minute, publishing to MQTT" + runs, FormatSeconds(on),
         "<= " + FormatSeconds(off + MqttTickLimitSeconds) + " (+1 ms)",
         "added " + FormatSeconds(on - off), VerdictOf(on - off <= MqttTickLimitSeconds)});
}

} // namespace ostrel::bench
