// SPDX-License-Identifier: GPL-3.0-or-later
// What a GMC counter sends: the first byte picks the version answer or a
// heartbeat stream and, for a stream, the frame width expected and whether
// the decoder follows the stream; the rest are the bytes, cut into reads and
// pauses by 0xFF 0xFE markers (so that the fuzzer can place them).

#include "FuzzSupport.h"

#include "adapters/GmcProtocol.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using namespace ostrel::adapters;
using ostrel::fuzz::Require;

constexpr std::string_view PauseMarker = "\xFF\xFE";

void CheckVersion(std::string_view answer) {
    const std::optional<std::string> model = GmcModel(answer);
    if (!model) {
        return;
    }
    Require(model->rfind("GMC-", 0) == 0 && model->size() > 4, "a model starts with GMC-");
    Require(model->back() != ' ', "a model has no trailing blank");
    for (const char c : *model) {
        Require(c >= 0x20 && c <= 0x7E, "a model is printable ASCII");
    }
    Require(answer.substr(0, model->size()) == *model, "a model is the start of the answer");
    const int bytes = GmcFrameBytes(*model);
    Require(bytes == 2 || bytes == 4, "a frame is 2 or 4 bytes");
    const std::uint16_t coefficient = GmcTubeCoefficient(*model);
    Require(coefficient == 650 || coefficient == 287, "a tube's coefficient is from the table");
}

void CheckHeartbeats(std::uint8_t mode, std::string_view stream) {
    const int frameBytes = (mode & 2) != 0 ? 4 : 2;
    const bool follow = (mode & 4) != 0;
    TGmcHeartbeatDecoder decoder(frameBytes, follow, "GMC-320Re 5.2");
    std::size_t counts = 0;
    std::size_t bytes = 0;
    std::int64_t time = 0;
    const auto take = [&](std::string_view chunk) {
        bytes += chunk.size();
        for (const std::uint16_t count : decoder.Take(chunk, time)) {
            Require(follow || frameBytes == 4 || count <= 0x3FFF,
                    "a 2-byte count keeps its low 14 bits");
            ++counts;
        }
    };
    while (!stream.empty()) {
        const std::size_t marker = stream.find(PauseMarker);
        take(stream.substr(0, marker));
        if (marker == std::string_view::npos) {
            break;
        }
        time += 1000;
        take({});
        stream.remove_prefix(marker + PauseMarker.size());
    }
    counts += decoder.Finish().size();
    Require(counts <= bytes / 2, "no more counts than 2-byte frames");
    Require(decoder.Finish().empty(), "a second Finish has nothing more");
    decoder.TakeNotes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((data[0] & 1) == 0) {
        CheckVersion(rest);
    } else {
        CheckHeartbeats(data[0], rest);
    }
    return 0;
}
