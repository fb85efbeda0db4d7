// SPDX-License-Identifier: GPL-3.0-or-later
// libcurl as the maps load it: what a library that cannot serve says, and
// the request that fails with those words rather than going anywhere.

#include "maps/CurlLibrary.h"
#include "maps/MapsHttp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

constexpr const char* Absent = "libostrel-absent.so.1";

struct TLoadCase {
    const char* Name;
    std::vector<std::string> Names;
    const char* Failure; // "" when it loads
};

class CurlLibraryTest : public ::testing::TestWithParam<TLoadCase> {};

TEST_P(CurlLibraryTest, LoadsOrSaysWhyNot) {
    const TCurlLibrary curl = TCurlLibrary::Load(GetParam().Names);
    EXPECT_EQ(curl.Failure(), GetParam().Failure);
    EXPECT_EQ(curl.Functions() != nullptr, std::string(GetParam().Failure).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CurlLibraryTest,
    ::testing::Values(
        TLoadCase{"Missing",
                  {Absent},
                  "cannot load libostrel-absent.so.1: cannot open shared object file: No such "
                  "file or directory"},
        TLoadCase{"NoCurl", {"libc.so.6"}, "cannot load libc.so.6: it has no curl_global_init"},
        TLoadCase{"TheNextName", {Absent, "libcurl.so.4"}, ""},
        TLoadCase{"Debian", CurlLibraryNames(), ""}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CurlLibraryTest, AClientWithoutTheLibraryFailsEveryRequestWithItsReason) {
    const TCurlLibrary missing = TCurlLibrary::Load({Absent});
    THttpClient client(missing);
    EXPECT_FALSE(client.Usable());
    client.Wake();
    const THttpReply reply =
        client.Perform({"http://127.0.0.1:9/radmon.php", ""}, {}, [] { return true; });
    EXPECT_EQ(reply.Failure, missing.Failure());
    EXPECT_EQ(ClassifyReply(TMapService::Radmon, reply).Cause,
              "no answer: cannot load libostrel-absent.so.1: cannot open shared object file: No "
              "such file or directory");
}

} // namespace
} // namespace ostrel
