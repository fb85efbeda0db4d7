// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A shared library opened at run time, and the path of the running program.

#include <string>

namespace ostrel {

// The address of an exported function, to be cast to its real type.
using TProcAddress = void (*)();

// One opened shared library; closing it is tied to the object's life.
class TDynamicLibrary {
public:
    TDynamicLibrary() = default;
    ~TDynamicLibrary();
    TDynamicLibrary(TDynamicLibrary&& other) noexcept;
    TDynamicLibrary& operator=(TDynamicLibrary&& other) noexcept;
    TDynamicLibrary(const TDynamicLibrary&) = delete;
    TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

    // Opens the library at path (UTF-8). A path without a folder is looked
    // for on the system's library path. The result is closed on failure.
    static TDynamicLibrary Open(const std::string& path);

    bool IsOpen() const { return Handle != nullptr; }

    // The exported function called name, or null if there is none or
    // nothing is open.
    TProcAddress Symbol(const char* name) const;

    // Closes the library; nothing happens when nothing is open.
    void Close();

private:
    void* Handle = nullptr;
};

// The full path of the running executable (UTF-8), or an empty text where the
// system does not tell it.
std::string ExecutableFilePath();

} // namespace ostrel
