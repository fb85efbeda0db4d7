#include "adapters/Clock.h"

#include <chrono>
#include <ctime>

namespace ostrel::adapters {

namespace {

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

} // namespace

TClock SystemClock() {
    using namespace std::chrono;
    return TClock{
        [] { return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count(); },
        [] { return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count(); },
    };
}

TSystemTime LocalSystemTime(std::int64_t unixMilliseconds) {
    const std::int64_t seconds = FloorDivide(unixMilliseconds, 1000);
    const auto milliseconds = static_cast<std::uint16_t>(unixMilliseconds - seconds * 1000);
    const auto clock = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &clock);
#else
    localtime_r(&clock, &local);
#endif
    return TSystemTime{static_cast<std::uint16_t>(local.tm_year + 1900),
                       static_cast<std::uint16_t>(local.tm_mon + 1),
                       static_cast<std::uint16_t>(local.tm_wday),
                       static_cast<std::uint16_t>(local.tm_mday),
                       static_cast<std::uint16_t>(local.tm_hour),
                       static_cast<std::uint16_t>(local.tm_min),
                       static_cast<std::uint16_t>(local.tm_sec),
                       milliseconds};
}

} // namespace ostrel::adapters
