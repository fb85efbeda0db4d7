// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DynamicLibrary.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#endif

namespace ostrel {

#ifdef _WIN32

namespace {

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8FromWide(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

} // namespace

TDynamicLibrary TDynamicLibrary::Open(const std::string& path) {
    TDynamicLibrary library;
    const std::wstring widePath = WideFromUtf8(path);
    if (!widePath.empty()) {
        // The file named and no other: a bare or relative name is refused
        // (LoadLibraryW would look in the current folder and on PATH, where
        // anyone may have put a DLL of that name), and the library's own
        // DLLs come from its folder and the system's only.
        library.Handle =
            LoadLibraryExW(widePath.c_str(), nullptr,
                           LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    }
    return library;
}

TProcAddress TDynamicLibrary::Symbol(const char* name) const {
    if (Handle == nullptr || name == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<TProcAddress>(GetProcAddress(static_cast<HMODULE>(Handle), name));
}

void TDynamicLibrary::Close() {
    if (Handle != nullptr) {
        FreeLibrary(static_cast<HMODULE>(Handle));
        Handle = nullptr;
    }
}

std::string ExecutableFilePath() {
    // The path may be longer than MAX_PATH; grow until it fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            return Utf8FromWide(std::wstring(buffer.data(), length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

#else

TDynamicLibrary TDynamicLibrary::Open(const std::string& path) {
    TDynamicLibrary library;
    if (!path.empty()) {
        library.Handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    return library;
}

TProcAddress TDynamicLibrary::Symbol(const char* name) const {
    if (Handle == nullptr || name == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<TProcAddress>(dlsym(Handle, name));
}

void TDynamicLibrary::Close() {
    if (Handle != nullptr) {
        dlclose(Handle);
        Handle = nullptr;
    }
}

std::string ExecutableFilePath() {
#ifdef __linux__
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        return path.string();
    }
#endif
    return {};
}

#endif

TDynamicLibrary::~TDynamicLibrary() {
    Close();
}

TDynamicLibrary::TDynamicLibrary(TDynamicLibrary&& other) noexcept
    : Handle(std::exchange(other.Handle, nullptr)) {}

TDynamicLibrary& TDynamicLibrary::operator=(TDynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        Handle = std::exchange(other.Handle, nullptr);
    }
    return *this;
}

} // namespace ostrel
