// SPDX-License-Identifier: GPL-3.0-or-later
#include "counter/CounterLibrary.h"

#include "devicehost/DeviceHostProxy.h"
#include "platform/Utf8Path.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace ostrel {

namespace {

// The folder part of a path, with its trailing separator; empty without one.
// Works on the UTF-8 text so that no code-page conversion is involved.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The device host's own switch, for tests: OSTREL_DEVICE_HOST=always runs
// every library in the host of the program's word size.
bool HostAlways() {
    const char* value = std::getenv("OSTREL_DEVICE_HOST");
    return value != nullptr && std::string_view(value) == "always";
}

// The library in the device host at hostFile, where there is one.
THostedLoad LoadHosted(const std::string& hostFile, const std::string& candidate,
                       TCounterEntryPoints& entries) {
    std::error_code error;
    if (hostFile.empty() || !std::filesystem::is_regular_file(PathFromUtf8(hostFile), error)) {
        return THostedLoad::NotOpened;
    }
    return LoadHostedCounterLibrary(hostFile, candidate, entries);
}

// The library file that a name stands for, below the installed library
// folder. On Windows everything sits beside the program: Pexlar.dll,
// adapters\PexlarGmc.dll.
std::optional<std::string> NamedLibraryFile(std::string_view name) {
    if (name == "sim") {
        return CounterLibraryFileName;
    }
    for (const TCounterFamily& family : CounterFamilies) {
        if (family.Name == name) {
#ifdef _WIN32
            return "adapters\\" + std::string(family.LibraryStem) + ".dll";
#else
            return "adapters/lib" + std::string(family.LibraryStem) + ".so";
#endif
        }
    }
    return std::nullopt;
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
    const std::optional<std::string> inLibs = NamedLibraryFile(name);
    if (!inLibs) {
        return std::nullopt;
    }
    std::vector<std::string> candidates;
    const std::string folder = executableFolder.empty() || executableFolder.ends_with('/') ||
                                       executableFolder.ends_with('\\')
                                   ? executableFolder
                                   : executableFolder + "/";
#ifndef _WIN32
    candidates.push_back(folder + std::string(binToLibs) + "/" + *inLibs);
#endif
    candidates.push_back(folder + *inLibs);
    return candidates;
}

TDeviceHostFiles DeviceHostFilesIn(const std::string& folder) {
    if (folder.empty()) {
        return {};
    }
#ifdef _WIN32
    constexpr const char* Name = "ostrel-device-host.exe";
    const char* other = ProgramWordSize == 64 ? "x86\\" : "x64\\";
#else
    constexpr const char* Name = "ostrel-device-host";
    const char* other = ProgramWordSize == 64 ? "host32/" : "host64/";
#endif
    return {folder + Name, folder + other + Name};
}

TDeviceHostFiles DefaultDeviceHostFiles() {
    return DeviceHostFilesIn(FolderOf(ExecutableFilePath()));
}

TCounterLibrary::TCounterLibrary() : TCounterLibrary(DefaultCounterLibraryCandidates()) {}

TCounterLibrary::TCounterLibrary(std::vector<std::string> candidates, TDeviceHostFiles hosts)
    : CandidateFiles(std::move(candidates)), Hosts(std::move(hosts)) {}

TCounterLibrary::~TCounterLibrary() {
    UnloadCounterLibrary();
}

bool TCounterLibrary::LoadCounterLibrary() {
    if (IsLoaded()) {
        return true;
    }
    const bool hostAlways = HostAlways();
    for (const std::string& candidate : CandidateFiles) {
        if (!hostAlways) {
            Library = TDynamicLibrary::Open(candidate);
            if (Library.IsOpen()) {
                break;
            }
            if (Library.Failure() != TOpenFailure::OtherWordSize) {
                continue;
            }
        }
        switch (
            LoadHosted(hostAlways ? Hosts.SameWordSize : Hosts.OtherWordSize, candidate, Entries)) {
        case THostedLoad::Bound:
            Hosted = true;
            return true;
        case THostedLoad::Incomplete:
            return false;
        case THostedLoad::NotOpened:
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
    Hosted = false;
}

} // namespace ostrel
