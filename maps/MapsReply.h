// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a map service's answer means for the minute sent: taken, worth trying
// again later, or a fault that more tries cannot mend. Only the bytes of the
// answer decide; no network here.

#include <chrono>
#include <string>
#include <string_view>

namespace ostrel {

enum class TMapService { Radmon, Gmcmap, Safecast, SensorCommunity };

// One request's outcome as the HTTP client saw it.
struct THttpReply {
    std::string Failure; // set: no HTTP answer came (refused, timed out, TLS), curl's words
    long Status = 0;
    std::string ContentType;
    std::string Body; // at most the first MaxReplyBody bytes
};

inline constexpr std::size_t MaxReplyBody = 16 * 1024;

enum class TReplyClass {
    Accepted,  // the service has the minute (also a duplicate of one it had)
    Transient, // try again after a pause
    Permanent, // nothing sent again can succeed: the output stops
};

struct TVerdict {
    TReplyClass Class = TReplyClass::Transient;
    // What happened, for a line on the standard error stream: printable
    // ASCII, one line, at most MaxCauseLength characters; empty for Accepted.
    std::string Cause;
    // The service asks for at least this pause before the next request.
    std::chrono::seconds AtLeast{0};
};

inline constexpr std::size_t MaxCauseLength = 160;

// radmon.org asks for a value at most every 30 s and says "Too soon" when it
// comes sooner.
inline constexpr std::chrono::seconds RadmonTooSoonPause{30};

TVerdict ClassifyReply(TMapService service, const THttpReply& reply);

// Whether part is in text, letters of either case alike (ASCII).
bool ContainsNoCase(std::string_view text, std::string_view part);

// The start of text fit for one printed line: its first line, blanks
// around dropped, other control bytes and every byte outside ASCII as "?",
// cut to limit characters with "..." at the cut.
std::string Excerpt(std::string_view text, std::size_t limit);

} // namespace ostrel
