// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an adapter library is (its name, its defaults, its protocol) and what
// the user told it: serial ports, baud rate and the protocol's own keys, from
// the adapter's configuration file and then from its environment variables.

#include "adapters/Protocol.h"
#include "device/LibrarySide.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::adapters {

// A configuration that cannot be used; the text says where and why.
class TAdapterConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TAdapterConfig {
    std::vector<std::string> Ports;           // looked at in this order
    std::vector<int> Bauds;                   // each tried in turn until a counter answers
    std::map<std::string, std::string> Extra; // the protocol's own keys, lower case
    std::filesystem::path StatePath;          // the coefficient file; empty: kept in memory only
};

struct TAdapterSetup {
    std::string Name;                      // in messages, e.g. "GMC adapter"
    std::string EnvironmentPrefix;         // e.g. "OSTREL_GMC_"
    std::string FileStem;                  // "gmc": gmc.conf and gmc.state
    std::vector<std::string> DefaultPorts; // Linux's; on Windows the COM ports present
    std::vector<int> DefaultBauds;
    std::vector<std::string> ExtraKeys;   // keys the protocol reads, lower case
    std::uint16_t DefaultCoefficient = 0; // units of 0.00001 uSv/h per CPM
    std::uint16_t DefaultBackground = 0;  // CPM
    // Throws TAdapterConfigError for a protocol key it cannot use.
    std::function<std::unique_ptr<TProtocol>(const TAdapterConfig&)> MakeProtocol;
};

// The configuration file: <prefix>CONFIG when set (empty: none), else
// <config folder>/ostrel/<stem>.conf.
std::filesystem::path ConfigFilePath(const TAdapterSetup& setup, const TEnvironment& environment);

// The coefficient file: <prefix>STATE when set (empty: none), else
// <state folder>/ostrel/<stem>.state.
std::filesystem::path StateFilePath(const TAdapterSetup& setup, const TEnvironment& environment);

// Reads "key = value" lines ("#" starts a comment) over the defaults:
// "port" (one or more, separated by blanks, control characters or commas), "baud" and the
// setup's extra keys. sourceName names the file in error texts.
void ApplyConfigText(std::string_view text, std::string_view sourceName, const TAdapterSetup& setup,
                     TAdapterConfig& config);

// Where udev links each USB serial port under the name of the device on it:
// the name stays with the counter when it comes back as another ttyUSB.
inline constexpr const char* SerialByIdFolder = "/dev/serial/by-id";

// Every link in byIdFolder, in name order, then each default that is not
// the port of one of them (opened twice, it would be busy the second time).
std::vector<std::string> DefaultPorts(const std::vector<std::string>& defaults,
                                      const std::filesystem::path& byIdFolder);

// The defaults (the ports as DefaultPorts has them; on Windows the COM ports
// present, in number order), then the configuration
// file if it exists, then the environment (<prefix>PORT, <prefix>BAUD,
// <prefix><EXTRA KEY>). Throws TAdapterConfigError naming the first value
// that cannot be used.
TAdapterConfig ReadAdapterConfig(const TAdapterSetup& setup, const TEnvironment& environment,
                                 const std::filesystem::path& byIdFolder = SerialByIdFolder);

} // namespace ostrel::adapters
