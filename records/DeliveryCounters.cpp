// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/DeliveryCounters.h"

#include <utility>

namespace ostrel {

std::string_view DeliveryResultText(TDeliveryResult result) {
    switch (result) {
    case TDeliveryResult::Accepted:
        return "accepted";
    case TDeliveryResult::Failed:
        return "failed";
    case TDeliveryResult::Refused:
        return "refused";
    }
    return "";
}

std::shared_ptr<TDeliveryCounter> TDeliveryBoard::Join(std::string output) {
    auto counter = std::make_shared<TDeliveryCounter>();
    std::lock_guard lock(Mutex);
    Counters.emplace_back(std::move(output), counter);
    return counter;
}

std::vector<TDeliveryCounts> TDeliveryBoard::Read() const {
    std::lock_guard lock(Mutex);
    std::vector<TDeliveryCounts> counts;
    counts.reserve(Counters.size());
    for (const auto& [output, counter] : Counters) {
        TDeliveryCounts item{output, {}, counter->Holds()};
        for (std::size_t k = 0; k < DeliveryResultCount; ++k) {
            item.Results[k] = counter->Counted(static_cast<TDeliveryResult>(k));
        }
        counts.push_back(std::move(item));
    }
    return counts;
}

} // namespace ostrel
