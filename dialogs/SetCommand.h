// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings command of the main window: the dialog between the main
// window's values and the counter's own pair.

#include "device/CounterDevice.h"
#include "platform/Translation.h"

#include <cstdint>
#include <functional>

namespace ostrel {

class TOKRightDlg;

inline constexpr const char* NotConnectedText = OSTREL_TR("Ostrel", "接続されていません。");
inline constexpr const char* NotConnectedCaption = OSTREL_TR("Ostrel", "接続確認");

// What SetClick works on: the main window's state, by reference, and what it
// calls.
struct TSetContext {
    double& GraphCoefficient;
    std::int32_t& GraphBackground;
    std::uint16_t& DeviceCoefficient;
    std::uint16_t& DeviceBackground;
    const std::uint32_t& DeviceId; // read again after the dialog, a tick may have reset it
    const TCounterEntryPoints& Counter;
    TOKRightDlg& Dialog;
    std::function<void()> RebuildDisplay;
    std::function<void()> ShowNotConnected;
};

// Reads the connected counter's pair, runs the dialog and, on OK, takes the
// chart's pair and rebuilds the display; a changed counter pair goes to the
// counter when one is connected, otherwise ShowNotConnected runs and the
// change is dropped.
void SetClick(const TSetContext& context);

// The "接続されていません。" box: no owner, OK only, no icon, and leaving
// the other windows usable. Returns when it is dismissed.
void ShowNotConnectedMessage();

} // namespace ostrel
