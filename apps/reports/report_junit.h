// --report FILE.xml: the run as one JUnit test suite, a test case per
// device, for the readers of CI servers.
#pragma once

#include <string>
#include <vector>

#include "apps/reports/report_model.h"

std::string junitReport(const ReportRun& run, const std::vector<ReportDevice>& devices);
