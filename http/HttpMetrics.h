// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The logger's state as Prometheus reads it (text format 0.0.4): names
// with the one prefix "ostrel_", base units (sieverts, seconds), "_total"
// for what only grows.

#include "http/HttpBoard.h"
#include "records/DeliveryCounters.h"

#include <span>
#include <string>
#include <string_view>

namespace ostrel {

inline constexpr const char* MetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

// The samples of status and of the sending outputs' deliveries, with
// build_info naming version and station. The samples of a reading are
// left out until a minute has finished in this run, and the dose rate
// while the newest minute has none.
std::string MetricsText(const THttpStatus& status, std::span<const TDeliveryCounts> deliveries,
                        std::string_view version, std::string_view station);

// A label value with "\\", "\"" and line feeds escaped.
std::string LabelValue(std::string_view text);

} // namespace ostrel
