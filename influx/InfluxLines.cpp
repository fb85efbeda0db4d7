// SPDX-License-Identifier: GPL-3.0-or-later
#include "influx/InfluxLines.h"

#include "platform/TextServices.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ostrel {

namespace {

bool IsDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string Base64(std::string_view bytes) {
    static constexpr char Alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t k = 0; k < bytes.size(); k += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - k);
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 3; ++j) {
            group = group << 8 | (j < n ? static_cast<unsigned char>(bytes[k + j]) : 0U);
        }
        for (std::size_t j = 0; j < 4; ++j) {
            text += j <= n ? Alphabet[group >> (18 - 6 * j) & 0x3F] : '=';
        }
    }
    return text;
}

std::string BasicCredentials(const TInfluxSettings& settings) {
    return Base64(settings.User + ":" + settings.Password);
}

std::string Quoted(std::string_view body) {
    return "\"" + Excerpt(body, 100) + "\"";
}

// A hotel's or a train's network answers with a page of its own.
bool IsWebPage(const THttpReply& reply) {
    const std::string_view body = reply.Body;
    const std::size_t first = body.find_first_not_of(" \t\r\n");
    return ContainsNoCase(reply.ContentType, "html") ||
           (first != std::string_view::npos && body[first] == '<');
}

TVerdict Verdict(TReplyClass kind, std::string cause) {
    return {kind, std::move(cause), std::chrono::seconds(0)};
}

} // namespace

std::string EscapeTag(std::string_view value) {
    std::string text;
    for (const char c : value) {
        if (c == ',' || c == '=' || c == ' ') {
            text += '\\';
            text += c;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            text += "\\ ";
        } else {
            text += c == '\\' ? '/' : c;
        }
    }
    return text;
}

std::string InfluxLine(const TInfluxTags& tags, std::int64_t utcSeconds, std::int32_t count,
                       std::optional<double> doseRate) {
    std::string line(InfluxMeasurement);
    // In the order of their keys, as the server sorts them.
    for (const auto& [key, value] :
         {std::pair{"counter", &tags.Counter}, {"station", &tags.Station}}) {
        if (!value->empty()) {
            line += std::string(",") + key + "=" + EscapeTag(*value);
        }
    }
    line += " cpm=" + FormatInt(count) + "i";
    if (doseRate && std::isfinite(*doseRate)) {
        line += ",usvh=" + NumberText(*doseRate);
    }
    return line + " " + std::to_string(utcSeconds);
}

bool IsInfluxLine(std::string_view text) {
    const std::size_t space = text.rfind(' ');
    const std::size_t name = InfluxMeasurement.size();
    return text.starts_with(InfluxMeasurement) && text.size() > name &&
           (text[name] == ',' || text[name] == ' ') &&
           text.find(" cpm=") != std::string_view::npos && space != std::string_view::npos &&
           space + 1 + 12 >= text.size() && IsDigits(text.substr(space + 1)) &&
           std::none_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string InfluxLineStart(std::string_view line) {
    const std::string_view seconds = line.substr(line.rfind(' ') + 1);
    if (IsDigits(seconds) && seconds.size() <= 12) {
        if (const auto text = UtcText(std::stoll(std::string(seconds)))) {
            return *text;
        }
    }
    return std::string(seconds);
}

TMapsRequest InfluxWriteRequest(const TInfluxSettings& settings, std::string lines) {
    TMapsRequest request{"", std::move(lines), {"Content-Type: text/plain; charset=utf-8"}};
    if (settings.Api == TInfluxApi::V1) {
        request.Url = settings.Url + InfluxV1WritePath + "?db=" + PercentEncode(settings.Database) +
                      "&precision=s";
        if (!settings.User.empty()) {
            request.Headers.push_back("Authorization: Basic " + BasicCredentials(settings));
        }
        return request;
    }
    request.Url = settings.Url + InfluxV2WritePath + "?org=" + PercentEncode(settings.Org) +
                  "&bucket=" + PercentEncode(settings.Bucket) + "&precision=s";
    if (!settings.Token.empty()) {
        request.Headers.push_back("Authorization: Token " + settings.Token);
    }
    return request;
}

std::vector<std::string> InfluxSecrets(const TInfluxSettings& settings) {
    std::vector<std::string> secrets{settings.Password, settings.Token};
    if (!settings.Password.empty()) {
        secrets.push_back(BasicCredentials(settings));
    }
    return secrets;
}

TVerdict ClassifyInfluxReply(TInfluxApi api, const THttpReply& reply) {
    const long status = reply.Status;
    const std::string code = "HTTP " + std::to_string(status);
    if (!reply.Failure.empty()) {
        return Verdict(TReplyClass::Transient, "no answer: " + Excerpt(reply.Failure, 100));
    }
    if (status >= 300 && status < 400) {
        return Verdict(TReplyClass::Transient,
                       code + ", sent elsewhere (a network's login page does that)");
    }
    if (status >= 200 && status < 300) {
        if (IsWebPage(reply)) {
            return Verdict(TReplyClass::Transient,
                           code + ", a web page instead of the server's answer (a network's "
                                  "login page?)");
        }
        return Verdict(TReplyClass::Accepted, "");
    }
    if (status == 429 || (status >= 500 && status <= 599)) {
        return Verdict(TReplyClass::Transient, code + ", the server's own trouble");
    }
    if (status < 200 || status > 599) {
        return Verdict(TReplyClass::Transient, code + " is no answer of the server");
    }
    const bool v1 = api == TInfluxApi::V1;
    std::string cause;
    // 1.x says 400, 2.x 422.
    if ((status == 400 || status == 422) &&
        (ContainsNoCase(reply.Body, "conflict") || ContainsNoCase(reply.Body, "partial write"))) {
        cause = ", a field is stored with another type: ";
    } else if (status == 400) {
        cause = ", the lines are refused: ";
    } else if (status == 401 || status == 403) {
        cause =
            v1 ? ", the user or the password is not accepted: " : ", the token is not accepted: ";
    } else if (status == 404) {
        cause = v1 ? ", no such database: " : ", no such organization or bucket: ";
    } else {
        cause = ", refused: ";
    }
    return Verdict(TReplyClass::Permanent, code + cause + Quoted(reply.Body));
}

} // namespace ostrel
