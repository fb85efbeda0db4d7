// SPDX-License-Identifier: GPL-3.0-or-later
// What a map service, or whatever stands in its place, answers: any status,
// content type and body, or any failure text, for each of the three
// services; and the lines made of the answer, masked and printed.

#include "FuzzSupport.h"

#include "maps/MapsReply.h"
#include "maps/MapsRequests.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace ostrel;
using ostrel::fuzz::Require;

bool IsOneShortLine(const std::string& text, std::size_t limit) {
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return text.size() <= limit;
}

} // namespace

// Bytes: the service, the status (two bytes), a flag byte (bit 0: no
// answer, the rest is curl's failure text), the content type's length, the
// content type, then the body; the body's first eight bytes also serve as a
// password.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto service = static_cast<TMapService>(data[0] % 3);
    const long status = (data[1] << 8 | data[2]) % 1000;
    const bool failed = (data[3] & 1) != 0;
    const std::size_t typeLength = std::min<std::size_t>(data[4] % 40, size - 5);
    THttpReply reply;
    const std::string_view rest = input.substr(5 + typeLength);
    if (failed) {
        reply.Failure = std::string(rest);
        if (reply.Failure.empty()) {
            reply.Failure = "x";
        }
    } else {
        reply.Status = status;
        reply.ContentType = std::string(input.substr(5, typeLength));
        reply.Body = std::string(rest.substr(0, MaxReplyBody));
    }

    const TVerdict verdict = ClassifyReply(service, reply);
    const TVerdict again = ClassifyReply(service, reply);
    Require(verdict.Class == again.Class && verdict.Cause == again.Cause &&
                verdict.AtLeast == again.AtLeast,
            "the same answer means the same");
    Require(verdict.Cause.empty() == (verdict.Class == TReplyClass::Accepted),
            "a cause is told for all but a minute taken");
    Require(IsOneShortLine(verdict.Cause, MaxCauseLength), "a cause is one short printable line");
    Require(verdict.AtLeast.count() == 0 ||
                (service == TMapService::Radmon && verdict.Class == TReplyClass::Transient &&
                 verdict.AtLeast == RadmonTooSoonPause),
            "only radmon.org's too soon asks for a longer pause");
    if (failed || (status >= 300 && status < 400) || status >= 500 || status == 408 ||
        status == 429) {
        Require(verdict.Class == TReplyClass::Transient,
                "no answer, a redirection or the server's trouble is tried again");
    }
    if (verdict.Class == TReplyClass::Accepted) {
        Require(!failed && ((status >= 200 && status < 300) ||
                            (service == TMapService::Safecast && status == 422)),
                "only a success or a duplicate is taken");
    }
    if (service == TMapService::Safecast && !failed && status == 401) {
        Require(verdict.Class == TReplyClass::Permanent, "a key Safecast refuses stops");
    }

    const std::string secret(rest.substr(0, 8));
    const std::string line =
        MaskSecrets("Safecast: " + verdict.Cause + " " + std::string(rest), {secret, "k"});
    if (!secret.empty()) {
        Require(line.find(secret) == std::string::npos, "a password is never printed");
        Require(line.find(PercentEncode(secret)) == std::string::npos,
                "nor is it printed percent-encoded");
        Require(!line.empty() || secret.find('*') != std::string::npos,
                "only a password with stars in it can hide a whole line");
    }
    Require(line.find('k') == std::string::npos, "every secret is masked");

    const std::string url = PrintableUrl(rest);
    Require(url.find_first_of("?#") == std::string::npos, "a printed address has no query");
    const std::size_t scheme = url.find("://");
    const std::size_t host = scheme == std::string::npos ? 0 : scheme + 3;
    const std::string authority = url.substr(host, url.find('/', host) - host);
    Require(authority.find('@') == std::string::npos, "nor a user or password before its host");
    return 0;
}
