#include "ui/progress_cancel.h"

#include "core/program_profile.h"
#include "core/upgrade_context.h"
#include "platform/platform_process.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"

const char* progressCancelMessage(int templateId) {
    // In an orbflash recovery the connecting window stands for the search,
    // whoever opened it.
    if (templateId == IDD_CONNECTING && !isOrbstage() && gContext.mode == 0)
        return "Recovery Failed: Cannot find the specified device!";
    return "Upgrade Failed: User Abort";
}

void cancelProgressWindow(ProgressWindow* window, int templateId) {
    destroyProgressWindow(window);
    ShowErrorBox(progressCancelMessage(templateId));
    endProcess();
}
