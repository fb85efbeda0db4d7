// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProgramArguments.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace ostrel {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
#ifdef _WIN32
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide != nullptr) {
        std::vector<std::string> args;
        for (int i = 1; i < count; ++i) {
            const int bytes =
                WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string text(static_cast<std::size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
            if (bytes > 1) {
                WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), bytes, nullptr, nullptr);
            }
            args.push_back(std::move(text));
        }
        LocalFree(wide);
        return args;
    }
#endif
    return {argv + (argc > 0 ? 1 : 0), argv + argc};
}

} // namespace ostrel
