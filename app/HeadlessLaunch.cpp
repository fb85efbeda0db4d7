// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HeadlessLaunch.h"

#include "platform/DynamicLibrary.h"
#include "platform/Utf8Path.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <process.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

namespace ostrel {

int RunHeadless([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
    const std::filesystem::path folder = PathFromUtf8(ExecutableFilePath()).parent_path();
#ifdef _WIN32
    // The arguments as the user typed them, in UTF-16, passed on as they are.
    const std::wstring program = (folder / L"ostrel-headless.exe").wstring();
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<const wchar_t*> args{program.c_str()};
    for (int i = 1; i < count; ++i) {
        args.push_back(wide[i]);
    }
    args.push_back(nullptr);
    const intptr_t status = _wspawnv(_P_WAIT, program.c_str(), args.data());
    LocalFree(wide);
    if (status == -1) {
        std::cerr << "ostrel: cannot start ostrel-headless.exe: " << std::strerror(errno) << "\n";
        return 1;
    }
    return static_cast<int>(status);
#else
    const std::string program = (folder / "ostrel-headless").string();
    std::vector<char*> args{const_cast<char*>(program.c_str())};
    for (int i = 1; i < argc; ++i) {
        args.push_back(argv[i]);
    }
    args.push_back(nullptr);
    ::execv(program.c_str(), args.data());
    std::cerr << "ostrel: cannot start " << program << ": " << std::strerror(errno) << "\n";
    return 1;
#endif
}

} // namespace ostrel
