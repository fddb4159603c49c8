#include "core/start_up.h"

#include "core/firmware_image.h"
#include "core/model_table.h"
#include "core/program_profile.h"
#include "core/random.h"
#include "core/run_end.h"
#include "core/text.h"
#include "core/upgrade_context.h"
#include "platform/local_addresses.h"
#include "platform/platform_clock.h"
#include "platform/platform_socket.h"

static FirmwareImage loadOrFail(unsigned resourceId) {
    FirmwareImage image = loadFirmwareImage(resourceId);
    if (!image.data) endRun(RunOutcome::ImageDamaged);
    return image;
}

void lookupModel(const uint8_t* header) {
    int row = findModelRow(gProgram->models, header);
    if (row < 0) {
        copyText(gContext.modelName, sizeof gContext.modelName, kUnknownModelName);
        gContext.isPhone = false;
        return;
    }
    const ModelEntry& entry = gProgram->models.rows[row];
    copyText(gContext.modelName, sizeof gContext.modelName, entry.displayName);
    gContext.isPhone = entry.phone;
}

void startUp() {
    if (socketStartup(gProgram->socketVersionMajor, gProgram->socketVersionMinor) != 0)
        endRun(RunOutcome::SocketsUnavailable);

    listLocalAddresses(gContext.hostName, sizeof gContext.hostName, gContext.localAddresses);
    gContext.localAddress = gContext.localAddresses[0];

    gContext.digest = DigestChallenge{};

    seedRandom(clockMillis());

    gContext.image = loadOrFail(gProgram->imageResourceId);
    if (gContext.stage.load() == Stage::Transition)
        gContext.transitionImage = loadOrFail(gProgram->transitionResourceId);

    lookupModel(gContext.image.header);
}
