// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Places.h"

#include <QTemporaryDir>
#include <QtGlobal>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

struct TPlacesCase {
    const char* Name;
    TSettingsChoice Choice;
    const char* Station;  // [Station] Name= in the chosen file; "": none
    const char* Settings; // the settings file under the temporary folder
    const char* State;    // the state folder under it
    const char* StationName;
    const char* Device;
    const char* Model;
};

class PlacesTest : public ::testing::TestWithParam<TPlacesCase> {
protected:
    QTemporaryDir Dir;
    fs::path Folder = Dir.path().toStdString();
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((Folder / "config").string()));
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString((Folder / "state").string()));
    }
    void TearDown() override {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_STATE_HOME");
    }
};

TEST_P(PlacesTest, AProfileOrASettingsFileHasFoldersOfItsOwn) {
    const TPlacesCase& c = GetParam();
    TSettingsChoice choice = c.Choice;
    if (choice.Config) {
        choice.Config = (Folder / *choice.Config).string();
    }
    fs::create_directories(Folder / "bin");
    const fs::path settings = Folder / c.Settings;
    fs::create_directories(settings.parent_path());
    if (*c.Station != '\0') {
        std::ofstream(settings) << "[Station]\r\nName=" << c.Station << "\r\n";
    }
    std::ostringstream said;
    const TPlaces places =
        DefaultPlaces(Folder / "bin" / "ostrel", std::string(c.Device), said, choice);
    EXPECT_EQ(places.SettingsPath, settings);
    const std::string state = places.StateFolder.lexically_relative(Folder).generic_string();
    EXPECT_TRUE(state.starts_with(c.State)) << state;
    EXPECT_EQ(places.Instance,
              choice.Profile || choice.Config ? places.StateFolder.filename().string() : "");
    EXPECT_EQ(places.StationName, c.StationName);
    EXPECT_EQ(places.CounterModel, c.Model);
    EXPECT_EQ(said.str(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlacesTest,
    ::testing::Values(
        // name, choice, [Station] Name=, settings, state, station, --device, model
        TPlacesCase{
            "NoChoice", {}, "", "bin/ostrel.ini", "state/ostrel", "", "sim", "simulated counter"},
        TPlacesCase{"Profile",
                    {{}, "attic"},
                    "",
                    "config/ostrel/attic.ini",
                    "state/ostrel/profiles/attic",
                    "attic",
                    "gmc",
                    "gmc"},
        TPlacesCase{"NamedProfile",
                    {{}, "attic"},
                    "Roof",
                    "config/ostrel/attic.ini",
                    "state/ostrel/profiles/attic",
                    "Roof",
                    "radpro",
                    "radpro"},
        TPlacesCase{"Config",
                    {"a/home.ini", {}},
                    "",
                    "a/home.ini",
                    "state/ostrel/configs/home-",
                    "",
                    "/opt/libOther.so",
                    ""}),
    [](const auto& info) { return std::string(info.param.Name); });

// Two settings files of one name in two folders keep two journals.
TEST(ConfigStateTest, TheFoldersOfTwoFilesOfOneNameDiffer) {
    const fs::path a = ConfigStateSubfolder("/a/home.ini");
    EXPECT_EQ(a.generic_string().size(), std::string("configs/home-12345678").size());
    EXPECT_NE(a, ConfigStateSubfolder("/b/home.ini"));
    EXPECT_EQ(a, ConfigStateSubfolder("/a/home.ini"));
}

} // namespace
} // namespace ostrel
