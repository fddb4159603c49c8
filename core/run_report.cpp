#include "core/run_report.h"

#include <atomic>

static std::atomic<RunReportListener> reportListener{nullptr};

void setRunReportListener(RunReportListener listener) { reportListener.store(listener); }

void reportRunStep(const RunReport& report) {
    if (RunReportListener listener = reportListener.load()) listener(report);
}
