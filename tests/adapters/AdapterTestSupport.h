// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stand-ins for what an adapter uses of the world: scripted serial ports, a
// clock that moves only when told, and readings written as text so that
// whole runs compare at once.

#include "adapters/Clock.h"
#include "adapters/SerialCounter.h"
#include "adapters/SerialPort.h"
#include "device/CounterDevice.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace ostrel::adapters::test {

// Milliseconds since 1970 of a local time, as the adapter's wall clock
// gives them.
inline std::int64_t LocalMilliseconds(int year, int month, int day, int hour, int minute,
                                      int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local)) * 1000;
}

// "2024-05-01 09:40:58.000 w3 5" (w: day of week), or "gone".
inline std::string SampleText(const TCounterSample& sample) {
    const TSystemTime& t = sample.Time;
    if (t.Year == 0) {
        return "gone";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u w%u %u", t.Year, t.Month,
                  t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds, t.DayOfWeek, sample.Count);
    return text;
}

struct TFakeClock {
    std::atomic<std::int64_t> Wall{LocalMilliseconds(2024, 5, 1, 9, 40, 58)};
    std::atomic<std::int64_t> Steady{1000000};

    TClock Clock() {
        return TClock{[this] { return Wall.load(); }, [this] { return Steady.load(); }};
    }
};

// What a scripted port was asked and what it will answer. Shared with the
// test, which keeps it after the port has gone to the adapter.
struct TPortScript {
    int Baud = 0;
    std::deque<std::string> Arrivals; // one chunk per Read
    bool Gone = false;                // after the arrivals, the port vanishes
    bool RefuseWrites = false;
    std::vector<std::string> Log; // "write <GETVER>>", "discard", "closed"
    // What the counter answers to a command just written (may be empty).
    std::function<std::string(std::string_view command, int baud)> Answer;
    std::vector<std::string>* Trail = nullptr; // gets the Log's lines too

    void Record(std::string line) {
        if (Trail != nullptr) {
            Trail->push_back(line);
        }
        Log.push_back(std::move(line));
    }
};

class TScriptedPort : public TSerialPort {
public:
    explicit TScriptedPort(std::shared_ptr<TPortScript> script) : Script(std::move(script)) {}
    ~TScriptedPort() override { Script->Record("closed"); }

    TReadStatus Read(std::string& into) override {
        if (!Script->Arrivals.empty()) {
            into += Script->Arrivals.front();
            Script->Arrivals.pop_front();
            return TReadStatus::Open;
        }
        return Script->Gone ? TReadStatus::Gone : TReadStatus::Open;
    }
    bool WaitForInput(int) override { return !Script->Arrivals.empty() || Script->Gone; }
    bool Write(std::string_view bytes) override {
        Script->Record("write " + std::string(bytes));
        if (Script->RefuseWrites) {
            return false;
        }
        if (Script->Answer) {
            std::string answer = Script->Answer(bytes, Script->Baud);
            if (!answer.empty()) {
                Script->Arrivals.push_back(std::move(answer));
            }
        }
        return true;
    }
    void DiscardInput() override {
        Script->Record("discard");
        Script->Arrivals.clear();
    }
    std::string GoneReason() const override { return "Input/output error"; }

private:
    std::shared_ptr<TPortScript> Script;
};

// A context with scripted ports by path, a fake clock, a fixed environment
// and the reports kept.
struct TScriptedWorld {
    std::map<std::string, std::shared_ptr<TPortScript>> Ports;
    std::map<std::string, std::string> Environment;
    std::vector<std::string> Opened; // "/dev/ttyUSB0 115200"
    std::vector<std::string> Reports;
    // Opens ("open /dev/ttyUSB0 115200"), the ports' lines and the reports
    // ("told ..."), in the order they happened.
    std::vector<std::string> Trail;
    TFakeClock Clock;

    TAdapterContext Context() {
        TAdapterContext context;
        context.OpenPort = [this](const std::string& path, int baud) {
            Opened.push_back(path + " " + std::to_string(baud));
            Trail.push_back("open " + Opened.back());
            TOpenResult result;
            const auto found = Ports.find(path);
            if (found == Ports.end()) {
                result.Error = "No such file or directory";
                return result;
            }
            found->second->Baud = baud;
            found->second->Trail = &Trail;
            result.Port = std::make_unique<TScriptedPort>(found->second);
            return result;
        };
        context.Environment = [this](const char* name) -> std::optional<std::string> {
            const auto found = Environment.find(name);
            return found == Environment.end() ? std::nullopt : std::optional(found->second);
        };
        context.Clock = Clock.Clock();
        context.Report = [this](const std::string& text) {
            Reports.push_back(text);
            Trail.push_back("told " + text);
        };
        return context;
    }
};

// A real serial port that counts the bytes read from it, so that a test
// knows when what it sent has reached the adapter.
class TObservedPort : public TSerialPort {
public:
    TObservedPort(std::unique_ptr<TSerialPort> inner, std::atomic<std::size_t>& bytesRead)
        : Inner(std::move(inner)), BytesRead(bytesRead) {}

    TReadStatus Read(std::string& into) override {
        const std::size_t before = into.size();
        const TReadStatus status = Inner->Read(into);
        BytesRead += into.size() - before;
        return status;
    }
    bool WaitForInput(int milliseconds) override { return Inner->WaitForInput(milliseconds); }
    bool Write(std::string_view bytes) override { return Inner->Write(bytes); }
    void DiscardInput() override { Inner->DiscardInput(); }
    std::string GoneReason() const override { return Inner->GoneReason(); }

private:
    std::unique_ptr<TSerialPort> Inner;
    std::atomic<std::size_t>& BytesRead;
};

// Real serial ports (pseudo-terminals in tests), a fake clock, a fixed
// environment and the reports kept.
struct TRealPortWorld {
    std::map<std::string, std::string> Environment;
    std::vector<std::string> Reports;
    std::atomic<std::size_t> BytesRead{0};
    TFakeClock Clock;

    TAdapterContext Context() {
        TAdapterContext context;
        context.OpenPort = [this](const std::string& path, int baud) {
            TOpenResult result = OpenSerialPort(path, baud);
            if (result.Port) {
                result.Port = std::make_unique<TObservedPort>(std::move(result.Port), BytesRead);
            }
            return result;
        };
        context.Environment = [this](const char* name) -> std::optional<std::string> {
            const auto found = Environment.find(name);
            return found == Environment.end() ? std::nullopt : std::optional(found->second);
        };
        context.Clock = Clock.Clock();
        context.Report = [this](const std::string& text) { Reports.push_back(text); };
        return context;
    }
};

// Every reading GetData hands out until it answers 0, as text.
inline std::vector<std::string> Drain(TSerialCounter& counter) {
    std::vector<std::string> texts;
    TCounterSample sample{};
    while (counter.GetData(&sample) != 0) {
        texts.push_back(SampleText(sample));
    }
    return texts;
}

// What GetData hands out until the adapter has told the given number of
// lines in all (a pulled cable is noticed at the next read), polling for up
// to two minutes: only a broken run takes that long.
inline std::vector<std::string> DrainUntilTold(TSerialCounter& counter,
                                               const std::vector<std::string>& reports,
                                               std::size_t lines) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    std::vector<std::string> texts = Drain(counter);
    while (reports.size() < lines && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const std::vector<std::string> more = Drain(counter);
        texts.insert(texts.end(), more.begin(), more.end());
    }
    return texts;
}

} // namespace ostrel::adapters::test
