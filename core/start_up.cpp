#include "core/start_up.h"

#include "base/firmware_image.h"
#include "base/model_table.h"
#include "base/random.h"
#include "base/text.h"
#include "core/run.h"
#include "platform/local_addresses.h"
#include "platform/platform_clock.h"
#include "platform/platform_socket.h"

static FirmwareImage loadOrStop(Run& run, unsigned resourceId) {
    FirmwareImage image = loadFirmwareImage(resourceId);
    if (!image.data) run.stop(RunOutcome::ImageDamaged);
    return image;
}

void modelNameOf(const ProgramProfile& profile, const uint8_t* header, char* name, size_t size, bool* phone) {
    int row = findModelRow(profile.models, header);
    copyText(name, size, row < 0 ? kUnknownModelName : profile.models.rows[row].displayName);
    if (phone) *phone = row >= 0 && profile.models.rows[row].phone;
}

void lookupModel(Run& run, const uint8_t* header) {
    UpgradeContext& c = run.context();
    modelNameOf(run.profile(), header, c.modelName, sizeof c.modelName, &c.isPhone);
}

void startUp(Run& run) {
    const ProgramProfile& profile = run.profile();
    if (socketStartup(profile.socketVersionMajor, profile.socketVersionMinor) != 0)
        run.stop(RunOutcome::SocketsUnavailable);

    UpgradeContext& c = run.context();
    listLocalAddresses(c.hostName, sizeof c.hostName, c.localAddresses);
    c.localAddress = c.localAddresses[0];

    seedRandom(clockMillis());

    c.image = loadOrStop(run, profile.imageResourceId);
    if (c.stage.load() == Stage::Transition) c.transitionImage = loadOrStop(run, profile.transitionResourceId);

    lookupModel(run, c.image.header);
}
