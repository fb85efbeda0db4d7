// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file as start-up reads it and as the end of the program
// rewrites it, on any content: the first byte picks the locale, the rest is
// the file.

#include "FuzzSupport.h"

#include "platform/ProfileFile.h"
#include "settings/SettingsFile.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace {

using namespace ostrel;
using fuzz::Require;
namespace fs = std::filesystem;

void Put(const fs::path& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string Get(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void CheckValueText(std::string_view value) {
    std::size_t characters = 0;
    for (const char c : value) {
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    Require(characters <= 2047, "a value is at most 2047 characters");
    Require(value.find('\n') == std::string_view::npos, "a value is one line");
    Require(value.empty() || (value.front() != ' ' && value.front() != '\t' &&
                              value.back() != ' ' && value.back() != '\t'),
            "a value has no blanks around it");
}

// Writing one key changes that key only, and writing it again changes
// nothing.
void CheckWrite(const fs::path& path) {
    const std::string background = ReadString(path, GraphSection, GraphBackgroundKey);
    const std::string elsewhere = ReadString(path, "Other", GraphCoefficientKey);
    WriteString(path, GraphSection, GraphCoefficientKey, "0.00158");
    Require(ReadString(path, GraphSection, GraphCoefficientKey) == "0.00158",
            "a written key reads back");
    Require(ReadString(path, GraphSection, GraphBackgroundKey) == background,
            "writing one key keeps the other");
    Require(ReadString(path, "Other", GraphCoefficientKey) == elsewhere,
            "writing one section keeps another");
    const std::string once = Get(path);
    WriteString(path, GraphSection, GraphCoefficientKey, "0.00158");
    Require(Get(path) == once, "writing the same value again changes nothing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const fs::path path = fuzz::ScratchFile(".ini");
    const TFormatSettings& locale = fuzz::LocaleFor(data[0]);
    Put(path, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    const TGraphSettings graph = ReadGraphSettings(path, locale);
    Require(std::isfinite(graph.GraphCoefficient), "a coefficient read is finite");
    CheckValueText(ReadString(path, GraphSection, GraphCoefficientKey));
    CheckValueText(ReadString(path, GraphSection, GraphBackgroundKey));
    CheckWrite(path);
    return 0;
}
