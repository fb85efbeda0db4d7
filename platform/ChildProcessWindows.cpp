// SPDX-License-Identifier: GPL-3.0-or-later
// Started programs and their pipe on Windows: two anonymous pipes, the
// started program's ends the only handles it inherits.
#ifdef _WIN32

#include "platform/ChildProcess.h"
#include "platform/Utf8Path.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <utility>

namespace ostrel {

namespace {

// One handle of the system's, closed with the object.
class THandle {
public:
    THandle() = default;
    ~THandle() { Close(); }
    THandle(THandle&& other) noexcept : Value(std::exchange(other.Value, nullptr)) {}
    THandle& operator=(THandle&& other) noexcept {
        if (this != &other) {
            Close();
            Value = std::exchange(other.Value, nullptr);
        }
        return *this;
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;

    HANDLE Get() const { return Value; }
    // For a function that makes the handle.
    HANDLE* Out() {
        Close();
        return &Value;
    }
    bool Valid() const { return Value != nullptr && Value != INVALID_HANDLE_VALUE; }
    void Close() {
        if (Valid()) {
            CloseHandle(Value);
        }
        Value = nullptr;
    }

private:
    HANDLE Value = nullptr;
};

std::wstring Wide(const std::string& text) {
    return PathFromUtf8(text).wstring();
}

bool ReadAll(HANDLE handle, void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
        DWORD got = 0;
        if (!ReadFile(handle, bytes, chunk, &got, nullptr) || got == 0) {
            return false;
        }
        bytes += got;
        size -= got;
    }
    return true;
}

bool WriteAll(HANDLE handle, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
        DWORD put = 0;
        if (!WriteFile(handle, bytes, chunk, &put, nullptr) || put == 0) {
            return false;
        }
        bytes += put;
        size -= put;
    }
    return true;
}

// A pipe of which a started program inherits one end (the read end when
// childReads, else the write end); the other stays this program's own.
bool InheritablePipe(THandle& read, THandle& write, bool childReads) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(read.Out(), write.Out(), &inheritable, 0)) {
        return false;
    }
    return SetHandleInformation(childReads ? write.Get() : read.Get(), HANDLE_FLAG_INHERIT, 0);
}

// This program's standard error for the started one, else the NUL device.
THandle InheritableError() {
    THandle error;
    const HANDLE own = GetStdHandle(STD_ERROR_HANDLE);
    const HANDLE self = GetCurrentProcess();
    if (own != nullptr && own != INVALID_HANDLE_VALUE &&
        DuplicateHandle(self, own, self, error.Out(), 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return error;
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    *error.Out() = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inheritable, OPEN_EXISTING, 0, nullptr);
    return error;
}

} // namespace

struct TChildProcess::TState {
    THandle Process;
    THandle ToChild;
    THandle FromChild;
    DWORD Pid = 0;
    bool Finished = false;
};

TChildProcess::TChildProcess() : State(std::make_unique<TState>()) {}

TChildProcess::~TChildProcess() {
    if (State != nullptr) {
        Finish(std::chrono::seconds(5));
    }
}

TChildProcess::TChildProcess(TChildProcess&& other) noexcept = default;

// The program this held is finished by the other object, which now holds it.
TChildProcess& TChildProcess::operator=(TChildProcess&& other) noexcept {
    std::swap(State, other.State);
    return *this;
}

TChildProcess TChildProcess::Start(const std::string& program,
                                   const std::vector<std::string>& arguments) {
    TChildProcess child;
    THandle childInput, toChild, fromChild, childOutput;
    if (!InheritablePipe(childInput, toChild, true) ||
        !InheritablePipe(fromChild, childOutput, false)) {
        return child;
    }
    const THandle childError = InheritableError();
    std::vector<HANDLE> inherited{childInput.Get(), childOutput.Get()};
    if (childError.Valid()) {
        inherited.push_back(childError.Get());
    }

    // Only these handles go to the started program, whatever else of this
    // program's is inheritable at the moment.
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> buffer(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
        return child;
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = childInput.Get();
    startup.StartupInfo.hStdOutput = childOutput.Get();
    startup.StartupInfo.hStdError = childError.Valid() ? childError.Get() : nullptr;
    startup.lpAttributeList = attributes;
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::wstring commandLine = Wide(WindowsCommandLine(all));
    PROCESS_INFORMATION process{};
    const bool started = UpdateProcThreadAttribute(
                             attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                             inherited.size() * sizeof(HANDLE), nullptr, nullptr) &&
                         CreateProcessW(Wide(program).c_str(), commandLine.data(), nullptr, nullptr,
                                        TRUE, CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT,
                                        nullptr, nullptr, &startup.StartupInfo, &process);
    DeleteProcThreadAttributeList(attributes);
    if (!started) {
        return child;
    }
    CloseHandle(process.hThread);
    *child.State->Process.Out() = process.hProcess;
    child.State->Pid = process.dwProcessId;
    child.State->ToChild = std::move(toChild);
    child.State->FromChild = std::move(fromChild);
    return child;
}

bool TChildProcess::IsRunning() const {
    return State != nullptr && State->Process.Valid() && !State->Finished;
}

long TChildProcess::ProcessId() const {
    return State != nullptr ? static_cast<long>(State->Pid) : 0;
}

bool TChildProcess::Read(void* data, std::size_t size) {
    if (State == nullptr || !State->FromChild.Valid()) {
        return false;
    }
    if (State->Finished) {
        DWORD available = 0;
        if (!PeekNamedPipe(State->FromChild.Get(), nullptr, 0, nullptr, &available, nullptr) ||
            available < size) {
            return false;
        }
    }
    return ReadAll(State->FromChild.Get(), data, size);
}

bool TChildProcess::Write(const void* data, std::size_t size) {
    return IsRunning() && WriteAll(State->ToChild.Get(), data, size);
}

void TChildProcess::Finish(std::chrono::milliseconds timeout) {
    if (!IsRunning()) {
        return;
    }
    State->ToChild.Close();
    const HANDLE process = State->Process.Get();
    if (WaitForSingleObject(process, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
    State->Finished = true;
}

struct TParentPipe::TState {
    THandle Input;
    THandle Output;
    THandle Null;
};

TParentPipe::TParentPipe() : State(std::make_unique<TState>()) {
    const HANDLE self = GetCurrentProcess();
    DuplicateHandle(self, GetStdHandle(STD_INPUT_HANDLE), self, State->Input.Out(), 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    DuplicateHandle(self, GetStdHandle(STD_OUTPUT_HANDLE), self, State->Output.Out(), 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    // The C runtime's descriptors 0 and 1 (a library's printf and scanf),
    // then the system's handles (a library with a C runtime of its own, which
    // takes them when it is loaded).
    const int null = _open("NUL", _O_RDWR);
    if (null >= 0) {
        _dup2(null, 0);
        if (_dup2(2, 1) != 0) {
            _dup2(null, 1);
        }
        _close(null);
    }
    *State->Null.Out() =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    const bool hasError = error != nullptr && error != INVALID_HANDLE_VALUE;
    SetStdHandle(STD_INPUT_HANDLE, State->Null.Get());
    SetStdHandle(STD_OUTPUT_HANDLE, hasError ? error : State->Null.Get());
}

TParentPipe::~TParentPipe() = default;

bool TParentPipe::Read(void* data, std::size_t size) {
    return State->Input.Valid() && ReadAll(State->Input.Get(), data, size);
}

bool TParentPipe::Write(const void* data, std::size_t size) {
    return State->Output.Valid() && WriteAll(State->Output.Get(), data, size);
}

std::vector<std::string> CommandLineArguments(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) {
        const std::u8string text = std::filesystem::path(wide[i]).u8string();
        arguments.emplace_back(text.begin(), text.end());
    }
    LocalFree(wide);
    return arguments;
}

} // namespace ostrel

#endif
