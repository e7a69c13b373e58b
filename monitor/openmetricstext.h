#pragma once
// The OpenMetrics 1.0 text of collected metric families. prometheus-cpp 1.0.1
// collects the families and writes the Prometheus text format, but has no writer
// for OpenMetrics; this is that writer, over the library's own collected form. The
// differences from the text format: a counter family is named without its
// "_total" (its samples keep it), seconds carry a UNIT line, and "# EOF" ends the
// page.

#include <prometheus/metric_family.h>

#include <string>
#include <vector>

namespace netvane {

std::string OpenMetricsText(const std::vector<prometheus::MetricFamily> &families);

} // namespace netvane
