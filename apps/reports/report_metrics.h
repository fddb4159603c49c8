// --report FILE.prom: the run in Prometheus' text format, for the node
// exporter's textfile collector.
#pragma once

#include <string>
#include <vector>

#include "apps/reports/report_model.h"

// previous: what the file held before (empty if none), whose time of the
// last fully successful run is kept when this run is not one.
std::string metricsReport(const ReportRun& run, const std::vector<ReportDevice>& devices, const std::string& previous);
