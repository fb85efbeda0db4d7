// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/Measure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>

// Under AddressSanitizer the C library's heap is not the one in use.
#if defined(__SANITIZE_ADDRESS__)
#define OSTREL_OTHER_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTREL_OTHER_HEAP 1
#endif
#endif
#if defined(__GLIBC__) && !defined(OSTREL_OTHER_HEAP)
#define OSTREL_GLIBC_HEAP 1
#include <malloc.h>
#endif

namespace ostrel::bench {

namespace {

// value with three significant digits (no fewer than whole digits) and unit.
std::string ThreeDigits(double value, const char* unit) {
    const int decimals = value >= 100 ? 0 : value >= 10 ? 1 : 2;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
    return text;
}

std::string Padded(const std::string& text, std::size_t width) {
    // Widths count bytes: every text in the table is ASCII.
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

const char* VerdictText(TVerdict verdict) {
    switch (verdict) {
    case TVerdict::Met:
        return "met";
    case TVerdict::Missed:
        return "MISSED";
    case TVerdict::None:
        break;
    }
    return "";
}

std::string OrDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

} // namespace

double SecondsBetween(TClock::time_point from, TClock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

std::vector<double> TimeRuns(int runs, const std::function<void()>& prepare,
                             const std::function<void()>& body) {
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        if (prepare) {
            prepare();
        }
        const TClock::time_point start = TClock::now();
        body();
        seconds.push_back(SecondsBetween(start, TClock::now()));
    }
    return seconds;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string FormatSeconds(double seconds) {
    if (seconds >= 1) {
        return ThreeDigits(seconds, "s");
    }
    if (seconds >= 1e-3) {
        return ThreeDigits(seconds * 1e3, "ms");
    }
    if (seconds >= 1e-6) {
        return ThreeDigits(seconds * 1e6, "us");
    }
    return ThreeDigits(seconds * 1e9, "ns");
}

std::string FormatCount(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, 1, ',');
    }
    return digits;
}

std::string FormatBytes(double bytes) {
    if (std::fabs(bytes) >= 1e6) {
        return ThreeDigits(bytes / 1e6, "MB");
    }
    if (std::fabs(bytes) >= 1e3) {
        return ThreeDigits(bytes / 1e3, "kB");
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.0f B", bytes);
    return text;
}

std::string FormatRatio(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, "x%.2f", ratio);
    return text;
}

std::optional<std::int64_t> StatusKilobytes(std::string_view status, std::string_view key) {
    std::size_t at = 0;
    while (at < status.size()) {
        const std::size_t end = std::min(status.find('\n', at), status.size());
        const std::string_view line = status.substr(at, end - at);
        at = end + 1;
        if (line.size() <= key.size() || !line.starts_with(key) || line[key.size()] != ':') {
            continue;
        }
        std::istringstream fields{std::string(line.substr(key.size() + 1))};
        std::int64_t value = 0;
        std::string unit;
        if (fields >> value >> unit && unit == "kB") {
            return value;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::int64_t> OwnStatusKilobytes(std::string_view key) {
    std::ifstream file("/proc/self/status");
    if (!file) {
        return std::nullopt;
    }
    const std::string status{std::istreambuf_iterator<char>(file),
                             std::istreambuf_iterator<char>()};
    return StatusKilobytes(status, key);
}

double OwnCpuSeconds() {
#ifdef _WIN32
    return 0; // its clock() is the real time
#else
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

std::size_t HeapInUse() {
#if defined(OSTREL_GLIBC_HEAP)
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#else
    return 0;
#endif
}

std::string FormatTable(const std::vector<TBenchRow>& rows) {
    const std::vector<std::string> header{"Benchmark", "Figure", "Target", "Reference", "Verdict"};
    std::vector<std::vector<std::string>> cells{header};
    for (const TBenchRow& row : rows) {
        cells.push_back({row.Name, row.Figure, OrDash(row.Target), OrDash(row.Reference),
                         VerdictText(row.Verdict)});
    }
    std::vector<std::size_t> widths(header.size(), 0);
    for (const auto& line : cells) {
        for (std::size_t c = 0; c < line.size(); ++c) {
            widths[c] = std::max(widths[c], line[c].size());
        }
    }
    std::string table;
    for (std::size_t r = 0; r < cells.size(); ++r) {
        std::string line;
        for (std::size_t c = 0; c < cells[r].size(); ++c) {
            line += c + 1 < cells[r].size() ? Padded(cells[r][c], widths[c] + 2) : cells[r][c];
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        table += line + "\n";
        if (r == 0) {
            std::size_t total = 0;
            for (const std::size_t width : widths) {
                total += width + 2;
            }
            table += std::string(total - 2, '-') + "\n";
        }
    }
    return table;
}

} // namespace ostrel::bench
