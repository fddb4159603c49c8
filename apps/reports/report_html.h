// --report FILE.html: one self-contained page of the run (no resource from
// anywhere, readable without scripts): a header, the counts, a timeline of
// every device's phases and the CSV's table. While the run goes it asks the
// browser to reload it.
#pragma once

#include <string>
#include <vector>

#include "apps/reports/report_model.h"

std::string htmlReport(const ReportRun& run, const std::vector<ReportDevice>& devices);
