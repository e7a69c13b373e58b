#pragma once
// The printed page of a summary report, as one HTML document the printer lays out:
// a title, the targets, the period the test covers, the grouping, then per target a
// table whose headings stand over their own columns, each group's loss rate drawn as
// a bar of the loss-rate chart.

#include "report/summaryreport.h"

namespace netvane {

// groupMinutes: the minutes a group spans when the report was built by time period.
QString ReportPrintHtml(const SummaryReport &report, int groupMinutes);

} // namespace netvane
