// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/AdapterConfig.h"

#include "device/Text.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace ostrel::adapters {

namespace {

std::string Lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return result;
}

std::string Upper(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return result;
}

std::string BaudList() {
    std::string text;
    for (const int baud : SupportedBauds()) {
        text += (text.empty() ? "" : ", ") + std::to_string(baud);
    }
    return text;
}

bool SeparatesPorts(char c) {
    return c == ',' || IsBlankOrControl(c);
}

// A CR or another control character inside the value separates too: kept in
// a name, it would never match the port's line in the coefficient file.
std::vector<std::string> SplitPorts(std::string_view text) {
    std::vector<std::string> ports;
    auto position = text.begin();
    while (true) {
        const auto start = std::find_if_not(position, text.end(), SeparatesPorts);
        if (start == text.end()) {
            return ports;
        }
        position = std::find_if(start, text.end(), SeparatesPorts);
        ports.emplace_back(start, position);
    }
}

int ParseBaud(std::string_view text, std::string_view where) {
    int baud = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, baud);
    if (result.ec != std::errc() || result.ptr != end || !IsSupportedBaud(baud)) {
        throw TAdapterConfigError(std::string(where) + ": baud must be one of " + BaudList() +
                                  ", not \"" + std::string(text) + "\"");
    }
    return baud;
}

void ApplyValue(const std::string& key, std::string_view value, std::string_view where,
                const TAdapterSetup& setup, TAdapterConfig& config) {
    if (key == "port") {
        std::vector<std::string> ports = SplitPorts(value);
        if (ports.empty()) {
            throw TAdapterConfigError(std::string(where) + ": port names no serial port");
        }
        config.Ports = std::move(ports);
    } else if (key == "baud") {
        config.Bauds = {ParseBaud(value, where)};
    } else if (std::find(setup.ExtraKeys.begin(), setup.ExtraKeys.end(), key) !=
               setup.ExtraKeys.end()) {
        config.Extra[key] = std::string(value);
    } else {
        std::string known = "port, baud";
        for (const std::string& extra : setup.ExtraKeys) {
            known += ", " + extra;
        }
        throw TAdapterConfigError(std::string(where) + ": \"" + key +
                                  "\" is not a setting of this adapter (" + known + ")");
    }
}

std::filesystem::path Folder(const TEnvironment& environment, const char* variable,
                             const char* homeRelative) {
    const std::optional<std::string> explicitFolder = environment(variable);
    if (explicitFolder && !explicitFolder->empty()) {
        return std::filesystem::path(*explicitFolder) / "ostrel";
    }
#ifdef _WIN32
    (void)homeRelative;
    return {};
#else
    const std::optional<std::string> home = environment("HOME");
    if (!home || home->empty()) {
        return {};
    }
    return std::filesystem::path(*home) / homeRelative / "ostrel";
#endif
}

std::filesystem::path FileIn(const TAdapterSetup& setup, const TEnvironment& environment,
                             const char* override, const std::filesystem::path& folder,
                             const char* extension) {
    const std::optional<std::string> explicitPath =
        environment((setup.EnvironmentPrefix + override).c_str());
    if (explicitPath) {
        return std::filesystem::path(*explicitPath);
    }
    if (folder.empty()) {
        return {};
    }
    return folder / (setup.FileStem + extension);
}

} // namespace

std::filesystem::path ConfigFilePath(const TAdapterSetup& setup, const TEnvironment& environment) {
#ifdef _WIN32
    const auto folder = Folder(environment, "APPDATA", "");
#else
    const auto folder = Folder(environment, "XDG_CONFIG_HOME", ".config");
#endif
    return FileIn(setup, environment, "CONFIG", folder, ".conf");
}

std::filesystem::path StateFilePath(const TAdapterSetup& setup, const TEnvironment& environment) {
#ifdef _WIN32
    const auto folder = Folder(environment, "LOCALAPPDATA", "");
#else
    const auto folder = Folder(environment, "XDG_STATE_HOME", ".local/state");
#endif
    return FileIn(setup, environment, "STATE", folder, ".state");
}

void ApplyConfigText(std::string_view text, std::string_view sourceName, const TAdapterSetup& setup,
                     TAdapterConfig& config) {
    std::istringstream lines{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::string_view content = line;
        content = content.substr(0, content.find('#'));
        content = Trimmed(content);
        if (content.empty()) {
            continue;
        }
        const std::string where = std::string(sourceName) + " line " + std::to_string(number);
        const std::size_t equals = content.find('=');
        if (equals == std::string_view::npos) {
            throw TAdapterConfigError(where + ": \"" + std::string(content) +
                                      "\" is not \"key = value\"");
        }
        ApplyValue(Lower(Trimmed(content.substr(0, equals))), Trimmed(content.substr(equals + 1)),
                   where, setup, config);
    }
}

std::vector<std::string> DefaultPorts(const std::vector<std::string>& defaults,
                                      const std::filesystem::path& byIdFolder) {
    std::vector<std::string> links;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(byIdFolder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code unreadable;
        if (entry->is_symlink(unreadable)) {
            links.push_back(entry->path().string());
        }
    }
    std::sort(links.begin(), links.end());
    std::vector<std::string> ports = links;
    for (const std::string& port : defaults) {
        const bool linked = std::any_of(links.begin(), links.end(), [&](const std::string& link) {
            std::error_code notThere;
            return std::filesystem::equivalent(link, port, notThere);
        });
        if (!linked) {
            ports.push_back(port);
        }
    }
    return ports;
}

TAdapterConfig ReadAdapterConfig(const TAdapterSetup& setup, const TEnvironment& environment,
                                 const std::filesystem::path& byIdFolder) {
    TAdapterConfig config;
#ifdef _WIN32
    // The setup's defaults are device names of Linux; Windows lists the
    // ports it has.
    (void)byIdFolder;
    config.Ports = PresentComPorts();
#else
    config.Ports = DefaultPorts(setup.DefaultPorts, byIdFolder);
#endif
    config.Bauds = setup.DefaultBauds;
    config.StatePath = StateFilePath(setup, environment);

    const std::filesystem::path file = ConfigFilePath(setup, environment);
    std::error_code error;
    if (!file.empty() && std::filesystem::exists(file, error)) {
        std::ifstream input(file, std::ios::binary);
        if (!input) {
            throw TAdapterConfigError(file.string() + ": cannot be read");
        }
        std::ostringstream text;
        text << input.rdbuf();
        ApplyConfigText(text.str(), file.string(), setup, config);
    }

    std::vector<std::string> keys = {"port", "baud"};
    keys.insert(keys.end(), setup.ExtraKeys.begin(), setup.ExtraKeys.end());
    for (const std::string& key : keys) {
        const std::string variable = setup.EnvironmentPrefix + Upper(key);
        const std::optional<std::string> value = environment(variable.c_str());
        if (value && !Trimmed(*value).empty()) {
            ApplyValue(key, Trimmed(*value), variable, setup, config);
        }
    }
    return config;
}

} // namespace ostrel::adapters
