// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/MemoryScenario.h"

#include "bench/ChartScenario.h"
#include "bench/LogScenario.h"
#include "bench/Measure.h"
#include "display/Chart.h"
#include "display/ChartViews.h"
#include "display/LogList.h"
#include "files/LogFileReader.h"
#include "files/TextFile.h"
#include "views/RebuildDisplay.h"

#include <string_view>
#include <vector>

namespace ostrel::bench {

namespace {

std::size_t Growth(std::size_t before, std::size_t after) {
    return after > before ? after - before : 0;
}

} // namespace

TOpenBreakdown MeasureOpenBreakdown(const std::string& path) {
    const TFormatSettings fs = ScenarioFormatSettings();
    TOpenBreakdown breakdown;
    TRecords records;
    {
        const std::size_t start = HeapInUse();
        const std::string text = ReadTextFile(path);
        const std::size_t read = HeapInUse();
        AppendLogRecords(text, fs, records);
        breakdown.FileText = Growth(start, read);
        breakdown.Records = Growth(read, HeapInUse());
    }
    {
        TChart chart(fs);
        TCountingLog log;
        const std::size_t before = HeapInUse();
        RebuildDisplay(records, ScenarioCoefficient, ScenarioBackground, ChartViews(chart, log),
                       fs);
        breakdown.Series = Growth(before, HeapInUse());
    }
    {
        TLogList list;
        TNullSeries cpm;
        TNullSeries sv;
        const std::size_t before = HeapInUse();
        RebuildDisplay(records, ScenarioCoefficient, ScenarioBackground, {cpm, sv, list}, fs);
        breakdown.LogLines = Growth(before, HeapInUse());
    }
    return breakdown;
}

} // namespace ostrel::bench
