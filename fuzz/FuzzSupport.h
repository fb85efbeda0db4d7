// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every fuzz target shares: the locales an input is read under, and
// the check that stops the fuzzer on a broken promise as it would on a crash.

#include "platform/FormatSettings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <unistd.h>

namespace ostrel::fuzz {

// A file of this process's own for a target that reads files, in memory
// where the system offers a folder for that.
inline std::filesystem::path ScratchFile(std::string_view extension) {
    const std::filesystem::path shm = "/dev/shm";
    const std::filesystem::path folder =
        std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    return folder / ("ostrel-fuzz-" + std::to_string(::getpid()) + std::string(extension));
}

// Stops the run with a message; libFuzzer keeps the input as a crash.
inline void Require(bool holds, const char* promise) {
    if (!holds) {
        std::fprintf(stderr, "broken promise: %s\n", promise);
        std::abort();
    }
}

// The locales an input can pick with its first byte: the Japanese one the
// program's texts are made for, a comma-decimal one, one whose time and
// decimal separators coincide, one with multi-byte separators and markers,
// and current years at the ends of the range the two-digit-year rule serves.
inline const TFormatSettings& LocaleFor(std::uint8_t selector) {
    static const std::array<TFormatSettings, 5> locales = {{
        {"/", ":", ".", ",", "AM", "PM", 2011},
        {".", ":", ",", ".", "vorm.", "nachm.", 2024},
        {"-", ".", ".", " ", "a.m.", "p.m.", 2061},
        {"年", "：", "٫", "٬", "午前", "午後", 1962},
        {"/", ":", ".", ",", "", "", 9990},
    }};
    return locales[selector % locales.size()];
}

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
inline bool IsUtf8(std::string_view text) {
    std::size_t k = 0;
    while (k < text.size()) {
        const auto lead = static_cast<unsigned char>(text[k]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            ++k;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - k < length) {
            return false;
        }
        for (std::size_t j = 1; j < length; ++j) {
            const auto next = static_cast<unsigned char>(text[k + j]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        k += length;
    }
    return true;
}

} // namespace ostrel::fuzz
