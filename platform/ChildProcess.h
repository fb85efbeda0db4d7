// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Another program started with its standard input and output on a pipe to
// this one, and that pipe as the started program sees it. The pipe carries
// bytes both ways; a side whose other end is gone fails instead of waiting
// or raising a signal.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace ostrel {

// One end of a two-way byte stream between two programs.
class TPipeChannel {
public:
    virtual ~TPipeChannel() = default;
    // Reads exactly size bytes; false at the end of the stream or on an error.
    virtual bool Read(void* data, std::size_t size) = 0;
    // Writes all of data; false once the other end is gone.
    virtual bool Write(const void* data, std::size_t size) = 0;
};

// A started program; it is ended (see Finish) when the object goes.
class TChildProcess final : public TPipeChannel {
public:
    TChildProcess();
    ~TChildProcess() override;
    TChildProcess(TChildProcess&& other) noexcept;
    TChildProcess& operator=(TChildProcess&& other) noexcept;
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Starts program (a full path, UTF-8) with the arguments after its name,
    // with no console window of its own on Windows; its standard error is
    // this program's. Not running when it could not be started.
    static TChildProcess Start(const std::string& program,
                               const std::vector<std::string>& arguments);

    // Started and not yet finished.
    bool IsRunning() const;
    // The system's id of the process; 0 when none was started.
    long ProcessId() const;

    bool Read(void* data, std::size_t size) override;
    bool Write(const void* data, std::size_t size) override;

    // Closes the program's input, gives it up to timeout to end and then
    // kills it, and collects it. What it wrote before can still be read, and
    // a Read after this never waits: it fails when the bytes are not there.
    void Finish(std::chrono::milliseconds timeout);

    struct TState; // the system's handles

private:
    std::unique_ptr<TState> State;
};

// The pipe to the program that started this one, on the standard input and
// output. Made once, at the start: it takes both streams for itself and puts
// the standard error (or nothing) in place of the output and nothing in place
// of the input, so that no library that prints or reads can mix into it.
class TParentPipe final : public TPipeChannel {
public:
    TParentPipe();
    ~TParentPipe() override;
    TParentPipe(const TParentPipe&) = delete;
    TParentPipe& operator=(const TParentPipe&) = delete;

    bool Read(void* data, std::size_t size) override;
    bool Write(const void* data, std::size_t size) override;

    struct TState;

private:
    std::unique_ptr<TState> State;
};

// This program's arguments in UTF-8, its own name first: argv as it is
// elsewhere, the UTF-16 command line on Windows (argv is in the ANSI code
// page there).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// The command line that Windows' own parsing (CommandLineToArgvW, the C
// runtime's) splits back into exactly these arguments: each one quoted, a
// quote inside escaped, and backslashes doubled only before a quote.
std::string WindowsCommandLine(const std::vector<std::string>& arguments);

} // namespace ostrel
