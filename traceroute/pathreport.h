#pragma once
// The summary report's time grouping for a path run: one report host per hop of every
// target ("far end  hop 3  10.0.2.1"), its per-minute strip cut into periods of the
// chosen minutes, each with its sent and lost echoes, loss rate and average time. The
// report dialog shows and exports it as it does a ping test's.

#include "report/summaryreport.h"
#include "traceroute/pathstats.h"

namespace netvane {

SummaryReport BuildPathReport(const QList<PathTrace> &traces, qint64 startMs, int groupMinutes);

} // namespace netvane
