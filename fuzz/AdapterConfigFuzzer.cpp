// SPDX-License-Identifier: GPL-3.0-or-later
// An adapter's configuration file, on any content: the first byte picks the
// adapter (GMC, serial line, Rad Pro), the rest is the file.

#include "FuzzSupport.h"

#include "adapters/AdapterConfig.h"
#include "adapters/GmcProtocol.h"
#include "adapters/LineProtocol.h"
#include "adapters/RadProProtocol.h"
#include "adapters/SerialPort.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using namespace ostrel::adapters;
using ostrel::fuzz::Require;

TAdapterSetup SetupFor(std::uint8_t selector) {
    switch (selector % 3) {
    case 0:
        return GmcAdapterSetup();
    case 1:
        return SerialLineAdapterSetup();
    default:
        return RadProAdapterSetup();
    }
}

bool SeparatesPorts(char c) {
    return c == ',' || static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const TAdapterSetup setup = SetupFor(data[0]);
    TAdapterConfig config;
    config.Ports = setup.DefaultPorts;
    config.Bauds = setup.DefaultBauds;
    try {
        ApplyConfigText(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1),
                        "fuzz.conf", setup, config);
    } catch (const TAdapterConfigError& error) {
        Require(std::string_view(error.what()).rfind("fuzz.conf line ", 0) == 0,
                "an error names the file and line");
        return 0;
    }
    Require(!config.Ports.empty(), "there is always a port");
    for (const std::string& port : config.Ports) {
        Require(!port.empty(), "a port name is not empty");
        for (const char c : port) {
            Require(!SeparatesPorts(c), "a port name holds no separator");
        }
    }
    Require(!config.Bauds.empty(), "there is always a rate");
    for (const int baud : config.Bauds) {
        Require(IsSupportedBaud(baud), "every rate can be set");
    }
    try {
        setup.MakeProtocol(config);
    } catch (const TAdapterConfigError&) {
        Require(config.Extra.count("protocol") == 1, "only a protocol key can be refused");
    }
    return 0;
}
