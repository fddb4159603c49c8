// orbflash's fixed choices: its model table, resources, limits and waits.
#include "apps/profiles/program_profiles.h"
#include "ui/resource_ids.h"

// One row per line, as the table is read.
// clang-format off
static const ModelEntry kOrbflashModels[] = {
    {"orba030", 7, true, "ORB-A030", false},
    {"orba020", 7, true, "ORB-A010/A020", false},
    {"orba520", 7, true, "ORB-A520", false},
    {"orba110", 7, true, "ORB-A110", false},
    {"vIrEoN4", 7, true, "ORB-P81/ORB-P82", true},
    {"vIrEp10", 7, true, "ORB-P10", true},
    {"SvIrEoM", 7, true, "ORB-P71/ORB-P72", true},
    {"vIrEoN3", 7, true, "ORB-P60", true},
    {"ViReOnX", 7, false, "ORBR2xK", false},
    {"vireon", 6, true, "ORB-P14", true},
    {"orba300", 7, true, "ORB-A300", false},
    {"orba310", 7, true, "ORB-A310", false},
    {"OrBg200", 7, true, "ORBG200", false},
    {"OrBg400", 7, true, "ORBG400", false},
    {"SvIrEo5", 7, true, "ORBQ4x4", false},
    {"orbt320", 7, true, "ORB-T320", false},
    {"OrBv700t", 8, true, "ORBV700", false},
    {"orbv700", 7, true, "ORB-V700", false},
    {"QuIlLoN", 7, true, "QL-7", false},
    {"QlQl7tV3", 8, true, "QL-7T", false},
};
// clang-format on

static const RebootWait kOrbflashRebootWaits[] = {
    {"ORBG200", 6250},
    {"ORBG400", 6250},
    {"ORBQ4x4", 3905},
    {"ORBR2xK", 4686},
};

static const char* const kOrbflashSuccessVariant[] = {"ORBG400", "ORBQ4x4"};

const ProgramProfile kOrbflashProfile = {
    .kind = ProgramKind::Flash,
    .programName = "orbflash",
    .models = {kOrbflashModels, sizeof kOrbflashModels / sizeof kOrbflashModels[0]},
    .socketVersionMajor = 2,
    .socketVersionMinor = 2,
    .imageResourceId = ORB_FIRMWARE_FLASH,
    .transitionResourceId = 0,
    .tftpRetryLimit = 300,
    .timeoutEndsRun = true,
    .connectFailureEndsRun = true,
    .statusReadsAfterUpload = 1,
    .namesStageInTitles = false,
    .namesModelInAddressTitle = false,
    .rebootWaits = kOrbflashRebootWaits,
    .rebootWaitCount = sizeof kOrbflashRebootWaits / sizeof kOrbflashRebootWaits[0],
    .otherRebootWait = 1562,
    .successVariantModels = {kOrbflashSuccessVariant,
                             sizeof kOrbflashSuccessVariant / sizeof kOrbflashSuccessVariant[0]},
};
