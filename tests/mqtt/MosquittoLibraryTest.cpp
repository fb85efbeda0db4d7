// SPDX-License-Identifier: GPL-3.0-or-later
// libmosquitto as MQTT publishing loads it: what a library that cannot
// serve says (the reason of the one outage line).

#include "mqtt/MosquittoLibrary.h"

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

class MosquittoLibraryTest : public ::testing::TestWithParam<TLoadCase> {};

TEST_P(MosquittoLibraryTest, LoadsOrSaysWhyNot) {
    const TMosquittoLibrary mosquitto = TMosquittoLibrary::Load(GetParam().Names);
    EXPECT_EQ(mosquitto.Failure(), GetParam().Failure);
    EXPECT_EQ(mosquitto.Functions() != nullptr, std::string(GetParam().Failure).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MosquittoLibraryTest,
    ::testing::Values(
        TLoadCase{"Missing",
                  {Absent},
                  "cannot load libostrel-absent.so.1: cannot open shared object file: No such "
                  "file or directory"},
        TLoadCase{
            "NoMosquitto", {"libc.so.6"}, "cannot load libc.so.6: it has no mosquitto_lib_init"},
        TLoadCase{"TheNextName", {Absent, "libmosquitto.so.1"}, ""},
        TLoadCase{"Debian", MosquittoLibraryNames(), ""}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace ostrel
