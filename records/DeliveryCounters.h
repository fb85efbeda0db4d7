// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What each output that sends minutes away (MQTT, the maps, a database)
// tells of its deliveries, for an output that shows them (the HTTP
// output's metrics). A sending output joins the board once, by its name,
// and counts on its own thread; a reader takes a copy of every count.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// How a service answered one delivery.
enum class TDeliveryResult : std::size_t {
    Accepted, // taken
    Failed,   // not now (the network, the service down): tried again
    Refused,  // never: given up
};
inline constexpr std::size_t DeliveryResultCount = 3;
// "accepted", "failed", "refused".
std::string_view DeliveryResultText(TDeliveryResult result);

// One output's counts; counted from its thread, read from any.
class TDeliveryCounter {
public:
    void Count(TDeliveryResult result) noexcept {
        Results[static_cast<std::size_t>(result)].fetch_add(1, std::memory_order_relaxed);
    }
    // The minutes it holds now that no service has taken yet.
    void Holding(std::size_t minutes) noexcept { Held.store(minutes, std::memory_order_relaxed); }

    std::uint64_t Counted(TDeliveryResult result) const noexcept {
        return Results[static_cast<std::size_t>(result)].load(std::memory_order_relaxed);
    }
    std::size_t Holds() const noexcept { return Held.load(std::memory_order_relaxed); }

private:
    std::array<std::atomic<std::uint64_t>, DeliveryResultCount> Results{};
    std::atomic<std::size_t> Held{0};
};

// One output's counts at one moment.
struct TDeliveryCounts {
    std::string Output;
    std::array<std::uint64_t, DeliveryResultCount> Results{};
    std::size_t Held = 0;
};

class TDeliveryBoard {
public:
    // The counter of the output of that name ("mqtt", "safecast"), which
    // the output keeps for its lifetime.
    std::shared_ptr<TDeliveryCounter> Join(std::string output);
    // Every output's counts, in the order they joined.
    std::vector<TDeliveryCounts> Read() const;

private:
    mutable std::mutex Mutex;
    std::vector<std::pair<std::string, std::shared_ptr<TDeliveryCounter>>> Counters;
};

} // namespace ostrel
