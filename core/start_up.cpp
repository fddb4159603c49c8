#include "core/start_up.h"

#include <cstring>

#include "core/firmware_image.h"
#include "core/model_table.h"
#include "core/program_profile.h"
#include "core/random.h"
#include "core/upgrade_context.h"
#include "platform/local_addresses.h"
#include "platform/platform_clock.h"
#include "platform/platform_process.h"
#include "platform/platform_socket.h"
#include "ui/front_end.h"

[[noreturn]] static void failStartUp(const char* message) {
    ShowErrorBox(message);
    endProcess();
}

static FirmwareImage loadOrFail(unsigned resourceId) {
    FirmwareImage image = loadFirmwareImage(resourceId);
    if (!image.data) failStartUp("Upgrade Failed: Firmware image missing or damaged");
    return image;
}

void startUp() {
    if (socketStartup(gProgram->winsockMajor, gProgram->winsockMinor) != 0)
        failStartUp("Upgrade Failed: Winsock init error");

    listLocalAddresses(gContext.hostName, sizeof gContext.hostName, gContext.localAddresses);
    gContext.localAddress = gContext.localAddresses[0];

    std::memset(&gContext.digest, 0, sizeof gContext.digest);

    seedRandom(clockMillis());

    initCommonControls(gProgram->commonControlFlags);

    gContext.image = loadOrFail(gProgram->imageResourceId);
    if (isOrbstage() && gContext.stage.load() == 0)
        gContext.transitionImage = loadOrFail(gProgram->transitionResourceId);

    if (isOrbstage()) gContext.isPhone = 0;

    lookupModel(gContext.image.header);
}
