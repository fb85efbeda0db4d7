// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DynamicLibrary.h"

#include "platform/Utf8Path.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <utility>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <system_error>
#endif

namespace ostrel {

namespace {

bool IsOfOtherWordSize(int wordSize) {
    return wordSize != 0 && wordSize != ProgramWordSize;
}

} // namespace

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

// The system's own words for a Windows error code, without the line end.
std::string SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length > 0 ? Utf8FromWide(std::wstring(buffer, length)) : std::string();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// The program's folder, where a DLL that it ships lies beside it.
std::string SystemLibraryPath(const std::string& name) {
    const std::string program = ExecutableFilePath();
    const std::size_t slash = program.find_last_of("\\/");
    return slash == std::string::npos ? name : program.substr(0, slash + 1) + name;
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
    if (library.Handle == nullptr) {
        // Windows says "bad format" for any file that is no DLL of this
        // program's kind; the header tells which of them is one of the
        // other word size. The system's error stays for whoever reads it.
        const DWORD error = GetLastError();
        const bool otherWordSize =
            error == ERROR_BAD_EXE_FORMAT && IsOfOtherWordSize(LibraryFileWordSize(path));
        library.OpenFailure = otherWordSize ? TOpenFailure::OtherWordSize : TOpenFailure::Other;
        library.OpenReason = SystemText(error);
        SetLastError(error);
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

namespace {

std::string SystemLibraryPath(const std::string& name) {
    return name;
}

} // namespace

TDynamicLibrary TDynamicLibrary::Open(const std::string& path) {
    TDynamicLibrary library;
    if (!path.empty()) {
        library.Handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (library.Handle == nullptr) {
        // glibc's text for an ELF file of the other class; the header
        // confirms it where another C library words it differently.
        const char* error = dlerror();
        const bool otherWordSize =
            (error != nullptr && std::strstr(error, "wrong ELF class") != nullptr) ||
            (!path.empty() && IsOfOtherWordSize(LibraryFileWordSize(path)));
        library.OpenFailure = otherWordSize ? TOpenFailure::OtherWordSize : TOpenFailure::Other;
        // dlerror names the file first; the caller names it already.
        std::string reason = error != nullptr ? error : "";
        if (reason.starts_with(path + ": ")) {
            reason.erase(0, path.size() + 2);
        }
        library.OpenReason = std::move(reason);
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

int LibraryFileWordSize(const std::string& path) {
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    std::array<unsigned char, 64> head{};
    if (!file.read(reinterpret_cast<char*>(head.data()), head.size())) {
        return 0;
    }
    // ELF: the class byte after the magic number.
    if (head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') {
        return head[4] == 1 ? 32 : head[4] == 2 ? 64 : 0;
    }
    // PE: the DOS header points at "PE\0\0", a 20-byte file header and the
    // optional header, whose magic number is 0x10B for PE32, 0x20B for PE32+.
    if (head[0] != 'M' || head[1] != 'Z') {
        return 0;
    }
    const std::uint32_t peOffset = head[0x3C] | head[0x3D] << 8 | head[0x3E] << 16 |
                                   static_cast<std::uint32_t>(head[0x3F]) << 24;
    std::array<unsigned char, 26> pe{};
    if (!file.seekg(peOffset) || !file.read(reinterpret_cast<char*>(pe.data()), pe.size())) {
        return 0;
    }
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
        return 0;
    }
    const int magic = pe[24] | pe[25] << 8;
    return magic == 0x10B ? 32 : magic == 0x20B ? 64 : 0;
}

TDynamicLibrary OpenSystemLibrary(const std::vector<std::string>& names, std::string& failure) {
    std::string reason;
    for (const std::string& name : names) {
        TDynamicLibrary library = TDynamicLibrary::Open(SystemLibraryPath(name));
        if (library.IsOpen()) {
            failure.clear();
            return library;
        }
        if (&name == &names.front()) {
            reason = library.Reason();
        }
    }
    failure = "cannot load " + (names.empty() ? std::string() : names.front()) + ": " + reason;
    return {};
}

TDynamicLibrary::~TDynamicLibrary() {
    Close();
}

TDynamicLibrary::TDynamicLibrary(TDynamicLibrary&& other) noexcept
    : Handle(std::exchange(other.Handle, nullptr)), OpenFailure(other.OpenFailure),
      OpenReason(std::move(other.OpenReason)) {}

TDynamicLibrary& TDynamicLibrary::operator=(TDynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        Handle = std::exchange(other.Handle, nullptr);
        OpenFailure = other.OpenFailure;
        OpenReason = std::move(other.OpenReason);
    }
    return *this;
}

} // namespace ostrel
