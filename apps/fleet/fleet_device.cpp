// A device's row, from its child's events.
#include "apps/fleet/fleet_device.h"

namespace {

std::string stepOf(const RunEvent& e, FleetDevice* device) {
    const std::string& event = e.event;
    if (event == "status-read") return device->before.empty() ? "reading status" : "reading version";
    if (event == "finding") return "checking";
    if (event == "facts") return "found";
    if (event == "trigger") return "triggered";
    if (event == "waiting") return "waiting for fetch";
    if (event == "transfer") return "sending";
    if (event == "progress") {
        int64_t total = e.total.value_or(0);
        device->percent = total > 0 ? static_cast<unsigned>(e.bytes.value_or(0) * 100 / total) : 0;
        return "sending " + std::to_string(device->percent) + "%";
    }
    // A followed restart: its phase and the seconds so far; a fixed wait: the seconds left.
    if ((event == "restart" || event == "restart-progress") && e.phase) {
        const std::string& phase = *e.phase;
        const char* words = phase == "going-down"    ? "going down"
                            : phase == "coming-back" ? "coming back"
                                                     : "reading version";
        return std::string("restart: ") + words + " " + std::to_string(e.elapsed.value_or(0)) + " s";
    }
    if (event == "restart") return "restart " + std::to_string(e.seconds.value_or(0)) + " s";
    if (event == "restart-progress") return "restart " + std::to_string(e.left.value_or(0)) + " s";
    if (event == "version") return "version read";
    return device->step;
}

}  // namespace

void takeChildEvent(FleetDevice* device, const RunEvent& e, const std::string& line) {
    if (e.event == "result") {
        // Passed on once judged: a run put back in the queue did not end.
        device->resultLine = line;
        device->resultSeen = true;
        // Judged by its outcome, through the table; a name it does not know is a lost run.
        if (!outcomeNamed(e.outcome.value_or("").c_str(), &device->outcome)) device->outcome = RunOutcome::ChildLost;
        device->code = exitCodeOf(device->outcome);
        device->imageReached = e.bytesSent.value_or(0) > 0;
        device->message = e.message.value_or("");
        device->after = e.version.value_or("");
        device->verdict = e.verdict.value_or("");
        device->image = e.image.value_or("");
        device->imageFile = e.imageFile.value_or("");
        device->imageSha256 = e.imageSha256.value_or("");
        return;
    }
    if (e.event == "facts") {
        device->serial = e.serial.value_or("");
        device->mac = e.mac.value_or("");
        device->product = e.product.value_or("");
        device->before = e.software.value_or("");
    } else if (e.event == "transfer") {
        device->transferStarted = true;
    }
    device->step = stepOf(e, device);
}

void takeLostChild(FleetDevice* device, int status) {
    device->outcome = RunOutcome::ChildLost;
    device->code = status == exitCodeOf(RunOutcome::Success) ? exitCodeOf(device->outcome) : status;
    device->message = "ended without a result (status " + std::to_string(status) + ")";
    // Whether bytes went out after its read request is unknown: they may have.
    device->imageReached = device->transferStarted;
    RunEvent lost;
    lost.event = "result";
    lost.device = device->address;
    lost.code = device->code;
    lost.outcome = outcomeName(device->outcome);
    lost.message = device->message;
    lost.version = "";
    device->resultLine = eventLine(lost);
}

void clearAttempt(FleetDevice* device) {
    device->pending.clear();
    device->resultLine.clear();
    device->resultSeen = false;
    device->transferStarted = false;
    device->imageReached = false;
    device->percent = 0;
    device->outcome = RunOutcome::ChildLost;
    device->code = -1;
    device->message.clear();
    device->verdict.clear();
    device->after.clear();
    device->retryPending = false;
}

void notePhase(FleetDevice* device, const RunEvent& e, uint32_t nowMs) {
    const std::string& event = e.event;
    const char* name = nullptr;
    if (event == "status-read" || event == "facts" || event == "finding") name = "reading";
    if (event == "waiting" || event == "trigger") name = "waiting";
    if (event == "transfer" || event == "progress") name = "transfer";
    if (event == "restart" || event == "restart-progress")
        name = e.phase && *e.phase == "reading-version" ? "verification" : "restart";
    if (event == "version") name = "verification";
    std::vector<FleetDevice::Phase>& phases = device->phases;
    if (!phases.empty() && phases.back().attempt == device->attempts) phases.back().endMs = nowMs;
    // A step already passed (a status read after the restart) stays in its phase.
    if (!name || (!phases.empty() && phases.back().attempt == device->attempts && phases.back().name == name)) return;
    if (event == "status-read" && !phases.empty() && phases.back().attempt == device->attempts) return;
    phases.push_back({name, nowMs, nowMs, device->attempts});
}
