// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The counter's device library, loaded once for the program's life, and the
// table of its eight entry points.

#include "device/CounterDevice.h"
#include "platform/DynamicLibrary.h"

#include <functional>
#include <string>
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

// Finds an exported function by name; null when there is none.
using TSymbolLookup = std::function<TProcAddress(const char* name)>;

// Fills entries with all eight entry points, each by its plain name or else
// by its 32-bit stdcall name (_GetData@4). Every name is looked up even after
// one is missing, so that Clear can still be called; false if any is missing.
bool BindCounterEntryPoints(const TSymbolLookup& lookup, TCounterEntryPoints& entries);

class TCounterLibrary {
public:
    TCounterLibrary();
    // Tries the given files, in order, instead of the default ones.
    explicit TCounterLibrary(std::vector<std::string> candidates);
    ~TCounterLibrary();
    TCounterLibrary(const TCounterLibrary&) = delete;
    TCounterLibrary& operator=(const TCounterLibrary&) = delete;

    // Loads the library and binds its entry points; true when they are all
    // there or were already loaded. On failure nothing stays loaded or bound.
    bool LoadCounterLibrary();

    // Forgets the entry points, calls Clear as the library's last call (if it
    // was bound) and frees the library. Safe to repeat.
    void UnloadCounterLibrary();

    bool IsLoaded() const { return Library.IsOpen(); }

    // All null while nothing is loaded.
    const TCounterEntryPoints& EntryPoints() const { return Entries; }

private:
    std::vector<std::string> Candidates;
    TDynamicLibrary Library;
    TCounterEntryPoints Entries;
};

} // namespace ostrel
