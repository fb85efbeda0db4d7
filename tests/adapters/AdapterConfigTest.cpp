// SPDX-License-Identifier: GPL-3.0-or-later
// An adapter's configuration: its file, its environment, the defaults, and
// the texts that say what is wrong.

#include "adapters/AdapterConfig.h"
#include "adapters/GmcProtocol.h"
#include "adapters/LineProtocol.h"
#include "adapters/RadProProtocol.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::adapters {
namespace {

TEnvironment EnvironmentOf(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> std::optional<std::string> {
        const auto found = values.find(name);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    };
}

TEST(AdapterConfigTest, ConfigurationTextSetsPortsBaudAndExtraKeys) {
    struct TCase {
        std::string Text;
        std::vector<std::string> Ports;
        std::vector<int> Bauds;
        std::map<std::string, std::string> Extra;
    };
    const std::vector<TCase> cases = {
        {"", {"/dev/ttyUSB0"}, {115200, 57600}, {}},
        {"# only a comment\n\n", {"/dev/ttyUSB0"}, {115200, 57600}, {}},
        {"port = /dev/ttyACM0\n", {"/dev/ttyACM0"}, {115200, 57600}, {}},
        {"port=/dev/ttyUSB1, /dev/ttyUSB2 /dev/gqgmc\r\n",
         {"/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/gqgmc"},
         {115200, 57600},
         {}},
        {"Baud = 57600 # old GMC-300 firmware\n", {"/dev/ttyUSB0"}, {57600}, {}},
        // CRs and other control characters separate ports like blanks.
        {"port = /dev/ttyUSB1\r, /dev/ttyUSB2\r\r\n",
         {"/dev/ttyUSB1", "/dev/ttyUSB2"},
         {115200, 57600},
         {}},
        {"port =\v/dev/ttyUSB1\r/dev/ttyUSB2\x01\f\n",
         {"/dev/ttyUSB1", "/dev/ttyUSB2"},
         {115200, 57600},
         {}},
        {"PROTOCOL = RFC1801\nport = /dev/a\nport = /dev/b\n",
         {"/dev/b"},
         {115200, 57600},
         {{"protocol", "RFC1801"}}},
    };
    for (const TCase& c : cases) {
        TAdapterConfig config;
        config.Ports = {"/dev/ttyUSB0"};
        config.Bauds = {115200, 57600};
        ApplyConfigText(c.Text, "gmc.conf", GmcAdapterSetup(), config);
        EXPECT_EQ(config.Ports, c.Ports) << c.Text;
        EXPECT_EQ(config.Bauds, c.Bauds) << c.Text;
        EXPECT_EQ(config.Extra, c.Extra) << c.Text;
    }
}

TEST(AdapterConfigTest, UnusableLinesAreNamedWithTheirNumber) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"baud = 14401\n",
         "gmc.conf line 1: baud must be one of 1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400, "
         "57600, 115200, 230400, 460800, not \"14401\""},
        {"\nbaud = fast\n", "gmc.conf line 2: baud must be one of 1200, 2400, 4800, 9600, 14400, "
                            "19200, 28800, 38400, 57600, 115200, 230400, 460800, not \"fast\""},
        {"port = , ,\n", "gmc.conf line 1: port names no serial port"},
        {"# ports\nports = /dev/ttyUSB0\n",
         "gmc.conf line 2: \"ports\" is not a setting of this adapter (port, baud, protocol)"},
        {"/dev/ttyUSB0\n", "gmc.conf line 1: \"/dev/ttyUSB0\" is not \"key = value\""},
    };
    for (const auto& [text, message] : cases) {
        TAdapterConfig config;
        try {
            ApplyConfigText(text, "gmc.conf", GmcAdapterSetup(), config);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const TAdapterConfigError& error) {
            EXPECT_EQ(std::string(error.what()), message);
        }
    }
    TAdapterConfig config;
    try {
        ApplyConfigText("protocol = RFC1201\n", "serial-line.conf", SerialLineAdapterSetup(),
                        config);
        ADD_FAILURE() << "the line adapter took a protocol";
    } catch (const TAdapterConfigError& error) {
        EXPECT_STREQ(error.what(), "serial-line.conf line 1: \"protocol\" is not a setting of this "
                                   "adapter (port, baud)");
    }
}

TEST(AdapterConfigTest, FilesLiveInTheUsersFoldersUnlessTheEnvironmentSaysOtherwise) {
    struct TCase {
        std::map<std::string, std::string> Environment;
        std::string Config;
        std::string State;
    };
    const std::vector<TCase> cases = {
        {{{"HOME", "/home/ann"}},
         "/home/ann/.config/ostrel/gmc.conf",
         "/home/ann/.local/state/ostrel/gmc.state"},
        {{{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}, {"XDG_STATE_HOME", "/st"}},
         "/cfg/ostrel/gmc.conf",
         "/st/ostrel/gmc.state"},
        {{{"HOME", "/home/ann"},
          {"OSTREL_GMC_CONFIG", "/etc/gmc.conf"},
          {"OSTREL_GMC_STATE", "/var/gmc"}},
         "/etc/gmc.conf",
         "/var/gmc"},
        {{{"HOME", "/home/ann"}, {"OSTREL_GMC_CONFIG", ""}, {"OSTREL_GMC_STATE", ""}}, "", ""},
        {{}, "", ""},
    };
    for (const TCase& c : cases) {
        const TEnvironment environment = EnvironmentOf(c.Environment);
        EXPECT_EQ(ConfigFilePath(GmcAdapterSetup(), environment).string(), c.Config);
        EXPECT_EQ(StateFilePath(GmcAdapterSetup(), environment).string(), c.State);
    }
    EXPECT_EQ(ConfigFilePath(SerialLineAdapterSetup(), EnvironmentOf({{"HOME", "/h"}})).string(),
              "/h/.config/ostrel/serial-line.conf");
}

TEST(AdapterConfigTest, TheEnvironmentOverridesTheFileWhichOverridesTheDefaults) {
    QTemporaryDir folder;
    const std::string file = folder.filePath("gmc.conf").toStdString();
    std::ofstream(file) << "port = /dev/ttyS0 /dev/ttyS1\nbaud = 57600\nprotocol = RFC1201\n";

    const std::vector<std::tuple<std::map<std::string, std::string>, std::vector<std::string>,
                                 std::vector<int>, std::string>>
        cases = {
            {{}, {"/dev/ttyS0", "/dev/ttyS1"}, {57600}, "RFC1201"},
            {{{"OSTREL_GMC_PORT", "/dev/pts/7"}}, {"/dev/pts/7"}, {57600}, "RFC1201"},
            {{{"OSTREL_GMC_BAUD", "115200"}, {"OSTREL_GMC_PROTOCOL", "auto"}},
             {"/dev/ttyS0", "/dev/ttyS1"},
             {115200},
             "auto"},
            {{{"OSTREL_GMC_PORT", "  "}}, {"/dev/ttyS0", "/dev/ttyS1"}, {57600}, "RFC1201"},
        };
    for (const auto& [variables, ports, bauds, protocol] : cases) {
        auto environment = variables;
        environment["OSTREL_GMC_CONFIG"] = file;
        const TAdapterConfig config =
            ReadAdapterConfig(GmcAdapterSetup(), EnvironmentOf(environment));
        EXPECT_EQ(config.Ports, ports);
        EXPECT_EQ(config.Bauds, bauds);
        EXPECT_EQ(config.Extra.at("protocol"), protocol);
    }

    const TAdapterConfig defaults = ReadAdapterConfig(
        SerialLineAdapterSetup(),
        EnvironmentOf({{"OSTREL_SERIALLINE_CONFIG", folder.filePath("none").toStdString()}}),
        folder.filePath("none").toStdString());
    EXPECT_EQ(defaults.Ports, std::vector<std::string>{"/dev/ttyUSB0"});
    EXPECT_EQ(defaults.Bauds, std::vector<int>{9600});

    try {
        ReadAdapterConfig(GmcAdapterSetup(), EnvironmentOf({{"OSTREL_GMC_CONFIG", file},
                                                            {"OSTREL_GMC_BAUD", "9601"}}));
        ADD_FAILURE() << "9601 accepted";
    } catch (const TAdapterConfigError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("OSTREL_GMC_BAUD: baud must be one of 1200,", 0),
                  0u)
            << error.what();
    }
}

// udev's links name a counter wherever it is plugged in: first, in name
// order, and a default that is the port of one is left out.
TEST(AdapterConfigTest, TheDefaultPortsAreTheSerialByIdLinksFirst) {
    QTemporaryDir folder;
    const std::filesystem::path root = folder.path().toStdString();
    std::filesystem::create_directory(root / "by-id");
    std::ofstream(root / "ttyUSB0");
    std::ofstream(root / "ttyUSB1");
    const std::filesystem::path usb0 = root / "ttyUSB0";
    const std::filesystem::path ch340 = root / "by-id" / "usb-1a86_USB_Serial-if00-port0";
    const std::filesystem::path cp2102 = root / "by-id" / "usb-Silicon_Labs_CP2102-if00-port0";
    std::filesystem::create_symlink(root / "ttyUSB1", cp2102);
    std::filesystem::create_symlink(usb0, ch340);
    std::ofstream(root / "by-id" / "not-a-link");
    TAdapterSetup setup = RadProAdapterSetup();
    setup.DefaultPorts = {usb0.string(), "/dev/ttyACM0"};

    struct TCase {
        std::string Folder;
        std::string Port; // OSTREL_RADPRO_PORT
        std::vector<std::string> Ports;
    };
    const std::vector<TCase> cases = {
        {"none", "", {usb0.string(), "/dev/ttyACM0"}},
        {"by-id", "", {ch340.string(), cp2102.string(), "/dev/ttyACM0"}},
        // What the user names is kept as it is.
        {"by-id", usb0.string(), {usb0.string()}},
    };
    for (const TCase& c : cases) {
        const TAdapterConfig config = ReadAdapterConfig(
            setup, EnvironmentOf({{"OSTREL_RADPRO_CONFIG", ""}, {"OSTREL_RADPRO_PORT", c.Port}}),
            root / c.Folder);
        EXPECT_EQ(config.Ports, c.Ports) << c.Folder << " " << c.Port;
    }
}

} // namespace
} // namespace ostrel::adapters
