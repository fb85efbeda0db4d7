// SPDX-License-Identifier: GPL-3.0-or-later
// What a line counter sends (MightyOhm, GC10, ESPGeiger lines), on any bytes:
// each line alone, and the whole stream through the decoder at once and one
// byte at a time.

#include "FuzzSupport.h"

#include "adapters/LineProtocol.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace ostrel::adapters;
using ostrel::fuzz::Require;

void CheckLine(std::string_view line) {
    const TParsedLine parsed = ParseCountLine(line);
    if (parsed.Kind == TLineKind::Count || parsed.Kind == TLineKind::Cpm) {
        Require(line.find(std::to_string(parsed.Count)) != std::string_view::npos,
                "a count is written in its line");
        for (const char c : line) {
            Require((c >= 0x20 && c <= 0x7E) || c == '\t', "a counted line is printable");
        }
    }
    Require(!parsed.Overflowed || parsed.Kind == TLineKind::Count,
            "only the counts of a second overflow");
}

struct TResult {
    std::vector<std::uint16_t> Counts;
    std::optional<std::uint16_t> Cpm;
    std::size_t Dropped = 0;
};

TResult Decode(std::string_view stream, std::size_t piece) {
    TLineDecoder decoder;
    TResult result;
    for (std::size_t start = 0; start < stream.size(); start += piece) {
        for (const std::uint16_t count : decoder.Take(stream.substr(start, piece), 0)) {
            result.Counts.push_back(count);
        }
        if (const std::optional<std::uint16_t> cpm = decoder.TakeCpm()) {
            result.Cpm = cpm;
        }
    }
    decoder.Finish();
    result.Dropped = decoder.Dropped();
    decoder.TakeNotes();
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0; start <= stream.size();) {
        const std::size_t end = std::min(stream.find('\n', start), stream.size());
        CheckLine(stream.substr(start, end - start));
        start = end + 1;
    }
    const TResult whole = Decode(stream, stream.size() + 1);
    const TResult bytes = Decode(stream, 1);
    Require(whole.Counts == bytes.Counts, "reads cut anywhere give the same counts");
    Require(whole.Cpm == bytes.Cpm, "reads cut anywhere give the same CPM");
    Require(whole.Dropped == bytes.Dropped, "reads cut anywhere drop the same lines");
    return 0;
}
