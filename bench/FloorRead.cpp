// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of opening a log: reads the file, finds each line and reads it
// into a record (its minute and its count), with nothing else of the
// program. Prints the number of records and this process's CPU time, user
// and system, in seconds:
//   records 1000000
//   cpu 0.051234

#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct TRecord {
    double StartTime; // minutes since 2000-01-01, as a number
    std::int32_t Count;
};

// The number of leading digits at p, read into value.
const char* Digits(const char* p, const char* end, long& value) {
    value = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        value = value * 10 + (*p++ - '0');
    }
    return p;
}

// "yy/mm/dd, hh:nn, count, ..." read without any check but the digits'.
TRecord ReadLine(const char* p, const char* end) {
    long part[6] = {};
    for (long& value : part) {
        p = Digits(p, end, value);
        while (p < end && (*p < '0' || *p > '9')) {
            ++p;
        }
    }
    const double days = static_cast<double>(part[0] * 372 + part[1] * 31 + part[2]);
    return {days * 1440 + static_cast<double>(part[3] * 60 + part[4]),
            static_cast<std::int32_t>(part[5])};
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostrel-floor-read FILE\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    // The whole file in one read, into a buffer of its size.
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    std::vector<char> text(static_cast<std::size_t>(size > 0 ? size : 0));
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    std::vector<TRecord> records;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (lineEnd == nullptr) {
            lineEnd = end;
        }
        records.push_back(ReadLine(p, lineEnd));
        p = lineEnd + 1;
    }
    std::printf("records %zu\ncpu %.6f\n", records.size(), CpuSeconds());
    return 0;
}
