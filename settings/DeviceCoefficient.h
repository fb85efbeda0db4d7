// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The counter's own coefficient, an unsigned 16-bit count of 0.00001 units,
// as text and back.

#include "platform/FormatSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The coefficient's exact decimal value by FloatToStr: 158 -> "0.00158",
// 1 -> "1E-5", 65535 -> "0.65535".
std::string DeviceCoefficientText(std::uint16_t coefficient, const TFormatSettings& fs);

// The text's value times 100000, truncated toward zero, taken modulo 65536
// (-1E-5 -> 65535); nullopt for a text that StrToFloat rejects. Computed on
// the exact decimal, so every text of DeviceCoefficientText comes back as
// the coefficient it was made from.
std::optional<std::uint16_t> TryDeviceCoefficient(std::string_view text, const TFormatSettings& fs);

} // namespace ostrel
