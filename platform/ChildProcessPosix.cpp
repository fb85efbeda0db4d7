// SPDX-License-Identifier: GPL-3.0-or-later
// Started programs and their pipe on POSIX systems. The pipe is a socket
// pair: unlike a pipe it can be written with MSG_NOSIGNAL, so that a program
// that has gone makes a write fail instead of ending this one with SIGPIPE.
#ifndef _WIN32

#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

extern char** environ;

namespace ostrel {

namespace {

bool ReadAll(int fd, void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// send() for the socket of a started program, write() for the standard
// output of this one, which may be any kind of file.
template <typename TWrite> bool WriteAll(TWrite write, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A descriptor above the standard three, so that putting it in place of one
// of them is never a copy onto itself (which would keep it close-on-exec).
int AboveStandardStreams(int fd) {
    if (fd > 2) {
        return fd;
    }
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

} // namespace

struct TChildProcess::TState {
    pid_t Pid = 0;
    int Socket = -1;
    bool Finished = false;
};

TChildProcess::TChildProcess() : State(std::make_unique<TState>()) {}

TChildProcess::~TChildProcess() {
    if (State != nullptr) {
        Finish(std::chrono::seconds(5));
        if (State->Socket >= 0) {
            ::close(State->Socket);
        }
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
    int sockets[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        return child;
    }
    const int theirs = AboveStandardStreams(sockets[1]);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs, 0);
    posix_spawn_file_actions_adddup2(&actions, theirs, 1);
    // No signal that a thread of this program blocks stays blocked there.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int error = theirs < 0 ? EBADF
                                 : posix_spawn(&pid, program.c_str(), &actions, &attributes,
                                               argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (theirs >= 0) {
        ::close(theirs);
    }
    if (error != 0) {
        ::close(sockets[0]);
        return child;
    }
    child.State->Pid = pid;
    child.State->Socket = sockets[0];
    return child;
}

bool TChildProcess::IsRunning() const {
    return State != nullptr && State->Pid != 0 && !State->Finished;
}

long TChildProcess::ProcessId() const {
    return State != nullptr ? static_cast<long>(State->Pid) : 0;
}

bool TChildProcess::Read(void* data, std::size_t size) {
    return State != nullptr && State->Socket >= 0 && ReadAll(State->Socket, data, size);
}

bool TChildProcess::Write(const void* data, std::size_t size) {
    if (!IsRunning()) {
        return false;
    }
    const int socket = State->Socket;
    return WriteAll([socket](const char* bytes,
                             std::size_t n) { return ::send(socket, bytes, n, MSG_NOSIGNAL); },
                    data, size);
}

void TChildProcess::Finish(std::chrono::milliseconds timeout) {
    if (!IsRunning()) {
        return;
    }
    ::shutdown(State->Socket, SHUT_WR);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(State->Pid, &status, WNOHANG);
        if (done == State->Pid || (done < 0 && errno != EINTR)) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(State->Pid, SIGKILL);
            while (::waitpid(State->Pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    State->Finished = true;
    ::fcntl(State->Socket, F_SETFL, ::fcntl(State->Socket, F_GETFL) | O_NONBLOCK);
}

struct TParentPipe::TState {
    int Input = -1;
    int Output = -1;
};

TParentPipe::TParentPipe() : State(std::make_unique<TState>()) {
    // A parent that has gone makes a write fail here too.
    ::signal(SIGPIPE, SIG_IGN);
    State->Input = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
    State->Output = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, 0);
        if (::dup2(2, 1) < 0) {
            ::dup2(null, 1);
        }
        ::close(null);
    }
}

TParentPipe::~TParentPipe() {
    for (const int fd : {State->Input, State->Output}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool TParentPipe::Read(void* data, std::size_t size) {
    return State->Input >= 0 && ReadAll(State->Input, data, size);
}

bool TParentPipe::Write(const void* data, std::size_t size) {
    const int fd = State->Output;
    return fd >= 0 &&
           WriteAll([fd](const char* bytes, std::size_t n) { return ::write(fd, bytes, n); }, data,
                    size);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace ostrel

#endif
