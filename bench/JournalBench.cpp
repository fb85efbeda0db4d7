// SPDX-License-Identifier: GPL-3.0-or-later
// What the journal adds: to a tick of one finished minute, to a tick of a
// burst, and to Open; each beside the same without the journal, and the time
// until the journal's bytes are on the disk.

#include "bench/BenchRun.h"
#include "bench/LogScenario.h"
#include "bench/OpenScenario.h"
#include "display/LogList.h"
#include "journal/Journal.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace ostrel::bench {
namespace {

constexpr double JournalAddedMedianLimit = 1e-3;
constexpr double JournalStallLimit = 0.05;
// Ticks come 100 ms apart; between the timed ones the writer gets this long.
constexpr auto JournalTickGap = std::chrono::milliseconds(10);

double Worst(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// "+1.23 ms", "-45.6 us".
std::string SignedSeconds(double seconds) {
    return (seconds < 0 ? "-" : "+") + FormatSeconds(seconds < 0 ? -seconds : seconds);
}

// "median 12.3 us, worst 45.6 us".
std::string MedianAndWorst(const std::vector<double>& seconds) {
    return "median " + FormatSeconds(Median(seconds)) + ", worst " + FormatSeconds(Worst(seconds));
}

// The bytes Save would write for the log list's first n lines.
std::string SavedBytes(const TLogList& log, int n) {
    std::string bytes;
    for (int k = 0; k < n; ++k) {
        bytes += log.Item(k) + "\r\n";
    }
    return bytes;
}

std::string FileText(const std::optional<std::filesystem::path>& path) {
    if (!path) {
        return {};
    }
    std::ifstream in(*path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

void TBench::CheckJournal(const std::string& scenario, TJournal* journal, const TLogList& log,
                          int lines) {
    if (!journal->Flush() || FileText(journal->CurrentPath()) != SavedBytes(log, lines)) {
        Failed.push_back(scenario + ": the journal is not what Save writes");
    }
}

// One finished minute a tick, the log hidden; the ticks' times, and with the
// journal the time from each tick's start until its line is on the disk.
std::vector<double> TBench::MinuteTicks(bool journal, std::vector<double>& toDisk) {
    const std::size_t n = Sizes.JournalTicks;
    TBurstDevice device(BurstReadings(n + 1, TBurstKind::NewMinutes), true);
    TBurstRig rig(device, false, journal ? JournalFolder("ticks") : std::string());
    rig.Start();
    rig.Tick(); // the first minute: no line yet
    std::vector<double> ticks;
    for (std::size_t k = 0; k < n; ++k) {
        std::this_thread::sleep_for(JournalTickGap);
        const TClock::time_point start = TClock::now();
        rig.Tick();
        ticks.push_back(SecondsBetween(start, TClock::now()));
        if (journal) {
            rig.Journal()->Flush();
            toDisk.push_back(SecondsBetween(start, TClock::now()));
        }
    }
    Expect("journal ticks", CheckBurst(rig, n + 1, TBurstKind::NewMinutes));
    if (journal) {
        CheckJournal("journal ticks", rig.Journal(), rig.Log(), int(n));
        Expect("journal ticks", rig.JournalFailure());
    }
    return ticks;
}

// One tick of a burst of new minutes, the log hidden; its time, and with a
// journal the time until the burst is on the disk.
double TBench::JournalBurst(bool journal, std::vector<double>& toDisk) {
    const std::size_t n = Sizes.Burst;
    TBurstDevice device(BurstReadings(n, TBurstKind::NewMinutes));
    TBurstRig rig(device, false,
                  journal ? JournalFolder("burst-" + std::to_string(toDisk.size())) : "");
    rig.Start();
    const TClock::time_point start = TClock::now();
    rig.Tick();
    const double tick = SecondsBetween(start, TClock::now());
    Expect("journal burst", CheckBurst(rig, n, TBurstKind::NewMinutes));
    if (journal) {
        rig.Journal()->Flush();
        toDisk.push_back(SecondsBetween(start, TClock::now()));
        CheckJournal("journal burst", rig.Journal(), rig.Log(), int(n) - 1);
        Expect("journal burst", rig.JournalFailure());
    }
    return tick;
}

// Open of the largest log; with the journal, its first write of the opened
// lines too.
double TBench::JournalOpen(bool journal, std::vector<double>& toDisk) {
    const std::size_t n = Sizes.Open.back();
    TOpenScenario scenario(journal ? JournalFolder("open-" + std::to_string(toDisk.size()))
                                   : std::string());
    scenario.Show();
    const TClock::time_point start = TClock::now();
    scenario.Open(LogPath(n));
    const double open = SecondsBetween(start, TClock::now());
    Expect("journal open", scenario.Check(n));
    if (journal) {
        scenario.Form().Logger().FindOutput<TJournal>()->Flush();
        toDisk.push_back(SecondsBetween(start, TClock::now()));
        CheckJournal("journal open", scenario.Form().Logger().FindOutput<TJournal>(),
                     scenario.Form().Log(), int(n) - 1);
    }
    return open;
}

// Runs once without and once with the journal, in turns, as often as its
// size asks: on a shared machine the two medians then see the same load.
void TBench::InTurns(std::size_t n, double (TBench::*run)(bool, std::vector<double>&),
                     std::vector<double>& without, std::vector<double>& with,
                     std::vector<double>& toDisk) {
    std::vector<double> unused;
    for (int k = 0; k < RunsFor(n); ++k) {
        without.push_back((this->*run)(false, unused));
        with.push_back((this->*run)(true, toDisk));
    }
}

// A normal tick may take at most the median limit more and never stall; a
// burst, long already, may take at most the stall limit more.
void TBench::JournalRows(const std::string& what, const std::vector<double>& without,
                         const std::vector<double>& with, const std::vector<double>& toDisk,
                         bool burst) {
    const double added = Median(with) - Median(without);
    const bool met = burst ? added <= JournalStallLimit
                           : added <= JournalAddedMedianLimit && Worst(with) <= JournalStallLimit;
    const std::string target = burst ? "added <= " + FormatSeconds(JournalStallLimit)
                                     : "added <= " + FormatSeconds(JournalAddedMedianLimit) +
                                           ", worst <= " + FormatSeconds(JournalStallLimit);
    Row({what + ", with the journal", MedianAndWorst(with), target,
         "without " + MedianAndWorst(without) + ", added " + SignedSeconds(added) +
             "; on the disk after " + MedianAndWorst(toDisk),
         VerdictOf(met)});
}

void TBench::Journal() {
    std::cerr << "journal\n";
    std::vector<double> toDisk;
    std::vector<double> unused;
    const std::vector<double> plain = MinuteTicks(false, unused);
    const std::vector<double> journalled = MinuteTicks(true, toDisk);
    JournalRows("Tick of one finished minute, " + FormatCount(Sizes.JournalTicks) + " ticks", plain,
                journalled, toDisk, false);
    toDisk.clear();
    std::vector<double> burst;
    std::vector<double> burstJournalled;
    InTurns(Sizes.Burst, &TBench::JournalBurst, burst, burstJournalled, toDisk);
    JournalRows("Tick of a burst of " + FormatCount(Sizes.Burst) + " new minutes", burst,
                burstJournalled, toDisk, true);
    toDisk.clear();
    WriteScenarioLog(LogPath(Sizes.Open.back()), Sizes.Open.back());
    std::vector<double> open;
    std::vector<double> openJournalled;
    InTurns(Sizes.Open.back(), &TBench::JournalOpen, open, openJournalled, toDisk);
    const double added = Median(openJournalled) - Median(open);
    Row({"Open log, " + FormatCount(Sizes.Open.back()) + " lines, with the journal's first write",
         MedianAndWorst(openJournalled), "",
         "without " + MedianAndWorst(open) + ", added " + SignedSeconds(added) + " (" +
             FormatRatio(Median(openJournalled) / Median(open)) + "); on the disk after " +
             MedianAndWorst(toDisk),
         TVerdict::None});
}

} // namespace ostrel::bench
