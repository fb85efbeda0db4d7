// SPDX-License-Identifier: GPL-3.0-or-later
// What the InfluxDB output makes of minutes before the network: the lines
// of a request, a thousand at most, the oldest first, and what an answer
// leaves waiting.

#include "influx/InfluxOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {
namespace {

TMapsMinute Minute(std::int64_t utc, std::int32_t count, std::uint32_t deviceId = 0) {
    return {EncodeDate(2026, 12, 9), count, std::nullopt, utc, 0, {}, deviceId};
}

std::string Lines(const std::optional<TMapsRequest>& request) {
    return request ? request->Body : "none";
}

TEST(InfluxOutputTest, MinutesGoOldestFirstAThousandToARequestUntilAccepted) {
    TInfluxSettings settings;
    settings.Database = "ostrel";
    TInfluxService service(settings, {"", "roof"}, {});
    EXPECT_EQ(Lines(service.Next({})), "none");

    // Without a family, the counter is named by its device id; a minute
    // without an instant (the hour skipped in spring) is left out.
    TMapsMinute spring = Minute(0, 9);
    spring.Start = EncodeDate(2027, 3, 28) + EncodeTime(2, 30, 0, 0);
    spring.Utc.reset();
    EXPECT_EQ(service.Take({Minute(60, 5, 1330861388), spring, Minute(120, 6)}),
              std::vector<std::string>{
                  "the minute of 2027-03-28 02:30 has no time in UTC here; it is not sent"});
    const std::string two = "ostrel,counter=1330861388,station=roof cpm=5i 60\n"
                            "ostrel,station=roof cpm=6i 120\n";
    EXPECT_EQ(Lines(service.Next({})), two);
    EXPECT_EQ(service.Answered(TReplyClass::Transient), std::vector<std::string>{});
    EXPECT_EQ(service.Waiting(), 2U);
    EXPECT_EQ(Lines(service.Next({})), two);
    service.Answered(TReplyClass::Accepted);
    EXPECT_EQ(service.Waiting(), 0U);

    std::vector<TMapsMinute> many;
    for (std::int64_t k = 1; k <= 1001; ++k) {
        many.push_back(Minute(60 * k, 1));
    }
    service.Take(many);
    const std::string first = Lines(service.Next({}));
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 1000);
    EXPECT_TRUE(first.ends_with(" 60000\n")) << first.substr(first.size() - 40);
    service.Answered(TReplyClass::Accepted);
    EXPECT_EQ(Lines(service.Next({})), "ostrel,station=roof cpm=1i 60060\n");
    EXPECT_EQ(service.WhenStopped(), "nothing more goes to InfluxDB in this run");
}

} // namespace
} // namespace ostrel
