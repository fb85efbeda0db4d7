// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/SerialCounter.h"

#include "device/LibrarySide.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <sstream>

namespace ostrel::adapters {

namespace {

constexpr std::int64_t MillisecondsPerReading = 1000;
constexpr std::int64_t MillisecondsPerMinute = 60000;
// A counter that reports once a second and has said nothing for this long
// is connected but not counting (a wrong rate, a cable without data lines).
constexpr std::int64_t SilenceMilliseconds = 10000;
// A USB serial adapter takes a second or two to come back after a replug or
// a hub reset; asking more often only costs system calls.
constexpr std::int64_t ReopenMilliseconds = 2000;

std::string HexId(std::uint32_t id) {
    std::ostringstream text;
    text << "0x" << std::uppercase << std::hex << std::setw(8) << std::setfill('0') << id;
    return text.str();
}

} // namespace

TAdapterContext SystemContext() {
    return TAdapterContext{
        OpenSerialPort,
        EnvironmentValue,
        SystemClock(),
        [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); },
    };
}

std::uint32_t PortId(const std::string& path) {
    // FNV-1a: the same port keeps its Id from one session to the next.
    std::uint32_t hash = 2166136261u;
    for (const char c : path) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash != 0 ? hash : 1;
}

TSerialCounter::TSerialCounter(TAdapterSetup setup, TAdapterContext context)
    : Setup(std::move(setup)), Context(std::move(context)) {}

TSerialCounter::~TSerialCounter() {
    EndLink();
}

std::int32_t TSerialCounter::Find() {
    Found.clear();
    TAdapterConfig config;
    try {
        config = ReadAdapterConfig(Setup, Context.Environment);
        Protocol = Setup.MakeProtocol(config);
    } catch (const TAdapterConfigError& error) {
        Context.Report(Setup.Name + ": " + error.what());
        return 0;
    }
    StatePath = config.StatePath;
    // Only Windows' list of the ports present can be empty.
    if (config.Ports.empty()) {
        Context.Report(Setup.Name + ": no COM port is present, and no port is set");
    }
    for (const std::string& path : config.Ports) {
        // The connected port is not asked again (an open port can be opened
        // twice by root, and its reports would be stolen).
        if (!(Link && Link->Path == path)) {
            FindOn(path, config.Bauds, *Protocol);
        }
    }
    return static_cast<std::int32_t>(Found.size());
}

void TSerialCounter::FindOn(const std::string& path, const std::vector<int>& bauds,
                            TProtocol& protocol) {
    protocol.ForgetCauses();
    // Told only when no rate finds a counter: a wrong rate answers garbage.
    std::vector<std::string> whyNot;
    for (const int baud : bauds) {
        TOpenResult opened = Context.OpenPort(path, baud);
        if (!opened.Port) {
            Context.Report(Setup.Name + ": cannot open " + path + ": " + opened.Error);
            if (!opened.Advice.empty()) {
                Context.Report("  " + opened.Advice);
            }
            return;
        }
        std::optional<std::string> model = protocol.Identify(*opened.Port);
        for (const std::string& note : protocol.TakeNotes()) {
            whyNot.push_back(Setup.Name + ": " + path + " at " + std::to_string(baud) +
                             " baud: " + note);
        }
        if (model) {
            std::uint32_t id = PortId(path);
            while (PathOf(id) != nullptr || id == 0) {
                ++id;
            }
            const std::optional<std::uint16_t> coefficient =
                protocol.Coefficient(*opened.Port, *model);
            Tell(protocol, path);
            Found.push_back(
                TFound{id, path, std::move(*model), baud, std::move(opened.Port), coefficient});
            return;
        }
    }
    for (const std::string& text : whyNot) {
        Context.Report(text);
    }
    Context.Report(Setup.Name + ": no counter answers on " + path);
}

std::int32_t TSerialCounter::GetInfo(TDeviceInfo* infos) const {
    if (infos == nullptr) {
        return 0;
    }
    for (std::size_t i = 0; i < Found.size(); ++i) {
        infos[i].Id = Found[i].Id;
    }
    return static_cast<std::int32_t>(Found.size());
}

std::int32_t TSerialCounter::Connect(std::uint32_t id) {
    EndLink();
    Pending.clear();
    GonePending = false;
    const auto found = std::find_if(Found.begin(), Found.end(),
                                    [id](const TFound& entry) { return entry.Id == id; });
    if (found == Found.end() || !found->Port || !Protocol) {
        Context.Report(Setup.Name + ": no counter " + HexId(id) + " to connect; Find first");
        GonePending = true;
        return 0;
    }
    auto link = std::make_unique<TLink>();
    link->Id = id;
    link->Path = found->Path;
    link->Model = found->Model;
    link->Baud = found->Baud;
    link->Port = std::move(found->Port);
    link->Decoder = Protocol->MakeDecoder(found->Model);
    link->LastBytes = Context.Clock.SteadyMilliseconds();
    if (!Protocol->Start(*link->Port)) {
        Context.Report(Setup.Name + ": the counter on " + link->Path + " cannot be started");
        GonePending = true;
        return 0;
    }
    Link = std::move(link);
    // The other ports are free again for whoever needs them.
    for (TFound& entry : Found) {
        entry.Port.reset();
    }
    return 1;
}

std::int32_t TSerialCounter::Disconnect(std::uint32_t id) {
    if (!Link || Link->Id != id) {
        return 0;
    }
    // A port that went away handed out what it held then.
    if (Link->Port) {
        Queue(Link->Decoder->Finish());
        TakeCpm(true);
    }
    EndLink();
    GonePending = true;
    return 1;
}

std::int32_t TSerialCounter::GetData(TCounterSample* sample) {
    if (sample == nullptr) {
        return 0;
    }
    if (Pending.empty() && Link) {
        Poll();
    }
    if (!Pending.empty()) {
        *sample = Pending.front();
        Pending.pop_front();
        return 1;
    }
    if (GonePending) {
        GonePending = false;
        *sample = TCounterSample{};
        return 1;
    }
    return 0;
}

void TSerialCounter::Poll() {
    const std::int64_t steady = Context.Clock.SteadyMilliseconds();
    if (!Link->Port) {
        if (steady < Link->ReopenAt) {
            return;
        }
        Reopen(steady);
        if (!Link->Port) {
            return;
        }
    }
    if (const std::string request = Link->Decoder->Request(steady); !request.empty()) {
        Link->Port->Write(request);
    }
    std::string bytes;
    const TReadStatus status = Link->Port->Read(bytes);
    if (!bytes.empty()) {
        Link->LastBytes = steady;
    } else if (!Link->ToldSilent && steady - Link->LastBytes >= SilenceMilliseconds) {
        Link->ToldSilent = true;
        Context.Report(Setup.Name + ": the counter on " + Link->Path + " has sent nothing for " +
                       std::to_string(SilenceMilliseconds / 1000) + " s");
    }
    std::vector<std::uint16_t> counts = Link->Decoder->Take(bytes, steady);
    if (status == TReadStatus::Open) {
        Queue(counts);
        TakeCpm(false);
        Tell(*Link->Decoder, Link->Path);
        return;
    }
    const std::vector<std::uint16_t> rest = Link->Decoder->Finish();
    counts.insert(counts.end(), rest.begin(), rest.end());
    Queue(counts);
    TakeCpm(true);
    Tell(*Link->Decoder, Link->Path);
    LoseLink(steady);
}

// Logging goes on without readings: a counter left logging for weeks should
// outlast a loose plug or a hub reset without anyone choosing Connect again.
void TSerialCounter::LoseLink(std::int64_t steady) {
    Context.Report(Setup.Name + ": the counter on " + Link->Path + " is gone (" +
                   Link->Port->GoneReason() + "); trying the port again every " +
                   std::to_string(ReopenMilliseconds / 1000) + " s");
    Link->Port.reset();
    Link->ReopenAt = steady + ReopenMilliseconds;
}

// The counter is not asked who it is again (Identify waits for answers, and
// GetData must not wait): whatever opens under the same name is taken for it
// and started at once. Failures stay silent; the user has been told that the
// port is being tried.
void TSerialCounter::Reopen(std::int64_t steady) {
    Link->ReopenAt = steady + ReopenMilliseconds;
    TOpenResult opened = Context.OpenPort(Link->Path, Link->Baud);
    if (!opened.Port || !Protocol->Start(*opened.Port)) {
        return;
    }
    Link->Port = std::move(opened.Port);
    // A fresh decoder: nothing said before the gap belongs to what follows
    // (a pulse total would count the pulses of the whole gap as one second).
    Link->Decoder = Protocol->MakeDecoder(Link->Model);
    Link->LastBytes = steady;
    Link->ToldSilent = false;
    Context.Report(Setup.Name + ": the counter on " + Link->Path + " is back");
}

void TSerialCounter::Queue(const std::vector<std::uint16_t>& counts) {
    if (counts.empty()) {
        return;
    }
    // Several seconds at once are a backlog: the last is now, each earlier
    // one a second before, but none before the previous reading.
    const std::int64_t now = Context.Clock.WallMilliseconds();
    const std::int64_t earliest = std::min(LastStamp, now);
    const auto last = static_cast<std::int64_t>(counts.size()) - 1;
    for (std::int64_t i = 0; i <= last; ++i) {
        const std::int64_t stamp = std::max(now - (last - i) * MillisecondsPerReading, earliest);
        QueueAt(stamp, counts[static_cast<std::size_t>(i)]);
    }
    LastStamp = now;
}

void TSerialCounter::QueueAt(std::int64_t stamp, std::uint16_t count) {
    TCounterSample sample{};
    sample.Time = LocalSystemTime(stamp);
    sample.Count = count;
    Pending.push_back(sample);
}

// Every time zone is a whole number of minutes from UTC, so a minute of the
// wall clock is a local clock minute too.
void TSerialCounter::TakeCpm(bool stopping) {
    const std::int64_t now = Context.Clock.WallMilliseconds();
    const std::int64_t minute = now / MillisecondsPerMinute;
    const std::optional<std::uint16_t> cpm = Link->Decoder->TakeCpm();
    if (Link->MinuteCpm && (minute != Link->CpmMinute || stopping)) {
        // The last second of its minute, unless the minute is still running.
        const std::int64_t end =
            (Link->CpmMinute + 1) * MillisecondsPerMinute - MillisecondsPerReading;
        const std::int64_t stamp = std::max(std::min(end, now), LastStamp);
        QueueAt(stamp, *Link->MinuteCpm);
        LastStamp = stamp;
        Link->MinuteCpm.reset();
    }
    if (cpm) {
        Link->MinuteCpm = cpm;
        Link->CpmMinute = minute;
        if (stopping) {
            TakeCpm(true);
        }
    }
}

void TSerialCounter::Tell(TNotes& source, const std::string& where) {
    for (const std::string& note : source.TakeNotes()) {
        Context.Report(Setup.Name + ": " + where + ": " + note);
    }
}

void TSerialCounter::EndLink() {
    if (!Link) {
        return;
    }
    if (Protocol && Link->Port) {
        Protocol->Stop(*Link->Port);
    }
    Link.reset();
}

const std::string* TSerialCounter::PathOf(std::uint32_t id) const {
    if (Link && Link->Id == id) {
        return &Link->Path;
    }
    for (const TFound& entry : Found) {
        if (entry.Id == id) {
            return &entry.Path;
        }
    }
    return nullptr;
}

std::int32_t TSerialCounter::GetCoefficient(std::uint32_t id, std::uint16_t* coefficient,
                                            std::uint16_t* background) {
    const std::string* path = PathOf(id);
    if (path == nullptr || coefficient == nullptr || background == nullptr) {
        return 0;
    }
    TCoefficientPair pair{Setup.DefaultCoefficient, Setup.DefaultBackground};
    const auto found = std::find_if(Found.begin(), Found.end(),
                                    [path](const TFound& entry) { return entry.Path == *path; });
    if (found != Found.end() && found->Coefficient) {
        pair.Coefficient = *found->Coefficient;
    }
    if (const auto held = Coefficients.find(*path); held != Coefficients.end()) {
        pair = held->second;
    } else if (const auto stored =
                   StatePath.empty() ? std::nullopt : ReadCoefficients(StatePath, *path)) {
        pair = *stored;
    }
    *coefficient = pair.Coefficient;
    *background = pair.Background;
    return 1;
}

std::int32_t TSerialCounter::SetCoefficient(std::uint32_t id, std::uint16_t coefficient,
                                            std::uint16_t background) {
    const std::string* path = PathOf(id);
    if (path == nullptr) {
        return 0;
    }
    const TCoefficientPair pair{coefficient, background};
    Coefficients[*path] = pair;
    if (StatePath.empty()) {
        return 1;
    }
    try {
        WriteCoefficients(StatePath, *path, pair);
        return 1;
    } catch (const std::exception& error) {
        Context.Report(Setup.Name +
                       ": the coefficient is kept only until the program ends: " + error.what());
        return 0;
    }
}

std::int32_t TSerialCounter::Clear() {
    EndLink();
    Found.clear();
    Pending.clear();
    GonePending = false;
    LastStamp = 0;
    Coefficients.clear();
    Protocol.reset();
    StatePath.clear();
    return 1;
}

} // namespace ostrel::adapters
