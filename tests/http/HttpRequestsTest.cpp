// SPDX-License-Identifier: GPL-3.0-or-later
// What the HTTP output reads from its settings and from a request's text.

#include "http/HttpRequests.h"
#include "http/HttpSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ostrel {
namespace {

struct TLanguageCase {
    const char* Header;
    THttpLanguage Expected;
};

TEST(HttpRequests, ChoosesTheLanguageOfTheHigherWeight) {
    const auto en = THttpLanguage::English;
    const auto ja = THttpLanguage::Japanese;
    const TLanguageCase cases[] = {
        {"", en},
        {"en", en},
        {"en-US,en;q=0.9", en},
        {"ja,en-US;q=0.9,en;q=0.8", ja},
        {"de-DE,de;q=0.9,en;q=0.5", en},
        {"fr, de", en},
        {"en;q=0.5, ja;q=0.8", ja},
        {"ja;q=0.5, EN-gb;q=0.8", en},
        {"en;q=0, ja;q=0.1", ja},
        {"en;q=0.7, ja;q=0.7", en}, // equal weights: the first listed
        {"en;q=2, ja;q=0.1", ja},   // a weight beyond 1 is no weight
        {"en;q=abc, ja;q=0.1", ja},
        {"*, en;q=0.1", en},
        {" en ; q=1.000 ", en},
        {"english", en},
    };
    for (const TLanguageCase& c : cases) {
        EXPECT_EQ(PageLanguage(c.Header), c.Expected) << c.Header;
    }
}

struct TAuthCase {
    const char* Header;
    bool Expected;
};

TEST(HttpRequests, LetsInOnlyTheUserWithThePassword) {
    // "station:s3cret:x" and others in base64.
    const TAuthCase cases[] = {
        {"Basic c3RhdGlvbjpzM2NyZXQ6eA==", true},   // station:s3cret:x
        {"basic  c3RhdGlvbjpzM2NyZXQ6eA== ", true}, // scheme in any case, blanks
        {"Basic c3RhdGlvbjpzM2NyZXQ6", false},      // station:s3cret:
        {"Basic c3RhdGlvbjpzM2NyZXQ6eQ==", false},  // station:s3cret:y
        {"Basic U3RhdGlvbjpzM2NyZXQ6eA==", false},  // Station:s3cret:x
        {"Basic c3RhdGlvbg==", false},              // station, no colon
        {"Bearer c3RhdGlvbjpzM2NyZXQ6eA==", false},
        {"Basic c3RhdGlvbjpzM2NyZXQ6eA=", false}, // cut
        {"Basic c3Rh*GlvbjpzM2NyZXQ6eA==", false},
        {"Basic", false},
        {"", false},
    };
    for (const TAuthCase& c : cases) {
        EXPECT_EQ(Authorized(c.Header, "station", "s3cret:x"), c.Expected) << c.Header;
    }
}

struct TInstantCase {
    const char* Text;
    std::optional<std::int64_t> Expected;
};

TEST(HttpRequests, ReadsInstantsAsSecondsOrIso8601) {
    const TInstantCase cases[] = {
        {"1765292640", 1765292640},
        {"0", 0},
        {"2026-12-09T15:04:00Z", 1796828640},
        {"2026-12-09T15:04Z", 1796828640},
        {"2026-12-10T00:04:00+09:00", 1796828640},
        {"2026-12-09T10:04:00-05:00", 1796828640},
        {"2024-02-29T00:00:00Z", 1709164800},
        {"2023-02-29T00:00:00Z", std::nullopt},
        {"2026-12-09T24:00:00Z", std::nullopt},
        {"2026-12-09T15:04:00", std::nullopt},
        {"2026-12-09 15:04:00Z", std::nullopt},
        {"2026-13-09T15:04:00Z", std::nullopt},
        {"-5", std::nullopt},
        {"1234567890123", std::nullopt},
        {"", std::nullopt},
    };
    for (const TInstantCase& c : cases) {
        EXPECT_EQ(ParseInstant(c.Text), c.Expected) << c.Text;
    }
    EXPECT_EQ(IsoUtc(1796828640), "2026-12-09T15:04:00Z");
    EXPECT_EQ(IsoUtc(-60), "1969-12-31T23:59:00Z");
}

struct TQueryCase {
    TMinutesQueryText Text;
    std::int64_t From, To;
    std::size_t Limit;
    bool Csv;
    const char* Error;
};

TEST(HttpRequests, ReadsTheMinutesQuery) {
    const std::int64_t now = 1796828640;
    const TQueryCase cases[] = {
        {{}, now - 86400, now, 1440, false, ""},
        {{"100", "200", "10", "csv"}, 100, 200, 10, true, ""},
        {{std::nullopt, "2026-12-09T15:04:00Z", std::nullopt, "json"},
         now - 86400,
         now,
         1440,
         false,
         ""},
        {{"x", {}, {}, {}}, 0, 0, 0, false, "from: not an instant"},
        {{{}, "x", {}, {}}, 0, 0, 0, false, "to: not an instant"},
        {{{}, {}, "10080", {}}, now - 86400, now, 10080, false, ""},
        {{{}, {}, "0", {}}, 0, 0, 0, false, "limit: a number from 1 to 10080"},
        {{{}, {}, "10081", {}}, 0, 0, 0, false, "limit: a number from 1 to 10080"},
        {{{}, {}, "5x", {}}, 0, 0, 0, false, "limit: a number from 1 to 10080"},
        {{{}, {}, {}, "xml"}, 0, 0, 0, false, "format: json or csv"},
    };
    for (const TQueryCase& c : cases) {
        const TMinutesQueryResult read = ReadMinutesQuery(c.Text, now);
        EXPECT_EQ(read.Error, c.Error);
        if (*c.Error != '\0') {
            EXPECT_FALSE(read.Query);
            continue;
        }
        ASSERT_TRUE(read.Query);
        EXPECT_EQ(read.Query->From, c.From);
        EXPECT_EQ(read.Query->To, c.To);
        EXPECT_EQ(read.Query->Limit, c.Limit);
        EXPECT_EQ(read.Query->Csv, c.Csv);
    }
}

struct TListenCase {
    const char* Text;
    const char* Host; // nullptr: not usable
    std::uint16_t Port;
    bool Loopback;
};

TEST(HttpSettings, ReadsListenAddresses) {
    const TListenCase cases[] = {
        {"127.0.0.1:8080", "127.0.0.1", 8080, true},
        {"0.0.0.0:9100", "0.0.0.0", 9100, false},
        {"[::]:8080", "::", 8080, false},
        {"[::1]:80", "::1", 80, true},
        {"localhost:65535", "localhost", 65535, true},
        {"192.168.1.5:8080", "192.168.1.5", 8080, false},
        {"::1:8080", nullptr, 0, false},
        {"[127.0.0.1]:8080", nullptr, 0, false},
        {"127.0.0.1", nullptr, 0, false},
        {"127.0.0.1:0", nullptr, 0, false},
        {"127.0.0.1:65536", nullptr, 0, false},
        {":8080", nullptr, 0, false},
        {"host name:8080", nullptr, 0, false},
        {"[]:8080", nullptr, 0, false},
    };
    for (const TListenCase& c : cases) {
        const auto address = ParseListenAddress(c.Text);
        ASSERT_EQ(address.has_value(), c.Host != nullptr) << c.Text;
        if (address) {
            EXPECT_EQ(address->Host, c.Host);
            EXPECT_EQ(address->Port, c.Port);
            EXPECT_EQ(IsLoopback(address->Host), c.Loopback) << c.Text;
        }
    }
}

struct TSectionCase {
    const char* File;
    bool On;
    const char* Host;
    std::uint16_t Port;
    const char* User;
    const char* Diagnostics;
};

TEST(HttpSettings, IsOnWithItsSectionOnly) {
    const TSectionCase cases[] = {
        {"[Graph]\nuSv=0.00158\n", false, "", 0, "", ""},
        {"[HTTP]\n", true, "127.0.0.1", 8080, "", ""},
        {"[http]\nListen=[::]:9000\nUser=me\nPassword=pw\n", true, "::", 9000, "me", ""},
        {"[HTTP]\nListen=everywhere\n", true, "127.0.0.1", 8080, "",
         "ostrel: [HTTP] Listen=everywhere is not usable; 127.0.0.1:8080 is used instead\n"},
    };
    const std::filesystem::path file =
        std::filesystem::path(::testing::TempDir()) / "ostrel-http-settings.ini";
    for (const TSectionCase& c : cases) {
        std::ofstream(file) << c.File;
        std::ostringstream diagnostics;
        const auto settings = ReadHttpSettings(TSettingsSection(file, "HTTP"), diagnostics);
        EXPECT_EQ(diagnostics.str(), c.Diagnostics);
        ASSERT_EQ(settings.has_value(), c.On) << c.File;
        if (settings) {
            EXPECT_EQ(settings->Listen.Host, c.Host);
            EXPECT_EQ(settings->Listen.Port, c.Port);
            EXPECT_EQ(settings->User, c.User);
        }
    }
}

} // namespace
} // namespace ostrel
