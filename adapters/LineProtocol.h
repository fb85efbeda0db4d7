// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Counters that print one text line a second on a serial port. The MightyOhm
// kit ("CPS, 5, CPM, 30, uSv/hr, 0.17, SLOW"; "300*" marks a second whose
// count overflowed the kit's buffer) gives the counts of each second, which
// are taken as they are. Counters that print only their own CPM, a moving
// one-minute sum, once a second (the GC10's bare "20" CR LF, ESPGeiger's
// "CPM: 20", MightyOhm's "CPM(SLOW): 20, ...") cannot give the counts of a
// second: the adapter logs one reading a clock minute for them, the last CPM
// they sent in that minute.

#include "adapters/AdapterConfig.h"
#include "adapters/Protocol.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::adapters {

// A line longer than this is noise, not a report.
inline constexpr std::size_t MaxLineBytes = 256;
// A line is printed in well under this; an unfinished one older than it,
// with nothing more arriving, has lost its end.
inline constexpr std::int64_t LinePauseMilliseconds = 500;

// Count: the counts of one second; Cpm: the counter's one-minute sum.
enum class TLineKind { Count, Cpm, Blank, Garbage };

struct TParsedLine {
    TLineKind Kind = TLineKind::Garbage;
    std::uint16_t Count = 0;
    bool Overflowed = false; // the counter marked the count with "*"
};

// One line without its line break, values 0 to 65535: Count after a "CPS"
// field of a comma-separated line (a "*" after it is Overflowed); Cpm as the
// whole line, or after a leading "CPM:" or "CPM(...):". Blank lines are
// Blank; everything else, including control or non-ASCII bytes, is Garbage.
TParsedLine ParseCountLine(std::string_view line);

class TLineDecoder : public TCountDecoder {
public:
    std::vector<std::uint16_t> Take(std::string_view bytes,
                                    std::int64_t steadyMilliseconds) override;
    std::vector<std::uint16_t> Finish() override;

private:
    void EndLine(std::vector<std::uint16_t>& counts);
    void DropCut();

    std::string Line;
    bool Overlong = false;
    std::int64_t LastByteTime = 0;
};

// Nothing to ask: a line counter talks on its own. A port that opens is
// taken for one; Start only forgets what came before.
class TLineProtocol : public TProtocol {
public:
    std::optional<std::string> Identify(TSerialPort& port) override;
    bool Start(TSerialPort& port) override;
    void Stop(TSerialPort& port) override;
    std::unique_ptr<TCountDecoder> MakeDecoder(const std::string& model) const override;
};

// The serial-line adapter library: "OSTREL_SERIALLINE_", serial-line.conf,
// /dev/ttyUSB0 at 9600 baud, coefficient 0.0057 uSv/h per CPM (the SBM-20
// tube of the MightyOhm kit).
TAdapterSetup SerialLineAdapterSetup();

} // namespace ostrel::adapters
