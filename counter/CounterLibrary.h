// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The counter's device library, loaded once for the program's life, and the
// table of its eight entry points.

#include "counter/CounterFamilies.h"
#include "device/CounterDevice.h"
#include "devicehost/EntryPointBinding.h"
#include "platform/DynamicLibrary.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

#ifdef _WIN32
inline constexpr const char* CounterLibraryFileName = "Pexlar.dll";
#else
inline constexpr const char* CounterLibraryFileName = "libPexlar.so";
#endif

// Where the device library is looked for, in this order: beside the
// executable, then (not on Windows) by its bare name on the system's library
// path.
std::vector<std::string> DefaultCounterLibraryCandidates();

// The device library that a name stands for: "sim" (the simulated counter),
// a family's name in CounterFamilies (the adapters for counters on a serial
// port: "gmc", ...), or the path of any device library (a name with a folder
// in it).
// The installed program's library folder (binToLibs, from the executable's
// folder) comes first, then the build folder's layout beside the executable.
// None for a name that is none of these.
std::optional<std::vector<std::string>>
NamedCounterLibraryCandidates(std::string_view name, const std::string& executableFolder,
                              std::string_view binToLibs);

// The device host, the program that runs a device library in a process of
// its own, in its two builds.
struct TDeviceHostFiles {
    // Of the program's own word size, beside the executable: used for every
    // library when the environment has OSTREL_DEVICE_HOST=always (tests).
    std::string SameWordSize;
    // Of the other word size, in a folder of its own beside the executable
    // (x86\ beside the 64-bit program on Windows): used for a library that
    // the program cannot load for its word size.
    std::string OtherWordSize;
};

// The host's files beside the running executable; empty where its folder is
// not known.
TDeviceHostFiles DefaultDeviceHostFiles();

// Their files beside an executable in folder (with its trailing separator).
TDeviceHostFiles DeviceHostFilesIn(const std::string& folder);

class TCounterLibrary {
public:
    TCounterLibrary();
    // Tries the given files, in order, instead of the default ones, and the
    // given device host for those that need one.
    explicit TCounterLibrary(std::vector<std::string> candidates,
                             TDeviceHostFiles hosts = DefaultDeviceHostFiles());
    ~TCounterLibrary();
    TCounterLibrary(const TCounterLibrary&) = delete;
    TCounterLibrary& operator=(const TCounterLibrary&) = delete;

    // Loads the library and binds its entry points; true when they are all
    // there or were already loaded. On failure nothing stays loaded or bound.
    // A library of the other word size is run in the device host, when there
    // is one, and its entry points forward to it; a host that cannot be
    // started counts as a library that cannot be loaded.
    bool LoadCounterLibrary();

    // Forgets the entry points, calls Clear as the library's last call (if it
    // was bound) and frees the library. Safe to repeat.
    void UnloadCounterLibrary();

    bool IsLoaded() const { return Library.IsOpen() || Hosted; }
    // Loaded, and running in the device host.
    bool IsHosted() const { return Hosted; }
    // The files tried, in order.
    const std::vector<std::string>& Candidates() const { return CandidateFiles; }

    // All null while nothing is loaded.
    const TCounterEntryPoints& EntryPoints() const { return Entries; }

private:
    std::vector<std::string> CandidateFiles;
    TDeviceHostFiles Hosts;
    TDynamicLibrary Library;
    bool Hosted = false;
    TCounterEntryPoints Entries;
};

} // namespace ostrel
