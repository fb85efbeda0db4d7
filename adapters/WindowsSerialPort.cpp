// SPDX-License-Identifier: GPL-3.0-or-later
// Windows' COM ports; POSIX systems have PosixSerialPort.cpp.
#include "adapters/SerialPort.h"

#ifdef _WIN32

#include "adapters/PortAdvice.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace ostrel::adapters {

namespace {

// Enough for any backlog a counter can build up; a port that keeps pouring
// beyond it is read again on the next call.
constexpr std::size_t MaxBytesPerRead = 65536;
constexpr DWORD WriteWaitMilliseconds = 200;
// How often WaitForInput asks the driver for bytes: short beside a
// counter's second, long enough to leave the processor alone.
constexpr ULONGLONG InputPollMilliseconds = 5;

// Where Windows lists its serial ports: one value per port, the port's
// name as data ("\Device\Serial0" = "COM1").
constexpr const wchar_t* SerialCommKey = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

struct THandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using THandle = std::unique_ptr<void, THandleCloser>;

struct TKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using TKey = std::unique_ptr<std::remove_pointer_t<HKEY>, TKeyCloser>;

std::wstring Wide(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            size);
    }
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(std::max(size, 0)), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                            size, nullptr, nullptr);
    }
    return text;
}

// Windows' words for an error, in English where it has them (as the
// adapters' own messages are), without the closing period, so that a
// remark in brackets can follow as after strerror's words.
std::string ErrorText(DWORD error) {
    for (const DWORD language : {DWORD{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, DWORD{0}}) {
        wchar_t* buffer = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, error, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        if (length == 0 || buffer == nullptr) {
            continue;
        }
        std::wstring text(buffer, length);
        LocalFree(buffer);
        while (!text.empty() && std::iswspace(text.back())) {
            text.pop_back();
        }
        if (!text.empty() && text.back() == L'.') {
            text.pop_back();
        }
        if (!text.empty()) {
            return Narrow(text);
        }
    }
    return "system error " + std::to_string(error);
}

TOpenResult Refused(DWORD error) {
    const TPortAdvice advice = AdviseOnComPortFailure({error, ErrorText(error), PresentComPorts()});
    TOpenResult result;
    result.Error = advice.Reason;
    result.Advice = advice.Advice;
    return result;
}

class TWindowsSerialPort : public TSerialPort {
public:
    TWindowsSerialPort(THandle handle, const DCB& original, const COMMTIMEOUTS& originalTimeouts)
        : Handle(std::move(handle)), Original(original), OriginalTimeouts(originalTimeouts) {}

    ~TWindowsSerialPort() override {
        // Leave the line as it was found, for the next program that uses it.
        SetCommState(Handle.get(), &Original);
        SetCommTimeouts(Handle.get(), &OriginalTimeouts);
    }

    TWindowsSerialPort(const TWindowsSerialPort&) = delete;
    TWindowsSerialPort& operator=(const TWindowsSerialPort&) = delete;

    TReadStatus Read(std::string& into) override {
        std::array<char, 4096> buffer{};
        std::size_t total = 0;
        while (total < MaxBytesPerRead) {
            // A port whose device has gone may go on reading nothing without
            // an error (Wine's, for one); asking for its state fails then.
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(Handle.get(), &errors, &status)) {
                return Lost(GetLastError());
            }
            DWORD count = 0;
            if (!ReadFile(Handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &count,
                          nullptr)) {
                // ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND or
                // ERROR_OPERATION_ABORTED: unplugged, as drivers differ.
                return Lost(GetLastError());
            }
            if (count == 0) {
                return TReadStatus::Open;
            }
            into.append(buffer.data(), count);
            total += count;
        }
        return TReadStatus::Open;
    }

    bool WaitForInput(int milliseconds) override {
        const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(std::max(milliseconds, 0));
        for (;;) {
            DWORD errors = 0;
            COMSTAT status{};
            // A port that fails has something to tell too: Read says it.
            if (!ClearCommError(Handle.get(), &errors, &status) || status.cbInQue > 0) {
                return true;
            }
            const ULONGLONG now = GetTickCount64();
            if (now >= end) {
                return false;
            }
            Sleep(static_cast<DWORD>(std::min(end - now, InputPollMilliseconds)));
        }
    }

    bool Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            DWORD count = 0;
            // A write that times out returns with less than was asked, or nothing.
            if (!WriteFile(Handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count,
                           nullptr) ||
                count == 0) {
                return false;
            }
            bytes.remove_prefix(count);
        }
        return true;
    }

    void DiscardInput() override { PurgeComm(Handle.get(), PURGE_RXCLEAR); }

    std::string GoneReason() const override { return WhyGone; }

private:
    TReadStatus Lost(DWORD error) {
        WhyGone = ErrorText(error);
        return TReadStatus::Gone;
    }

    THandle Handle;
    DCB Original;
    COMMTIMEOUTS OriginalTimeouts;
    std::string WhyGone;
};

// Raw bytes, 8N1, no flow control, DTR and RTS on (as a POSIX system leaves
// them after opening); a read returns at once with what has arrived, and a
// write gives up after a while rather than hang the program.
bool MakeRaw(HANDLE handle, const DCB& original, int baud) {
    DCB raw = original;
    raw.BaudRate = static_cast<DWORD>(baud);
    raw.ByteSize = 8;
    raw.Parity = NOPARITY;
    raw.StopBits = ONESTOPBIT;
    raw.fBinary = TRUE;
    raw.fParity = FALSE;
    raw.fOutxCtsFlow = FALSE;
    raw.fOutxDsrFlow = FALSE;
    raw.fDtrControl = DTR_CONTROL_ENABLE;
    raw.fDsrSensitivity = FALSE;
    raw.fTXContinueOnXoff = TRUE;
    raw.fOutX = FALSE;
    raw.fInX = FALSE;
    raw.fErrorChar = FALSE;
    raw.fNull = FALSE;
    raw.fRtsControl = RTS_CONTROL_ENABLE;
    raw.fAbortOnError = FALSE;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = WriteWaitMilliseconds;
    return SetCommState(handle, &raw) && SetCommTimeouts(handle, &timeouts);
}

} // namespace

std::vector<int> SupportedBauds() {
    // The driver takes any rate; these are the ones counters use, as on Linux.
    return {1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200, 230400, 460800};
}

TOpenResult OpenSerialPort(const std::string& path, int baud) {
    TOpenResult result;
    if (!IsSupportedBaud(baud)) {
        result.Error = "unsupported baud rate " + std::to_string(baud);
        return result;
    }
    // Not shared: a second reader would steal half of the counter's bytes.
    const HANDLE opened =
        CreateFileW(Wide(ComDevicePath(path)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return Refused(GetLastError());
    }
    THandle handle(opened);
    DCB original{};
    original.DCBlength = sizeof original;
    COMMTIMEOUTS originalTimeouts{};
    if (!GetCommState(handle.get(), &original) ||
        !GetCommTimeouts(handle.get(), &originalTimeouts)) {
        result.Error = "not a serial port";
        return result;
    }
    if (!MakeRaw(handle.get(), original, baud)) {
        result.Error = ErrorText(GetLastError());
        SetCommState(handle.get(), &original);
        return result;
    }
    PurgeComm(handle.get(), PURGE_RXCLEAR | PURGE_TXCLEAR);
    result.Port =
        std::make_unique<TWindowsSerialPort>(std::move(handle), original, originalTimeouts);
    return result;
}

std::vector<std::string> PresentComPorts() {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SerialCommKey, 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return {}; // Windows makes the key with the first serial port
    }
    const TKey key(opened);
    std::vector<std::string> ports;
    for (DWORD index = 0;; ++index) {
        std::array<wchar_t, 1024> name{};
        DWORD nameLength = static_cast<DWORD>(name.size());
        std::array<wchar_t, 256> data{};
        // Room for the terminating null that the data may lack.
        DWORD dataBytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        const LONG status = RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr,
                                          &type, reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        // Anything else than a name (ERROR_MORE_DATA: far too long for one)
        // is no port to open.
        if (status == ERROR_SUCCESS && type == REG_SZ) {
            std::wstring port(data.data(), dataBytes / sizeof(wchar_t));
            port.erase(std::find(port.begin(), port.end(), L'\0'), port.end());
            if (!port.empty()) {
                ports.push_back(Narrow(port));
            }
        }
    }
    return ComPortsInOrder(std::move(ports));
}

} // namespace ostrel::adapters

#endif
