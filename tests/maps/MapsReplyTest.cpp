// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapsReply.h"

#include <gtest/gtest.h>

#include <string>

using namespace ostrel;

namespace {

constexpr auto Radmon = TMapService::Radmon;
constexpr auto Gmcmap = TMapService::Gmcmap;
constexpr auto Safecast = TMapService::Safecast;
constexpr auto Accepted = TReplyClass::Accepted;
constexpr auto Transient = TReplyClass::Transient;
constexpr auto Permanent = TReplyClass::Permanent;

struct TReplyCase {
    TMapService Service;
    THttpReply Reply;
    TReplyClass Class;
    const char* Cause;
    int AtLeast = 0;
};

constexpr const char* Php = "text/html; charset=UTF-8";
constexpr const char* Json = "application/json; charset=utf-8";
constexpr const char* Portal = "<!DOCTYPE html>\n<html><head><title>Hotel Wi-Fi</title></head>"
                               "<body>Please log in. OK ERR1</body></html>";
constexpr const char* WebPage =
    ", a web page instead of the service's answer (a network's login page?)";

THttpReply Answer(long status, const char* type, const char* body) {
    return {"", status, type, body};
}

THttpReply NoAnswer(const char* failure) {
    return {failure, 0, "", ""};
}

} // namespace

TEST(MapsReplyTest, EachServiceAnswerIsTakenRetriedOrFinal) {
    const TReplyCase cases[] = {
        {Radmon, Answer(200, Php, "OK"), Accepted, ""},
        {Radmon, Answer(200, Php, " OK\r\n"), Accepted, ""},
        {Radmon, Answer(200, Php, "Too soon"), Transient, "the service says it is too soon", 30},
        {Radmon, Answer(200, Php, "Incorrect login."), Permanent,
         "the user or the password is not accepted: \"Incorrect login.\""},
        {Radmon, Answer(200, Php, "OK then"), Permanent,
         "the user or the password is not accepted: \"OK then\""},
        {Radmon, Answer(200, Php, ""), Transient, "an empty answer"},
        {Radmon, Answer(200, "text/html", Portal), Transient, "HTTP 200"},
        {Radmon, Answer(302, "text/html", ""), Transient,
         "HTTP 302, sent elsewhere (a network's login page does that)"},
        {Radmon, Answer(503, "text/html", "busy"), Transient,
         "HTTP 503, the service's own trouble"},
        {Radmon, Answer(429, "text/html", ""), Transient, "HTTP 429, the service's own trouble"},
        {Radmon, Answer(404, "text/html", "<html>"), Permanent,
         "HTTP 404, the address is not radmon.org's"},
        {Radmon, Answer(101, "", ""), Transient, "HTTP 101 is no answer of the service"},
        {Radmon, NoAnswer("Failed to connect to 127.0.0.1 port 9: Connection refused"), Transient,
         "no answer: Failed to connect to 127.0.0.1 port 9: Connection refused"},
        {Radmon, NoAnswer("Operation timed out after 500 milliseconds with 0 bytes received"),
         Transient, "no answer: Operation timed out after 500 milliseconds with 0 bytes received"},
        {Gmcmap, Answer(200, Php, "OK.ERR0"), Accepted, ""},
        {Gmcmap, Answer(200, Php, "ERR1"), Permanent, "ERR1, the account ID is not known"},
        {Gmcmap, Answer(200, Php, "ERR2"), Permanent, "ERR2, the Geiger counter ID is not known"},
        {Gmcmap, Answer(200, Php, "ERR4"), Permanent, "ERR4, a value it cannot take"},
        {Gmcmap, Answer(200, Php, "ERR7"), Permanent, "an error it names: \"ERR7\""},
        {Gmcmap, Answer(200, Php, "Hello"), Transient, "an answer it never gives: \"Hello\""},
        {Gmcmap, Answer(200, Php, "\n"), Transient, "an empty answer"},
        {Gmcmap, Answer(200, "text/html", Portal), Transient, "HTTP 200"},
        {Gmcmap, Answer(500, Php, ""), Transient, "HTTP 500, the service's own trouble"},
        {Gmcmap, Answer(403, Php, ""), Permanent, "HTTP 403, the address is not gmcmap.com's"},
        {Safecast, Answer(201, Json, R"({"id":1})"), Accepted, ""},
        {Safecast, Answer(200, Json, R"({"id":1})"), Accepted, ""},
        {Safecast, Answer(422, Json, R"({"md5sum":["has already been taken"]})"), Accepted, ""},
        {Safecast, Answer(422, Json, R"({"value":["can't be blank"]})"), Permanent,
         "HTTP 422, the measurement is refused: \"{\"value\":[\"can't be blank\"]}\""},
        {Safecast, Answer(401, Json, R"({"error":"sign in"})"), Permanent,
         "HTTP 401, the API key is not accepted"},
        {Safecast, Answer(404, Json, ""), Permanent,
         "HTTP 404, the address or the key is not Safecast's"},
        {Safecast, Answer(200, "text/html", "Welcome"), Transient, "HTTP 200"},
        {Safecast, Answer(201, "", Portal), Transient, "HTTP 201"},
        {Safecast, Answer(204, Json, ""), Transient, "HTTP 204 is no answer of the service"},
        {Safecast, Answer(502, "text/html", Portal), Transient,
         "HTTP 502, the service's own trouble"},
        {Safecast, Answer(408, Json, ""), Transient, "HTTP 408, the service's own trouble"},
        {Safecast, NoAnswer("SSL certificate problem: self-signed certificate"), Transient,
         "no answer: SSL certificate problem: self-signed certificate"},
    };
    for (const TReplyCase& c : cases) {
        const TVerdict verdict = ClassifyReply(c.Service, c.Reply);
        const std::string expected =
            std::string(c.Cause) == "HTTP 200" || std::string(c.Cause) == "HTTP 201"
                ? c.Cause + std::string(WebPage)
                : c.Cause;
        EXPECT_EQ(verdict.Class, c.Class) << c.Reply.Status << " " << c.Reply.Body;
        EXPECT_EQ(verdict.Cause, expected) << c.Reply.Status << " " << c.Reply.Body;
        EXPECT_EQ(verdict.AtLeast.count(), c.AtLeast) << c.Reply.Body;
    }
}

TEST(MapsReplyTest, AnExcerptIsOneShortPrintableLine) {
    const struct {
        const char* Text;
        std::size_t Limit;
        const char* Expected;
    } cases[] = {
        {"  Incorrect login.  ", 60, "Incorrect login."},
        {"\r\n first\r\nsecond", 60, "first"},
        {"tab\there\x7f\x01", 60, "tab?here??"},
        {"caf\xc3\xa9", 60, "caf??"},
        {"0123456789abc", 10, "0123456..."},
        {"0123456789", 10, "0123456789"},
        {"", 10, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Excerpt(c.Text, c.Limit), c.Expected) << c.Text;
    }
}
