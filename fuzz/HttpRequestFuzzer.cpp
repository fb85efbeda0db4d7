// SPDX-License-Identifier: GPL-3.0-or-later
// What the HTTP output reads from a request and from its Listen setting, on
// any text. The input is up to four fields separated by NUL, each read as
// every kind of value: a language header, an Authorization header, an
// instant, a query value, a listen address.

#include "FuzzSupport.h"

#include "http/HttpRequests.h"
#include "http/HttpSettings.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace ostrel;
using fuzz::Require;

std::vector<std::string> Fields(std::string_view input) {
    std::vector<std::string> fields;
    while (!input.empty() && fields.size() < 4) {
        const std::size_t nul = input.find('\0');
        fields.emplace_back(input.substr(0, nul));
        input = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    }
    fields.resize(4);
    return fields;
}

std::string Base64(std::string_view text) {
    static constexpr char Digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t k = 0; k < text.size(); k += 3) {
        unsigned bits = static_cast<unsigned char>(text[k]) << 16;
        bits |= k + 1 < text.size() ? static_cast<unsigned char>(text[k + 1]) << 8 : 0;
        bits |= k + 2 < text.size() ? static_cast<unsigned char>(text[k + 2]) : 0;
        out += Digits[(bits >> 18) & 63];
        out += Digits[(bits >> 12) & 63];
        out += k + 1 < text.size() ? Digits[(bits >> 6) & 63] : '=';
        out += k + 2 < text.size() ? Digits[bits & 63] : '=';
    }
    return out;
}

void CheckInstant(const std::string& text) {
    const auto instant = ParseInstant(text);
    if (instant && *instant >= 0 && *instant < 253402300800) { // before the year 10000
        Require(ParseInstant(IsoUtc(*instant)) == instant, "an instant reads back from its text");
    }
}

void CheckListen(const std::string& text) {
    const auto address = ParseListenAddress(text);
    if (!address) {
        return;
    }
    Require(address->Port != 0 && !address->Host.empty(), "an address has a host and a port");
    const bool v6 = address->Host.find(':') != std::string::npos;
    const std::string again =
        (v6 ? "[" + address->Host + "]" : address->Host) + ":" + std::to_string(address->Port);
    const auto reread = ParseListenAddress(again);
    Require(reread && reread->Host == address->Host && reread->Port == address->Port,
            "an address reads back from its text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> fields = Fields({reinterpret_cast<const char*>(data), size});
    for (const std::string& field : fields) {
        PageLanguage(field);
        Authorized(field, fields[1], fields[2]);
        CheckInstant(field);
        CheckListen(field);
    }
    if (fields[1].find(':') == std::string::npos) {
        Require(Authorized("Basic " + Base64(fields[1] + ":" + fields[2]), fields[1], fields[2]),
                "the user's own header lets the user in");
    }
    const TMinutesQueryResult query =
        ReadMinutesQuery({fields[0], fields[1], fields[2], fields[3]}, 1796828640);
    Require(query.Query.has_value() == query.Error.empty(), "a query is read or has an error");
    if (query.Query) {
        Require(query.Query->Limit >= 1 && query.Query->Limit <= MaxMinutesPerAnswer,
                "the limit is within range");
    }
    return 0;
}
