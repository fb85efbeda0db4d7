// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A shared library opened at run time, and the path of the running program.

#include <string>
#include <vector>

namespace ostrel {

// The address of an exported function, to be cast to its real type.
using TProcAddress = void (*)();

// The word size of this program: 32 or 64.
inline constexpr int ProgramWordSize = static_cast<int>(sizeof(void*) * 8);

// Why a library did not open.
enum class TOpenFailure {
    None,          // it opened, or nothing was tried
    OtherWordSize, // a library for the other word size, which only a program of that size loads
    Other,         // missing, no library, or its own loading failed
};

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
    // for on the system's library path. The result is closed on failure,
    // and tells why.
    static TDynamicLibrary Open(const std::string& path);

    bool IsOpen() const { return Handle != nullptr; }
    TOpenFailure Failure() const { return OpenFailure; }
    // The system's words for why Open failed; empty when it opened.
    const std::string& Reason() const { return OpenReason; }

    // The exported function called name, or null if there is none or
    // nothing is open.
    TProcAddress Symbol(const char* name) const;
    // Symbol as a pointer of the function's own type; false when null.
    template <typename TFunction> bool Bind(const char* name, TFunction*& function) const {
        function = reinterpret_cast<TFunction*>(Symbol(name));
        return function != nullptr;
    }

    // Closes the library; nothing happens when nothing is open.
    void Close();

private:
    void* Handle = nullptr;
    TOpenFailure OpenFailure = TOpenFailure::None;
    std::string OpenReason;
};

// Binds a library's functions one after the other, and keeps the name of
// the first that the library lacks.
class TFunctionBinder {
public:
    explicit TFunctionBinder(const TDynamicLibrary& library) : Library(library) {}

    template <typename TFunction> void operator()(const char* name, TFunction*& function) {
        if (!Library.Bind(name, function) && FirstMissing == nullptr) {
            FirstMissing = name;
        }
    }
    // Null while every function was there.
    const char* Missing() const { return FirstMissing; }

private:
    const TDynamicLibrary& Library;
    const char* FirstMissing = nullptr;
};

// A library that the system provides, opened from the first of names (file
// names without a folder) that opens: from the system's library path; on
// Windows from the program's own folder only, where the DLLs it ships lie.
// When none opens, failure is "cannot load <first name>: <the system's
// words>".
TDynamicLibrary OpenSystemLibrary(const std::vector<std::string>& names, std::string& failure);

// The word size (32 or 64) that a shared library file is built for, read
// from its ELF or PE header; 0 for a file that is neither or cannot be read.
int LibraryFileWordSize(const std::string& path);

// The full path of the running executable (UTF-8), or an empty text where the
// system does not tell it.
std::string ExecutableFilePath();

} // namespace ostrel
