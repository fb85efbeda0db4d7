// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/HttpMetrics.h"

#include <array>
#include <charconv>
#include <cmath>

namespace ostrel {

namespace {

// Go's float text, which Prometheus parses: the shortest that reads back.
std::string Sample(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "+Inf" : "-Inf";
    }
    std::array<char, 32> text{};
    return {text.data(), std::to_chars(text.data(), text.data() + text.size(), value).ptr};
}

void Family(std::string& out, std::string_view name, std::string_view type, std::string_view help) {
    out.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

void Line(std::string& out, std::string_view name, std::string_view labels,
          const std::string& value) {
    out.append(name);
    if (!labels.empty()) {
        out.append("{").append(labels).append("}");
    }
    out.append(" ").append(value).append("\n");
}

void Gauge(std::string& out, std::string_view name, std::string_view help, double value) {
    Family(out, name, "gauge", help);
    Line(out, name, {}, Sample(value));
}

void Reading(std::string& out, const THttpReading& reading) {
    Gauge(out, "ostrel_counts_per_minute", "Counts of the last finished minute.",
          reading.Minute.Count);
    if (reading.Minute.DoseRate && std::isfinite(*reading.Minute.DoseRate)) {
        Gauge(out, "ostrel_dose_rate_sieverts_per_hour",
              "Dose rate on the last finished minute's log line.", *reading.Minute.DoseRate * 1e-6);
    }
    Gauge(out, "ostrel_dose_sieverts", "Dose of the log so far.", reading.Dose * 1e-6);
    Gauge(out, "ostrel_alarm", "Whether the dose-rate alarm is on.", reading.Alarm.On ? 1 : 0);
    if (reading.Minute.Utc) {
        Gauge(out, "ostrel_last_minute_timestamp_seconds",
              "Start of the last finished minute, seconds since 1970 UTC.",
              static_cast<double>(*reading.Minute.Utc));
    }
}

void Deliveries(std::string& out, std::span<const TDeliveryCounts> deliveries) {
    if (deliveries.empty()) {
        return;
    }
    Family(out, "ostrel_output_deliveries_total", "counter",
           "Deliveries of the outputs that send minutes away, by the service's answer.");
    for (const TDeliveryCounts& output : deliveries) {
        for (std::size_t k = 0; k < DeliveryResultCount; ++k) {
            const std::string labels =
                "output=\"" + LabelValue(output.Output) + "\",result=\"" +
                std::string(DeliveryResultText(static_cast<TDeliveryResult>(k))) + "\"";
            Line(out, "ostrel_output_deliveries_total", labels, std::to_string(output.Results[k]));
        }
    }
    Family(out, "ostrel_output_held_minutes", "gauge",
           "Minutes an output holds that no service has taken yet.");
    for (const TDeliveryCounts& output : deliveries) {
        Line(out, "ostrel_output_held_minutes", "output=\"" + LabelValue(output.Output) + "\"",
             std::to_string(output.Held));
    }
}

} // namespace

std::string LabelValue(std::string_view text) {
    std::string value;
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            value += '\\';
            value += c;
        } else if (c == '\n') {
            value += "\\n";
        } else {
            value += c;
        }
    }
    return value;
}

std::string MetricsText(const THttpStatus& status, std::span<const TDeliveryCounts> deliveries,
                        std::string_view version, std::string_view station) {
    std::string out;
    Family(out, "ostrel_build_info", "gauge", "The program's version and the station's name.");
    Line(out, "ostrel_build_info",
         "version=\"" + LabelValue(version) + "\",station=\"" + LabelValue(station) + "\"", "1");
    Family(out, "ostrel_counts_total", "counter", "Counts of the minutes finished in this run.");
    Line(out, "ostrel_counts_total", {}, std::to_string(status.CountsTotal));
    Gauge(out, "ostrel_counter_connected", "Whether a counter is connected.",
          status.Connected ? 1 : 0);
    if (status.Newest) {
        Reading(out, *status.Newest);
    }
    Deliveries(out, deliveries);
    return out;
}

} // namespace ostrel
