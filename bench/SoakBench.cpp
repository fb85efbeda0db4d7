// SPDX-License-Identifier: GPL-3.0-or-later
// A month of logging: the real program, with its window (offscreen) and
// without, each in a child process against the simulated counter on a fast
// clock, its CPU and resident memory read as the simulated days go by; and
// ten real minutes at the counter's own pace, where what a logger costs while
// it mostly waits is the figure.

#include "bench/BenchRun.h"
#include "bench/LogScenario.h"
#include "bench/MqttScenario.h"
#include "counter/CounterLibrary.h"
#include "files/LogFileReader.h"
#include "journal/JournalFolder.h"
#include "journal/ResumeMarker.h"
#include "platform/FormatSettings.h"
#include "platform/StateFolder.h"
#include "records/MinuteRecords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ostrel::bench {
namespace {

namespace fs = std::filesystem;

// Simulated seconds a real second: a month in 216 s. The simulator drops what
// is not fetched within an hour of its time, 0.3 s here, so a logger that
// falls that far behind shows as missing minutes.
constexpr int FastSpeed = 12'000;
constexpr int SoakCpm = 30;
constexpr int SoakSeed = 20'240'101;
constexpr std::size_t MinutesADay = 1440;
// The real time a simulated day may take: a month in at most five minutes.
constexpr double RealSecondsADayTarget = 10;
constexpr double GrowthTargetBytes = 100;
// What waiting may cost beside a process that only wakes every 100 ms.
constexpr double IdleHeadlessLimit = 1.3;
constexpr double IdleListShownLimit = 2.0;
// Measured earlier, for the window at the counter's own pace.
constexpr double PacedWindowReferenceSeconds = 0.11;
// The paced runs are read once start-up is over, so that their figure is
// what logging costs.
constexpr double PacedSettleSeconds = 10;
constexpr auto PollGap = std::chrono::milliseconds(50);
constexpr int StopTimeoutMs = 30'000;
#ifdef _WIN32
constexpr const char* WindowFileName = "ostrel.exe";
constexpr const char* HeadlessFileName = "ostrel-headless.exe";
constexpr const char* IdleWindowFileName = "ostrel-idle-window.exe";
constexpr const char* FloorWakeFileName = "ostrel-floor-wake.exe";
#else
constexpr const char* WindowFileName = "ostrel";
constexpr const char* HeadlessFileName = "ostrel-headless";
constexpr const char* IdleWindowFileName = "ostrel-idle-window";
constexpr const char* FloorWakeFileName = "ostrel-floor-wake";
#endif

// Window and ListShown log with a window (the list hidden as at start-up, or
// shown); FloorSleep and FloorTimer only wake every 100 ms (a plain loop, a
// Qt timer).
enum class TSoakKind { Window, Headless, ListShown, FloorSleep, FloorTimer };

QString ProgramOf(TSoakKind kind) {
    switch (kind) {
    case TSoakKind::Window:
        return WindowFileName;
    case TSoakKind::Headless:
        return HeadlessFileName;
    case TSoakKind::ListShown:
        return IdleWindowFileName;
    case TSoakKind::FloorSleep:
    case TSoakKind::FloorTimer:
        return FloorWakeFileName;
    }
    return {};
}

bool HasWindow(TSoakKind kind) {
    return kind == TSoakKind::Window || kind == TSoakKind::ListShown;
}

std::string KindText(TSoakKind kind) {
    return kind == TSoakKind::Window ? "window shown (offscreen)" : "without a window";
}

struct TSoakSample {
    std::size_t Minutes = 0; // finished minutes seen when it was taken
    double CpuSeconds = 0;   // user and system, every thread, since the start
    std::int64_t ResidentKilobytes = 0;
    double RealSeconds = 0; // since the start
};

std::optional<std::string> ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// User and system time of a process, from fields 14 and 15 of its stat line
// (the name before them may hold blanks and parentheses).
std::optional<double> ProcessCpuSeconds(qint64 pid) {
#ifdef _WIN32
    (void)pid;
    return std::nullopt;
#else
    const auto stat = ReadWhole("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t nameEnd = stat ? stat->rfind(')') : std::string::npos;
    if (nameEnd == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat->substr(nameEnd + 1));
    std::string field;
    for (int k = 3; k < 14 && fields >> field; ++k) {
    }
    unsigned long long user = 0;
    unsigned long long system = 0;
    if (!(fields >> user >> system)) {
        return std::nullopt;
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
#endif
}

// Time on a CPU of every thread a process has now, to the nanosecond
// (the first field of each thread's schedstat): the clock ticks of its stat
// line are 10 ms, a quarter of what a waiting process costs a minute.
std::optional<double> ProcessRunSeconds(qint64 pid) {
    const fs::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    unsigned long long nanoseconds = 0;
    bool any = false;
    for (fs::directory_iterator it(tasks, error), end; !error && it != end; it.increment(error)) {
        std::ifstream in(it->path() / "schedstat");
        unsigned long long ran = 0;
        if (in >> ran) {
            nanoseconds += ran;
            any = true;
        }
    }
    return any ? std::optional<double>(static_cast<double>(nanoseconds) * 1e-9) : std::nullopt;
}

std::optional<std::int64_t> ProcessResidentKilobytes(qint64 pid) {
    const auto status = ReadWhole("/proc/" + std::to_string(pid) + "/status");
    return status ? StatusKilobytes(*status, "VmRSS") : std::nullopt;
}

// The lines of a text, without their CR LF or LF; a last line without an
// end is still being written and left out.
std::vector<std::string_view> EndedLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            break;
        }
        std::string_view line = text.substr(at, end - at);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

// Every line as the live loop writes it, one clock minute after the other:
// the minutes read back from the lines, their dose rates made again from
// those minutes with the default pair (the children have no settings file).
std::optional<std::string> CheckLiveLines(const std::vector<std::string_view>& lines) {
    const TFormatSettings fs = SystemFormatSettings();
    TLogLineReader reader(fs);
    TRecords records;
    for (const std::string_view line : lines) {
        records.Append(reader.Read(line));
    }
    for (std::size_t k = 0; k < records.Count(); ++k) {
        if (k > 0 && std::llround((records[k].StartTime - records[k - 1].StartTime) *
                                  static_cast<double>(MinutesADay)) != 1) {
            return "line " + std::to_string(k + 1) + " is not the minute after line " +
                   std::to_string(k) + ": \"" + std::string(lines[k - 1]) + "\", \"" +
                   std::string(lines[k]) + "\"";
        }
        const std::string expected =
            k < DoseRateWindow
                ? LogLineText(records[k], fs)
                : LogLineText(
                      records[k],
                      DoseRateBefore(records, k + 1, ScenarioCoefficient, ScenarioBackground), fs);
        if (lines[k] != expected) {
            return "line " + std::to_string(k + 1) + " is \"" + std::string(lines[k]) +
                   "\", not \"" + expected + "\"";
        }
    }
    return std::nullopt;
}

// The real program in a folder of its own: its executable and the simulated
// counter copied there, so that its settings file is beside it and nowhere
// else, with its state folder (the journals) there too.
class TSoakChild {
public:
    // settings, when given, is its ostrel.ini.
    TSoakChild(TSoakKind kind, const QString& folder, int speed, const std::string& settings = {})
        : Kind(kind), Folder(folder) {
        const QString bin = QCoreApplication::applicationDirPath();
        const QString program = ProgramOf(Kind);
        QDir().mkpath(Folder);
        if (!settings.empty()) {
            std::ofstream(FolderPath() / "ostrel.ini", std::ios::binary) << settings;
        }
        for (const QString& name : {program, QString(CounterLibraryFileName)}) {
            QFile::remove(Folder + "/" + name);
            if (!QFile::copy(bin + "/" + name, Folder + "/" + name)) {
                Problem = "cannot copy " + name.toStdString() + " to " + Folder.toStdString();
                return;
            }
        }
        const QString executable = Folder + "/" + program;
        QFile::setPermissions(executable, QFile::permissions(executable) | QFileDevice::ExeOwner);
        const QString stateHome = Folder + "/state";
        JournalFolder = JournalFolderIn(StateFolderFrom(stateHome.toStdString(), std::nullopt));
        std::error_code error;
        fs::create_directories(JournalFolder, error);
        if (HasWindow(Kind)) {
            // The window starts logging only from its menu; the marker a run
            // leaves when it was killed while logging makes the next start
            // connect the counter by itself, with no log to take up.
            std::ofstream(JournalFolder / ResumeMarkerName, std::ios::binary)
                << ResumeMarkerText({}, true);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_STATE_HOME", stateHome);
        environment.insert("OSTREL_SIM_SPEED", QString::number(speed));
        environment.insert("OSTREL_SIM_CPM", QString::number(SoakCpm));
        environment.insert("OSTREL_SIM_SEED", QString::number(SoakSeed));
        environment.remove("OSTREL_SIM_SCRIPT");
        // A change to or from summer time within the simulated month would
        // repeat or skip an hour of minutes.
        environment.insert("TZ", "UTC");
        Process.setProcessEnvironment(environment);
        Process.setWorkingDirectory(Folder);
        Process.setStandardOutputFile(Folder + "/stdout.txt");
        Process.setStandardErrorFile(Folder + "/stderr.txt");
        Started = TClock::now();
        Process.start(executable,
                      Kind == TSoakKind::FloorTimer ? QStringList{"--qt"} : QStringList{});
        if (!Process.waitForStarted()) {
            Problem = "cannot start " + executable.toStdString();
        }
    }

    ~TSoakChild() {
        if (Process.state() != QProcess::NotRunning) {
            Process.kill();
            Process.waitForFinished();
        }
    }
    TSoakChild(const TSoakChild&) = delete;
    TSoakChild& operator=(const TSoakChild&) = delete;

    const std::optional<std::string>& Failure() const { return Problem; }
    bool Running() const { return Process.state() == QProcess::Running; }
    double RealSeconds() const { return SecondsBetween(Started, TClock::now()); }

    // Reads on where the finished minutes' lines are written: the standard
    // output without a window, the journal with one.
    void Poll() {
        if (Lines.path.empty()) {
            Lines.path = Kind == TSoakKind::Headless ? FolderPath() / "stdout.txt" : Journal();
        }
        Lines.ReadOn();
    }
    std::size_t Minutes() const { return Lines.Count; }

    std::optional<TSoakSample> Sample() const {
        const qint64 pid = Process.processId();
        const auto cpu = ProcessCpuSeconds(pid);
        const auto resident = ProcessResidentKilobytes(pid);
        if (!Running() || !cpu || !resident) {
            return std::nullopt;
        }
        return TSoakSample{Lines.Count, *cpu, *resident, RealSeconds()};
    }

    // CPU seconds of its threads so far, to the nanosecond.
    std::optional<double> RunSeconds() const {
        return Running() ? ProcessRunSeconds(Process.processId()) : std::nullopt;
    }

    // Ends it as a session that ends does (SIGTERM): in order, with status 0.
    void Stop() {
        if (!Running()) {
            Fail("ended by itself with status " + std::to_string(Process.exitCode()));
            return;
        }
        Process.terminate();
        if (!Process.waitForFinished(StopTimeoutMs)) {
            Fail("did not end within " + std::to_string(StopTimeoutMs / 1000) + " s of SIGTERM");
        } else if (Process.exitStatus() != QProcess::NormalExit || Process.exitCode() != 0) {
            Fail("ended with status " + std::to_string(Process.exitCode()));
        }
    }

    // After Stop: at least that many minutes, the journal (the only one, and
    // no marker left) holding each of them as the live loop wrote it, and
    // without a window the same lines on the standard output.
    void Check(std::size_t atLeast) {
        const fs::path journal = Journal();
        const auto journalText = journal.empty() ? std::nullopt : ReadWhole(journal);
        if (!journalText) {
            Fail("no single journal in " + JournalFolder.string());
            return;
        }
        const std::vector<std::string_view> lines = EndedLines(*journalText);
        if (lines.size() < atLeast) {
            Fail("the journal holds " + FormatCount(lines.size()) + " minutes, not " +
                 FormatCount(atLeast));
        }
        if (Kind == TSoakKind::Headless) {
            const auto out = ReadWhole(FolderPath() / "stdout.txt");
            if (!out || EndedLines(*out) != lines) {
                Fail("the standard output's " + FormatCount(out ? EndedLines(*out).size() : 0) +
                     " lines are not the journal's " + FormatCount(lines.size()));
            }
        }
        if (fs::exists(JournalFolder / ResumeMarkerName)) {
            Fail("the marker of a run that did not end in order is left");
        }
        if (const auto wrong = CheckLiveLines(lines)) {
            Fail(*wrong);
        }
    }

private:
    // A file read on as it grows, its ended lines counted.
    struct TTail {
        fs::path path;
        std::uintmax_t Offset = 0;
        std::size_t Count = 0;
        void ReadOn() {
            std::ifstream in(path, std::ios::binary);
            if (!in || !in.seekg(static_cast<std::streamoff>(Offset))) {
                return;
            }
            const std::string added{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
            Offset += added.size();
            Count += static_cast<std::size_t>(std::count(added.begin(), added.end(), '\n'));
        }
    };

    fs::path FolderPath() const { return fs::path(Folder.toStdString()); }

    // The one journal of the run once it is made; empty before, and when
    // there are more (which would be a log begun anew).
    fs::path Journal() const {
        std::vector<fs::path> found;
        std::error_code error;
        for (fs::directory_iterator it(JournalFolder, error), end; !error && it != end;
             it.increment(error)) {
            if (IsJournalName(it->path().filename().string())) {
                found.push_back(it->path());
            }
        }
        return found.size() == 1 ? found.front() : fs::path();
    }

    void Fail(const std::string& problem) {
        if (!Problem) {
            std::string err = ReadWhole(FolderPath() / "stderr.txt").value_or("");
            while (!err.empty() && std::isspace(static_cast<unsigned char>(err.back()))) {
                err.pop_back();
            }
            Problem = problem + (err.empty() ? "" : "; its standard error: " + err);
        }
    }

    TSoakKind Kind;
    QString Folder;
    fs::path JournalFolder;
    QProcess Process;
    TClock::time_point Started;
    TTail Lines;
    std::optional<std::string> Problem;
};

struct TFastSoak {
    std::vector<TSoakSample> Samples; // at the days asked for, in order
    double RealSeconds = 0;           // until the last of them
    std::optional<std::string> Problem;
};

// Runs one child on the fast clock until it has finished the minutes of the
// last day asked for, sampling it as each day's minutes are done; also
// calls poll on every turn, for children that run beside it.
TFastSoak RunFast(TSoakKind kind, const QString& folder, const std::vector<int>& days,
                  const std::function<void()>& poll) {
    TFastSoak soak;
    TSoakChild child(kind, folder, FastSpeed);
    // Twice the real time the target allows, and a margin for start-up.
    const double limit = 2 * RealSecondsADayTarget * days.back() + 30;
    while (!child.Failure() && soak.Samples.size() < days.size()) {
        poll();
        child.Poll();
        const std::size_t due = static_cast<std::size_t>(days[soak.Samples.size()]) * MinutesADay;
        if (child.Minutes() >= due) {
            if (const auto sample = child.Sample()) {
                soak.Samples.push_back(*sample);
                continue;
            }
        }
        if (!child.Running()) {
            soak.Problem = "ended after " + FormatCount(child.Minutes()) + " minutes";
            break;
        }
        if (child.RealSeconds() > limit) {
            soak.Problem = "only " + FormatCount(child.Minutes()) + " minutes after " +
                           FormatSeconds(child.RealSeconds());
            break;
        }
        std::this_thread::sleep_for(PollGap);
    }
    if (!soak.Samples.empty()) {
        soak.RealSeconds = soak.Samples.back().RealSeconds;
    }
    if (!child.Failure()) {
        child.Stop();
        child.Check(static_cast<std::size_t>(days.back()) * MinutesADay);
    }
    if (!soak.Problem) {
        soak.Problem = child.Failure();
    }
    return soak;
}

// The children at the counter's own pace: each read once start-up is over
// and again the given real minutes later, then stopped and checked.
class TPacedSoaks {
public:
    TPacedSoaks(const QString& folder, int minutes) : Minutes(minutes) {
        for (const TSoakKind kind : {TSoakKind::Window, TSoakKind::Headless}) {
            const QString name = kind == TSoakKind::Window ? "/paced-window" : "/paced-headless";
            TRun& run = Runs.emplace_back();
            run.Kind = kind;
            run.Child = std::make_unique<TSoakChild>(kind, folder + name, 1);
        }
    }

    void Poll() {
        for (TRun& run : Runs) {
            if (run.Done) {
                continue;
            }
            run.Child->Poll();
            const double seconds = run.Child->RealSeconds();
            if (run.Child->Failure() || !run.Child->Running()) {
                Finish(run);
            } else if (!run.From && seconds >= PacedSettleSeconds) {
                run.From = run.Child->Sample();
            } else if (run.From && seconds >= PacedSettleSeconds + 60.0 * Minutes) {
                run.To = run.Child->Sample();
                Finish(run);
            }
        }
    }
    bool Done() const {
        return std::all_of(Runs.begin(), Runs.end(), [](const TRun& run) { return run.Done; });
    }
    // CPU seconds a real minute; none when the run failed.
    std::optional<double> CpuAMinute(TSoakKind kind) const {
        const TRun& run = Of(kind);
        if (!run.From || !run.To || run.Child->Failure()) {
            return std::nullopt;
        }
        return (run.To->CpuSeconds - run.From->CpuSeconds) * 60 /
               (run.To->RealSeconds - run.From->RealSeconds);
    }
    std::optional<std::string> Problem(TSoakKind kind) const {
        const TRun& run = Of(kind);
        if (run.Child->Failure()) {
            return run.Child->Failure();
        }
        if (!run.From || !run.To) {
            return std::optional<std::string>("could not be read in /proc");
        }
        return std::nullopt;
    }

private:
    struct TRun {
        TSoakKind Kind = TSoakKind::Window;
        std::unique_ptr<TSoakChild> Child;
        std::optional<TSoakSample> From;
        std::optional<TSoakSample> To;
        bool Done = false;
    };
    const TRun& Of(TSoakKind kind) const {
        return *std::find_if(Runs.begin(), Runs.end(),
                             [kind](const TRun& run) { return run.Kind == kind; });
    }
    void Finish(TRun& run) {
        run.Done = true;
        if (run.Child->Failure()) {
            return;
        }
        run.Child->Stop();
        // The first minute began somewhere inside its clock minute, and the
        // last one's first reading may not have been fetched yet.
        run.Child->Check(static_cast<std::size_t>(Minutes) - 1);
    }

    int Minutes;
    std::vector<TRun> Runs;
};

} // namespace

void TBench::Soak() {
    std::cerr << "soak\n";
    // The paced runs wait for the counter most of the time: the fast ones run
    // meanwhile, so that the part lasts as long as the paced runs alone.
    std::unique_ptr<TPacedSoaks> paced;
    if (Sizes.SoakRealMinutes > 0) {
        paced = std::make_unique<TPacedSoaks>(QString::fromStdString(Folder + "/soak"),
                                              Sizes.SoakRealMinutes);
    }
    const auto pollPaced = [&paced] {
        if (paced) {
            paced->Poll();
        }
    };
    const std::vector<int>& days = Sizes.SoakDays;
    const double month = static_cast<double>(days.back());
    for (const TSoakKind kind : {TSoakKind::Window, TSoakKind::Headless}) {
        const QString folder = QString::fromStdString(
            Folder + (kind == TSoakKind::Window ? "/soak/fast-window" : "/soak/fast-headless"));
        const TFastSoak soak = RunFast(kind, folder, days, pollPaced);
        const std::string name = "Soak, " + KindText(kind);
        Expect(name, soak.Problem);
        if (soak.Samples.size() != days.size()) {
            continue;
        }
        const TSoakSample& first = soak.Samples.front();
        const TSoakSample& last = soak.Samples.back();
        const double minutes = static_cast<double>(last.Minutes - first.Minutes);
        const double realTarget = RealSecondsADayTarget * month;
        Row({name + ": " + std::to_string(days.back()) + " simulated days (" +
                 FormatCount(static_cast<std::uint64_t>(days.back()) * MinutesADay) +
                 " minutes) at x" + FormatCount(FastSpeed) + ", real time",
             FormatSeconds(soak.RealSeconds), "<= " + FormatSeconds(realTarget),
             "child process, the real program", VerdictOf(soak.RealSeconds <= realTarget)});
        Row({"  CPU a simulated day, days " + std::to_string(days.front()) + " to " +
                 std::to_string(days.back()),
             FormatSeconds((last.CpuSeconds - first.CpuSeconds) * MinutesADay / minutes), "",
             "whole run, start-up included: " +
                 FormatSeconds(last.CpuSeconds * MinutesADay / static_cast<double>(last.Minutes)),
             TVerdict::None});
        for (std::size_t k = 0; k < days.size(); ++k) {
            Row({"  resident memory (VmRSS) at day " + std::to_string(days[k]),
                 FormatBytes(static_cast<double>(soak.Samples[k].ResidentKilobytes) * 1024), "",
                 FormatCount(soak.Samples[k].Minutes) + " minutes", TVerdict::None});
        }
        const double growth =
            static_cast<double>(last.ResidentKilobytes - first.ResidentKilobytes) * 1024 / minutes;
        Row({"  memory growth a minute, day " + std::to_string(days.front()) + " to " +
                 std::to_string(days.back()),
             FormatBytes(growth), "<= " + FormatBytes(GrowthTargetBytes),
             "a record alone " + FormatBytes(sizeof(TMinuteRecord)),
             VerdictOf(growth <= GrowthTargetBytes)});
    }
    if (!paced) {
        return;
    }
    while (!paced->Done()) {
        paced->Poll();
        std::this_thread::sleep_for(PollGap);
    }
    std::optional<double> window;
    for (const TSoakKind kind : {TSoakKind::Window, TSoakKind::Headless}) {
        const std::string name = "Logging at x1, " + KindText(kind) + ", " +
                                 std::to_string(Sizes.SoakRealMinutes) + " real minutes";
        Expect(name, paced->Problem(kind));
        const auto cpu = paced->CpuAMinute(kind);
        if (!cpu) {
            continue;
        }
        if (kind == TSoakKind::Window) {
            window = cpu;
        }
        Row({name + ": CPU a minute", FormatSeconds(*cpu), "",
             kind == TSoakKind::Window
                 ? "about " + FormatSeconds(PacedWindowReferenceSeconds) + " measured earlier"
             : window ? "with the window " + FormatSeconds(*window)
                      : "",
             TVerdict::None});
    }
}

namespace {

#ifndef _WIN32
// Pages open on a logger's live stream, as browsers hold them: each
// connection read as its events come, on a thread of their own, and the
// minutes each has been sent counted.
class TLivePages {
public:
    TLivePages(int port, std::size_t pages) : Pending(pages), Counts(pages, 0) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const std::string request = "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                    "Accept: text/event-stream\r\n\r\n";
        for (std::size_t k = 0; k < pages; ++k) {
            const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
            if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                ::send(sock, request.data(), request.size(), MSG_NOSIGNAL);
            }
            Socks.push_back(sock);
        }
        Reader = std::thread([this] { Read(); });
    }
    ~TLivePages() {
        Ending = true;
        Reader.join();
        for (const int sock : Socks) {
            ::close(sock);
        }
    }
    TLivePages(const TLivePages&) = delete;
    TLivePages& operator=(const TLivePages&) = delete;

    // The fewest minutes that a page has been sent.
    std::size_t FewestMinutes() const {
        std::lock_guard lock(Mutex);
        return Counts.empty() ? 0 : *std::min_element(Counts.begin(), Counts.end());
    }

private:
    void Read() {
        static constexpr std::string_view Event = "event: minute\n";
        std::vector<pollfd> fds;
        for (const int sock : Socks) {
            fds.push_back({sock, POLLIN, 0});
        }
        std::array<char, 16384> buffer{};
        while (!Ending) {
            if (::poll(fds.data(), fds.size(), 200) <= 0) {
                continue;
            }
            for (std::size_t k = 0; k < fds.size(); ++k) {
                if ((fds[k].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                    continue;
                }
                const ssize_t got = ::recv(fds[k].fd, buffer.data(), buffer.size(), 0);
                if (got <= 0) {
                    fds[k].fd = -1; // the server closed it: no more minutes
                    continue;
                }
                std::string& pending = Pending[k];
                pending.append(buffer.data(), static_cast<std::size_t>(got));
                std::size_t found = 0;
                std::size_t end = 0; // of the last marker found
                for (std::size_t at = 0; (at = pending.find(Event, at)) != std::string::npos;) {
                    ++found;
                    at += Event.size();
                    end = at;
                }
                // Only the start of a marker is kept: the rest comes with the next part.
                pending.erase(
                    0, std::max(end, pending.size() - std::min(pending.size(), Event.size() - 1)));
                std::lock_guard lock(Mutex);
                Counts[k] += found;
            }
        }
    }

    std::vector<int> Socks;
    std::vector<std::string> Pending; // the end of what came, a marker may go on
    mutable std::mutex Mutex;
    std::vector<std::size_t> Counts;
    std::atomic<bool> Ending{false};
    std::thread Reader;
};
#endif

} // namespace

void TBench::LivePages(std::size_t pages) {
#ifdef _WIN32
    (void)pages;
#else
    std::cerr << "live pages\n";
    // Two loggers side by side, both serving their page, one with pages on
    // its stream: the difference is what the pages cost.
    const auto settings = [](int port) {
        return "[HTTP]\nListen=127.0.0.1:" + std::to_string(port) + "\n";
    };
    const int watchedPort = FreeLoopbackPort();
    TSoakChild quiet(TSoakKind::Headless, QString::fromStdString(Folder + "/pages/quiet"), 1,
                     settings(FreeLoopbackPort()));
    TSoakChild watched(TSoakKind::Headless, QString::fromStdString(Folder + "/pages/watched"), 1,
                       settings(watchedPort));
    const auto waitUntil = [&](double seconds) {
        while (watched.RealSeconds() < seconds) {
            quiet.Poll();
            watched.Poll();
            std::this_thread::sleep_for(PollGap);
        }
    };
    const double settle = Sizes.IdleSeconds >= 60 ? PacedSettleSeconds : 3;
    waitUntil(settle);
    std::optional<TLivePages> live;
    live.emplace(watchedPort, pages);
    waitUntil(settle + 1);
    const auto quietFrom = quiet.RunSeconds();
    const auto watchedFrom = watched.RunSeconds();
    const std::size_t minutesFrom = watched.Minutes();
    const std::size_t sentFrom = live->FewestMinutes();
    const double start = watched.RealSeconds();
    waitUntil(start + Sizes.IdleSeconds);
    const double real = watched.RealSeconds() - start;
    const auto quietTo = quiet.RunSeconds();
    const auto watchedTo = watched.RunSeconds();
    // A minute finished at the end may still be on its way to the pages.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    watched.Poll();
    const std::size_t finished = watched.Minutes() - minutesFrom;
    const std::size_t sent = live->FewestMinutes() - sentFrom;
    live.reset();
    const std::string name =
        "Waiting at x1, ostrel-headless with " + std::to_string(pages) + " pages on its stream";
    for (TSoakChild* child : {&quiet, &watched}) {
        child->Stop();
        // A log's journal is made with its first minute.
        if (child->Minutes() > 0) {
            child->Check(0);
        }
        Expect(name, child->Failure());
    }
    if (sent < finished) {
        Failed.push_back(name + ": a page was sent " + std::to_string(sent) + " of the " +
                         std::to_string(finished) + " minutes finished");
    }
    if (!quietFrom || !quietTo || !watchedFrom || !watchedTo) {
        Failed.push_back(name + ": its CPU time could not be read in /proc");
        return;
    }
    const double share = (*watchedTo - *watchedFrom) / real;
    const double added = share - (*quietTo - *quietFrom) / real;
    const auto percent = [](double fraction) {
        std::ostringstream text;
        text.precision(3);
        text << fraction * 100 << " % of a core";
        return text.str();
    };
    Row({name + ": CPU the pages add", percent(added), "<= 1 % of a core",
         "with them " + percent(share) + ", " + std::to_string(finished) + " minutes sent in " +
             FormatSeconds(real),
         VerdictOf(added <= 0.01)});
#endif
}

void TBench::Idle() {
    std::cerr << "idle\n";
    // All side by side, so that the load of the machine weighs on each alike.
    const std::vector<std::pair<TSoakKind, QString>> kinds{
        {TSoakKind::FloorSleep, "a loop that sleeps 100 ms (floor)"},
        {TSoakKind::FloorTimer, "a QCoreApplication with a 100 ms QTimer"},
        {TSoakKind::Headless, "ostrel-headless"},
        {TSoakKind::ListShown, "the window, log list shown (offscreen)"},
    };
    std::vector<std::unique_ptr<TSoakChild>> children;
    for (const auto& [kind, name] : kinds) {
        children.push_back(std::make_unique<TSoakChild>(
            kind, QString::fromStdString(Folder + "/idle/" + std::to_string(children.size())), 1));
    }
    const double settle = Sizes.IdleSeconds >= 60 ? PacedSettleSeconds : 3;
    const auto waitUntil = [&](double seconds) {
        while (children.front()->RealSeconds() < seconds) {
            for (const auto& child : children) {
                child->Poll();
            }
            std::this_thread::sleep_for(PollGap);
        }
    };
    waitUntil(settle);
    std::vector<std::optional<double>> from;
    for (const auto& child : children) {
        from.push_back(child->RunSeconds());
    }
    const double start = children.front()->RealSeconds();
    waitUntil(settle + Sizes.IdleSeconds);
    const double real = children.front()->RealSeconds() - start;
    std::vector<std::optional<double>> perMinute;
    for (std::size_t k = 0; k < children.size(); ++k) {
        const auto to = children[k]->RunSeconds();
        perMinute.push_back(from[k] && to ? std::optional<double>((*to - *from[k]) * 60 / real)
                                          : std::nullopt);
    }
    for (std::size_t k = 0; k < children.size(); ++k) {
        const TSoakKind kind = kinds[k].first;
        const std::string name = "Waiting at x1, " + kinds[k].second.toStdString();
        if (kind == TSoakKind::Headless || kind == TSoakKind::ListShown) {
            children[k]->Stop();
            children[k]->Check(0);
            Expect(name, children[k]->Failure());
        }
        if (!perMinute[k]) {
            Failed.push_back(name + ": its CPU time could not be read in /proc");
            continue;
        }
        const double ratio = *perMinute[k] / *perMinute[0];
        const double limit = kind == TSoakKind::Headless    ? IdleHeadlessLimit
                             : kind == TSoakKind::ListShown ? IdleListShownLimit
                                                            : 0;
        Row({name + ": CPU a minute", FormatSeconds(*perMinute[k]),
             limit > 0 ? "<= " + FormatRatio(limit) + " the floor" : "",
             k == 0 ? FormatSeconds(real) + " side by side, after " + FormatSeconds(settle)
                    : FormatRatio(ratio) + " the floor",
             limit > 0 ? VerdictOf(ratio <= limit) : TVerdict::None});
    }
}

} // namespace ostrel::bench
