// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/JournalFolder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <system_error>
#include <vector>

namespace ostrel {

namespace fs = std::filesystem;

namespace {

bool Digits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
}

struct TJournalEntry {
    fs::path Path;
    fs::file_time_type Changed;
    std::uintmax_t Size = 0;
};

// The folder's journals, newest first.
std::vector<TJournalEntry> Journals(const fs::path& folder) {
    std::vector<TJournalEntry> journals;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError) || !IsJournalName(it->path().filename().string())) {
            continue;
        }
        const auto changed = it->last_write_time(entryError);
        const auto size = it->file_size(entryError);
        if (!entryError) {
            journals.push_back({it->path(), changed, size});
        }
    }
    std::sort(journals.begin(), journals.end(), [](const auto& a, const auto& b) {
        return a.Changed != b.Changed ? a.Changed > b.Changed : a.Path > b.Path;
    });
    return journals;
}

} // namespace

fs::path JournalFolderIn(const fs::path& stateFolder) {
    return stateFolder.empty() ? fs::path() : stateFolder / "journal";
}

std::string JournalStem(const std::tm& localStart) {
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d-%02d-%02d", localStart.tm_year + 1900,
                  localStart.tm_mon + 1, localStart.tm_mday, localStart.tm_hour, localStart.tm_min,
                  localStart.tm_sec);
    return text;
}

std::string JournalStem(std::chrono::system_clock::time_point start) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(start);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    return JournalStem(local);
}

bool IsJournalName(std::string_view name) {
    // yyyy-mm-ddThh-nn-ss: digits everywhere but at the separators.
    constexpr std::string_view Shape = "0000-00-00T00-00-00";
    if (name.size() < Shape.size() + 4 || !name.ends_with(".csv")) {
        return false;
    }
    for (std::size_t k = 0; k < Shape.size(); ++k) {
        if (Shape[k] == '0' ? !Digits(name.substr(k, 1)) : name[k] != Shape[k]) {
            return false;
        }
    }
    const std::string_view rest = name.substr(Shape.size(), name.size() - Shape.size() - 4);
    return rest.empty() || (rest.front() == '_' && Digits(rest.substr(1)));
}

void PruneJournals(const fs::path& folder, fs::file_time_type now, const TJournalLimits& limits) {
    std::vector<TJournalEntry> kept;
    const std::vector<TJournalEntry> journals = Journals(folder);
    for (std::size_t k = 0; k < journals.size(); ++k) {
        std::error_code ignored;
        if (k < limits.KeepNewest || journals[k].Changed >= now - limits.KeepAge) {
            kept.push_back(journals[k]);
        } else {
            fs::remove(journals[k].Path, ignored);
        }
    }
    std::uintmax_t total = 0;
    for (const TJournalEntry& journal : kept) {
        total += journal.Size;
    }
    // kept is newest first: the oldest go from its end.
    while (!kept.empty() && total > limits.MaxTotalBytes) {
        std::error_code ignored;
        if (fs::remove(kept.back().Path, ignored)) {
            total -= kept.back().Size;
        }
        kept.pop_back();
    }
}

} // namespace ostrel
