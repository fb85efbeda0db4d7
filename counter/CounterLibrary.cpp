// SPDX-License-Identifier: GPL-3.0-or-later
#include "counter/CounterLibrary.h"

#include <utility>

namespace ostrel {

namespace {

// The folder part of a path, with its trailing separator; empty without one.
// Works on the UTF-8 text so that no code-page conversion is involved.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

std::vector<std::string> DefaultCounterLibraryCandidates() {
    std::vector<std::string> candidates;
    const std::string folder = FolderOf(ExecutableFilePath());
    if (!folder.empty()) {
        candidates.push_back(folder + CounterLibraryFileName);
    }
#ifndef _WIN32
    // Windows would take the bare name from the current folder or PATH as
    // well; elsewhere the loader's path is the system's and the user's own.
    candidates.emplace_back(CounterLibraryFileName);
#endif
    return candidates;
}

std::optional<std::vector<std::string>>
NamedCounterLibraryCandidates(std::string_view name, const std::string& executableFolder,
                              [[maybe_unused]] std::string_view binToLibs) {
    if (name.find_first_of("/\\") != std::string_view::npos) {
        return std::vector<std::string>{std::string(name)};
    }
    struct TNamed {
        std::string_view Name;
        std::string_view InLibs; // below the installed library folder
    };
#ifdef _WIN32
    // Everything sits beside the program: Pexlar.dll, adapters\PexlarGmc.dll.
    constexpr TNamed Named[] = {{"sim", "Pexlar.dll"},
                                {"gmc", "adapters\\PexlarGmc.dll"},
                                {"serial-line", "adapters\\PexlarSerialLine.dll"},
                                {"radpro", "adapters\\PexlarRadPro.dll"}};
#else
    constexpr TNamed Named[] = {{"sim", "libPexlar.so"},
                                {"gmc", "adapters/libPexlarGmc.so"},
                                {"serial-line", "adapters/libPexlarSerialLine.so"},
                                {"radpro", "adapters/libPexlarRadPro.so"}};
#endif
    for (const TNamed& named : Named) {
        if (named.Name != name) {
            continue;
        }
        std::vector<std::string> candidates;
        const std::string folder = executableFolder.empty() || executableFolder.ends_with('/') ||
                                           executableFolder.ends_with('\\')
                                       ? executableFolder
                                       : executableFolder + "/";
#ifndef _WIN32
        candidates.push_back(folder + std::string(binToLibs) + "/" + std::string(named.InLibs));
#endif
        candidates.push_back(folder + std::string(named.InLibs));
        return candidates;
    }
    return std::nullopt;
}

TCounterLibrary::TCounterLibrary() : TCounterLibrary(DefaultCounterLibraryCandidates()) {}

TCounterLibrary::TCounterLibrary(std::vector<std::string> candidates)
    : CandidateFiles(std::move(candidates)) {}

TCounterLibrary::~TCounterLibrary() {
    UnloadCounterLibrary();
}

bool TCounterLibrary::LoadCounterLibrary() {
    if (Library.IsOpen()) {
        return true;
    }
    for (const std::string& candidate : CandidateFiles) {
        Library = TDynamicLibrary::Open(candidate);
        if (Library.IsOpen()) {
            break;
        }
    }
    if (!Library.IsOpen()) {
        return false;
    }
    const bool complete =
        BindCounterEntryPoints([this](const char* name) { return Library.Symbol(name); }, Entries);
    if (!complete) {
        UnloadCounterLibrary();
    }
    return complete;
}

void TCounterLibrary::UnloadCounterLibrary() {
    Entries = TCounterEntryPoints{.Clear = Entries.Clear};
    if (Entries.Clear != nullptr) {
        Entries.Clear();
    }
    Entries.Clear = nullptr;
    Library.Close();
}

} // namespace ostrel
