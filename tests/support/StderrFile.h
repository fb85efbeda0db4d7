// SPDX-License-Identifier: GPL-3.0-or-later
// The standard error stream into a file for as long as this lives. The file
// can be read at any time, also while other threads write lines: unlike
// taking and restarting a capture, no line falls between two reads.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace ostrel::test {

class TStderrFile {
public:
    explicit TStderrFile(std::filesystem::path path) : Path(std::move(path)) {
        std::fflush(stderr);
        Saved = ::dup(2);
        const int file = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0600);
        ::dup2(file, 2);
        ::close(file);
    }
    ~TStderrFile() {
        std::fflush(stderr);
        ::dup2(Saved, 2);
        ::close(Saved);
    }
    TStderrFile(const TStderrFile&) = delete;
    TStderrFile& operator=(const TStderrFile&) = delete;

    std::string Text() const {
        std::ifstream in(Path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    const std::filesystem::path Path;

private:
    int Saved = -1;
};

} // namespace ostrel::test
