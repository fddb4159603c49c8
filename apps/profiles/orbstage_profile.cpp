// orbstage's fixed choices: its model table, resources, limits and waits.
#include "apps/profiles/program_profiles.h"
#include "ui/resource_ids.h"

// One row per line, as the table is read.
// clang-format off
static const ModelEntry kOrbstageModels[] = {
    {"orba030", 7, true, "ORB-A030", false},
    {"orba020", 7, true, "ORB-A010/A020", false},
    {"orba110", 7, true, "ORB-A110", false},
    {"vireon4", 7, true, "ORB-P81/P82", true},
    {"vireon3", 7, true, "ORB-P60", true},
    {"SvIrEoM", 7, false, "ORB-P71/P72", true},
    {"vIrEp10", 7, true, "ORB-P10", true},
    {"ViReOnX", 7, false, "ORBR2xK", false},
    {"vireon", 6, true, "ORB-P14", true},
    {"quillon", 7, true, "Quillon QL-7", false},
    {"QlQl7tV3", 8, true, "Quillon QL-7T", false},
    {"OrBa520", 7, false, "ORB-A520", false},
    {"OrBt320", 7, false, "ORB-T320", false},
    {"OrBa310", 7, false, "ORB-A310", false},
    {"orba300", 7, true, "ORB-A300", false},
    {"OrBv700t", 8, false, "ORBV700", false},
    {"orbv700", 7, true, "ORB-V700", false},
    {"OrBg200", 7, false, "ORBG200", false},
    {"OrBg400", 7, false, "ORBG400", false},
    {"SvIrEo5", 7, false, "ORBQ4x4", false},
};
// clang-format on

static const RebootWait kOrbstageRebootWaits[] = {
    {"ORBG200", 6250},
    {"ORBG400", 6250},
    {"ORBQ4x4", 3606},
    {"ORBR2xK", 4699},
};

static const char* const kOrbstageSuccessVariant[] = {"ORBG400", "ORBQ4x4", "ORBR2xK"};

const ProgramProfile kOrbstageProfile = {
    .kind = ProgramKind::Stage,
    .programName = "orbstage",
    .models = {kOrbstageModels, sizeof kOrbstageModels / sizeof kOrbstageModels[0]},
    .socketVersionMajor = 1,
    .socketVersionMinor = 1,
    .imageResourceId = ORB_FIRMWARE_TARGET,
    .transitionResourceId = ORB_FIRMWARE_TRANSITION,
    .tftpRetryLimit = 30,
    .timeoutEndsRun = false,
    .connectFailureEndsRun = false,
    .statusReadsAfterUpload = 10,
    .namesStageInTitles = true,
    .namesModelInAddressTitle = true,
    .rebootWaits = kOrbstageRebootWaits,
    .rebootWaitCount = sizeof kOrbstageRebootWaits / sizeof kOrbstageRebootWaits[0],
    .otherRebootWait = 1093,
    .successVariantModels = {kOrbstageSuccessVariant,
                             sizeof kOrbstageSuccessVariant / sizeof kOrbstageSuccessVariant[0]},
};
