// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmarks behind `make bench`: opening large logs, draining a burst of
// readings, replotting, the memory of an opened log, the start-up time,
// what the journal, and the maps with MQTT, add to a tick and to Open, and a
// month of logging.
// Prints one table, each figure beside its target and its reference, and
// writes it to the file given with --out. Every scenario's result is checked
// after it has been timed; a wrong result makes the exit status 1.
//
//   ostrel-bench [--quick] [--soak] [--large]
//                [--only open|open-cpu|burst|replot|memory|save|large|startup|mqtt|journal|
//                        maps|idle|http|soak]... [--out FILE]
// The soak and the ten-million-line log run only with their flag or --only.
//   ostrel-bench --memory-child empty|open [FILE [LINES]]   (run by itself)

#include "bench/BenchRun.h"
#include "bench/Measure.h"
#include "bench/OpenScenario.h"
#include "journal/Journal.h"

#include <QApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace ostrel::bench {
namespace {

int MemoryChild(const std::vector<std::string>& arguments) {
    // With a journal, as the program keeps one; its first write of the
    // opened lines is waited for, so that the peak includes it.
    const QTemporaryDir journals;
    TOpenScenario scenario(journals.path().toStdString());
    scenario.Show();
    if (arguments.size() >= 2 && arguments[0] == "open") {
        const TClock::time_point start = TClock::now();
        scenario.Open(arguments[1]);
        const std::chrono::duration<double> open = TClock::now() - start;
        TOpenScenario::Settle();
        if (!scenario.Form().Logger().FindOutput<TJournal>()->Flush()) {
            std::fprintf(stderr, "the journal could not be written\n");
            return 1;
        }
        std::printf("Open: %.6f\n", open.count());
        // With the expected number of lines: only the counts are checked, a
        // full check of ten million lines would outlast the run.
        if (arguments.size() >= 3) {
            if (const auto problem = scenario.CheckCounts(std::stoull(arguments[2]))) {
                std::fprintf(stderr, "%s\n", problem->c_str());
                return 1;
            }
        }
    }
    std::printf("CPU: %.6f\n", OwnCpuSeconds());
    const auto peak = OwnStatusKilobytes("VmHWM");
    const auto resident = OwnStatusKilobytes("VmRSS");
    if (!peak || !resident) {
        std::fprintf(stderr, "no /proc/self/status\n");
        return 1;
    }
    std::printf("VmHWM: %lld kB\nVmRSS: %lld kB\n", static_cast<long long>(*peak),
                static_cast<long long>(*resident));
    return 0;
}

std::string Heading(bool quick) {
    std::ostringstream text;
    text << "Ostrel benchmarks" << (quick ? " (quick sizes)" : "") << ", Release build, "
         << QDateTime::currentDateTime().toString(Qt::ISODate).toStdString() << ", "
         << QThread::idealThreadCount() << " cores, Qt " << qVersion() << "\n";
    return text.str();
}

struct TSection {
    std::string Name;
    void (TBench::*Run)();
    bool Long; // only with its own flag or --only
};

const std::vector<TSection>& Sections() {
    static const std::vector<TSection> sections{
        {"open", &TBench::OpenLogs, false}, {"open-cpu", &TBench::OpenCpu, false},
        {"burst", &TBench::Bursts, false},  {"replot", &TBench::Replots, false},
        {"memory", &TBench::Memory, false}, {"save", &TBench::Saves, false},
        {"large", &TBench::LargeLog, true}, {"startup", &TBench::Startup, false},
        {"mqtt", &TBench::Mqtt, false},     {"journal", &TBench::Journal, false},
        {"maps", &TBench::Maps, false},     {"idle", &TBench::Idle, false},
        {"http", &TBench::Http, false},     {"soak", &TBench::Soak, true},
    };
    return sections;
}

int RunAll(bool quick, const std::vector<std::string>& only, const std::vector<std::string>& extra,
           const std::string& outPath) {
    QTemporaryDir folder;
    TBench bench(quick ? QuickSizes() : FullSizes(), folder.path().toStdString());
    const auto named = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    for (const TSection& section : Sections()) {
        const bool run =
            only.empty() ? !section.Long || named(extra, section.Name) : named(only, section.Name);
        if (run) {
            (bench.*section.Run)();
        }
    }
    std::string report = Heading(quick) + "\n" + FormatTable(bench.Rows());
    if (bench.Failures().empty()) {
        report += "\nEvery scenario's records, points and lines checked: all as expected.\n";
    } else {
        report += "\nWRONG RESULTS:\n";
        for (const std::string& failure : bench.Failures()) {
            report += "  " + failure + "\n";
        }
    }
    std::cout << report;
    if (!outPath.empty()) {
        std::ofstream(outPath, std::ios::binary) << report;
    }
    return bench.Failures().empty() ? 0 : 1;
}

} // namespace
} // namespace ostrel::bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    try {
        if (!arguments.empty() && arguments[0] == "--memory-child") {
            return ostrel::bench::MemoryChild({arguments.begin() + 1, arguments.end()});
        }
        bool quick = false;
        std::vector<std::string> only;
        std::vector<std::string> extra;
        std::string outPath;
        const auto known = [](const std::string& name) {
            const auto& sections = ostrel::bench::Sections();
            return std::any_of(sections.begin(), sections.end(),
                               [&](const auto& section) { return section.Name == name; });
        };
        for (std::size_t k = 0; k < arguments.size(); ++k) {
            if (arguments[k] == "--quick") {
                quick = true;
            } else if (arguments[k] == "--soak" || arguments[k] == "--large") {
                extra.push_back(arguments[k].substr(2));
            } else if (arguments[k] == "--only" && k + 1 < arguments.size() &&
                       known(arguments[k + 1])) {
                only.push_back(arguments[++k]);
            } else if (arguments[k] == "--out" && k + 1 < arguments.size()) {
                outPath = arguments[++k];
            } else {
                std::cerr << "usage: ostrel-bench [--quick] [--soak] [--large] [--only open|"
                             "open-cpu|burst|replot|memory|save|large|startup|mqtt|journal|maps|"
                             "idle|http|soak]... [--out FILE]\n";
                return 2;
            }
        }
        return ostrel::bench::RunAll(quick, only, extra, outPath);
    } catch (const std::exception& e) {
        std::cerr << "ostrel-bench: " << e.what() << "\n";
        return 1;
    }
}
