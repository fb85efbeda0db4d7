// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapsReply.h"

#include <algorithm>
#include <optional>
#include <string>

namespace ostrel {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// A network that stands between the computer and the service (a hotel's or
// a train's login page) answers every address with a page of its own: not
// the service's word, so nothing about the minute or the settings. Only the
// bytes tell: radmon.org and gmcmap.com send their plain words as text/html.
bool IsWebPage(std::string_view body) {
    body = Trimmed(body);
    return (!body.empty() && body.front() == '<') || ContainsNoCase(body, "<html") ||
           ContainsNoCase(body, "<body");
}

const char* const WebPageCause =
    ", a web page instead of the service's answer (a network's login page?)";

std::string StatusText(long status) {
    return "HTTP " + std::to_string(status);
}

TVerdict Taken() {
    return {TReplyClass::Accepted, "", std::chrono::seconds(0)};
}

TVerdict Transient(std::string cause) {
    return {TReplyClass::Transient, std::move(cause), std::chrono::seconds(0)};
}

TVerdict Permanent(std::string cause) {
    return {TReplyClass::Permanent, std::move(cause), std::chrono::seconds(0)};
}

std::string Quoted(std::string_view body) {
    return "\"" + Excerpt(body, 60) + "\"";
}

// What every service's answer shares: no answer, a redirection, the server's
// own trouble.
std::optional<TVerdict> ClassifyCommon(const THttpReply& reply) {
    if (!reply.Failure.empty()) {
        return Transient("no answer: " + Excerpt(reply.Failure, 100));
    }
    const long status = reply.Status;
    if (status >= 300 && status < 400) {
        return Transient(StatusText(status) +
                         ", sent elsewhere (a network's login page does that)");
    }
    if (status >= 500 || status == 408 || status == 429) {
        return Transient(StatusText(status) + ", the service's own trouble");
    }
    if (status < 200 || status > 599) {
        return Transient(StatusText(status) + " is no answer of the service");
    }
    return std::nullopt;
}

TVerdict ClassifyRadmon(const THttpReply& reply) {
    const std::string_view body = Trimmed(reply.Body);
    if (reply.Status != 200) {
        return Permanent(StatusText(reply.Status) + ", the address is not radmon.org's");
    }
    if (body == "OK") {
        return Taken();
    }
    if (ContainsNoCase(body, "too soon")) {
        return {TReplyClass::Transient, "the service says it is too soon", RadmonTooSoonPause};
    }
    if (IsWebPage(body)) {
        return Transient(StatusText(reply.Status) + WebPageCause);
    }
    if (body.empty()) {
        return Transient("an empty answer");
    }
    // Its answers to a wrong user name or password are plain words that
    // vary; anything else in plain text is one of them.
    return Permanent("the user or the password is not accepted: " + Quoted(body));
}

TVerdict ClassifyGmcmap(const THttpReply& reply) {
    const std::string_view body = Trimmed(reply.Body);
    if (reply.Status != 200) {
        return Permanent(StatusText(reply.Status) + ", the address is not gmcmap.com's");
    }
    if (ContainsNoCase(body, "OK.ERR0")) {
        return Taken();
    }
    // Before the error codes: a login page may hold any letters.
    if (IsWebPage(body)) {
        return Transient(StatusText(reply.Status) + WebPageCause);
    }
    struct TError {
        const char* Code;
        const char* Meaning;
    };
    static constexpr TError Errors[] = {
        {"ERR1", "the account ID is not known"},
        {"ERR2", "the Geiger counter ID is not known"},
        {"ERR4", "a value it cannot take"},
    };
    for (const TError& error : Errors) {
        if (ContainsNoCase(body, error.Code)) {
            return Permanent(std::string(error.Code) + ", " + error.Meaning);
        }
    }
    if (ContainsNoCase(body, "ERR")) {
        return Permanent("an error it names: " + Quoted(body));
    }
    return Transient(body.empty() ? "an empty answer"
                                  : "an answer it never gives: " + Quoted(body));
}

TVerdict ClassifySafecast(const THttpReply& reply) {
    const long status = reply.Status;
    // Its answers are JSON: a page is someone else's.
    if (status < 300 && (ContainsNoCase(reply.ContentType, "html") || IsWebPage(reply.Body))) {
        return Transient(StatusText(status) + WebPageCause);
    }
    if (status == 200 || status == 201) {
        return Taken();
    }
    if (status == 401) {
        return Permanent("HTTP 401, the API key is not accepted");
    }
    if (status == 422) {
        // A measurement it has already: the same minute got there before
        // (an answer lost on the way, a run that ended before it was noted).
        if (ContainsNoCase(reply.Body, "already been taken") ||
            ContainsNoCase(reply.Body, "duplicate")) {
            return Taken();
        }
        return Permanent("HTTP 422, the measurement is refused: " + Quoted(reply.Body));
    }
    if (status >= 200 && status < 300) {
        return Transient(StatusText(status) + " is no answer of the service");
    }
    return Permanent(StatusText(status) + ", the address or the key is not Safecast's");
}

// As the network's stations read it: 201 is taken (transmit_data_to_web in
// ecocurious2/MultiGeiger, multigeiger/transmission.cpp), and so is a plain
// 200.
TVerdict ClassifySensorCommunity(const THttpReply& reply) {
    const long status = reply.Status;
    if (status < 300 && (ContainsNoCase(reply.ContentType, "html") || IsWebPage(reply.Body))) {
        return Transient(StatusText(status) + WebPageCause);
    }
    if (status == 200 || status == 201) {
        return Taken();
    }
    if (status == 401 || status == 403) {
        return Permanent(StatusText(status) + ", the network knows no such sensor");
    }
    if (status == 400) {
        return Permanent("HTTP 400, the values are refused: " + Quoted(reply.Body));
    }
    if (status < 300) {
        return Transient(StatusText(status) + " is no answer of the service");
    }
    return Permanent(StatusText(status) + ", the address is not sensor.community's");
}

} // namespace

std::string Excerpt(std::string_view text, std::size_t limit) {
    text = Trimmed(text);
    text = Trimmed(text.substr(0, text.find_first_of("\r\n")));
    std::string excerpt;
    for (const char c : text) {
        if (excerpt.size() == limit) {
            excerpt.replace(limit - std::min<std::size_t>(limit, 3), 3, "...");
            break;
        }
        const auto byte = static_cast<unsigned char>(c);
        excerpt += byte >= 0x20 && byte < 0x7F ? c : '?';
    }
    return excerpt;
}

TVerdict ClassifyReply(TMapService service, const THttpReply& reply) {
    if (const std::optional<TVerdict> common = ClassifyCommon(reply)) {
        return *common;
    }
    switch (service) {
    case TMapService::Radmon:
        return ClassifyRadmon(reply);
    case TMapService::Gmcmap:
        return ClassifyGmcmap(reply);
    case TMapService::SensorCommunity:
        return ClassifySensorCommunity(reply);
    case TMapService::Safecast:
        break;
    }
    return ClassifySafecast(reply);
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [](char a, char b) { return Lower(a) == Lower(b); }) != text.end();
}

} // namespace ostrel
