// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the journals of the live log are kept, what they are called, and
// which old ones go.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The journals' folder in the program's state folder; empty for none.
std::filesystem::path JournalFolderIn(const std::filesystem::path& stateFolder);

// A journal's name without its extension, from the local time its log
// began: "2026-12-09T15-23-07", which sorts in time order.
std::string JournalStem(const std::tm& localStart);
// The stem for a moment of the system clock, in local time.
std::string JournalStem(std::chrono::system_clock::time_point start);

// Whether a file name is one that the journal gives: a stem, optionally
// "_" and a number (two logs begun in the same second), then ".csv".
bool IsJournalName(std::string_view fileName);

struct TJournalLimits {
    std::chrono::hours KeepAge = std::chrono::hours(24 * 30); // every journal this recent stays
    std::size_t KeepNewest = 20;                              // and always this many of the newest
    std::uintmax_t MaxTotalBytes = std::uintmax_t(1) << 30;   // never more than this in all
};

// Deletes the journals in folder that the limits do not keep, judged by
// their last change: older than KeepAge and not among the KeepNewest newest;
// then the oldest of the rest while they take more than MaxTotalBytes.
// Other files are left alone. Failures are ignored: a journal that cannot be
// deleted stays.
void PruneJournals(
    const std::filesystem::path& folder,
    std::filesystem::file_time_type now = std::filesystem::file_time_type::clock::now(),
    const TJournalLimits& limits = {});

} // namespace ostrel
