// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The statistics of a span of minutes in a window of its own: the figures
// of its counts as Poisson counts, what their spread says, and their
// histogram beside the Poisson distribution of their mean.

#include "platform/FormatSettings.h"
#include "platform/Translation.h"
#include "records/MinuteRecords.h"

#include <QDialog>
#include <QString>

#include <span>
#include <utility>
#include <vector>

namespace ostrel {

inline constexpr const char* StatisticsCaption = OSTREL_TR("Ostrel", "区間の統計");

// Opens the statistics of the minutes in a window beside parent, which
// owns it until it is closed; the user may go on working in parent.
void ShowSpanStatistics(QWidget* parent, std::span<const TMinuteRecord> minutes,
                        const TFormatSettings& fs);

class TStatisticsWindow final : public QDialog {
    Q_OBJECT

public:
    TStatisticsWindow(std::span<const TMinuteRecord> minutes, const TFormatSettings& fs,
                      QWidget* parent = nullptr);

    // The figures as lines of name, tab, value: what "すべてコピー" copies.
    QString FiguresText() const;

private:
    void CopyFigures() const;

    std::vector<std::pair<QString, QString>> Figures;
};

} // namespace ostrel
