#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "apps/profiles/program_profiles.h"
#include "base/model_table.h"
#include "core/model_match.h"
#include "core/start_up.h"
#include "tests/support/recording_front_end.h"

namespace {

struct Model {
    std::string name;
    bool phone;
};

Model lookUp(const ProgramProfile& profile, const char* code) {
    uint8_t header[128] = {};
    std::memcpy(header, code, std::strlen(code));
    int row = findModelRow(profile.models, header);
    if (row < 0) return {kUnknownModelName, false};
    return {profile.models.rows[row].displayName, profile.models.rows[row].phone};
}

void expectModel(const ProgramProfile& profile, const char* code, const char* name, bool phone) {
    Model model = lookUp(profile, code);
    EXPECT_EQ(model.name, name) << code;
    EXPECT_EQ(model.phone, phone) << code;
}

TEST(ModelTable, EmbeddedImageCodeIsAnAdapterInBothPrograms) {
    expectModel(kOrbflashProfile, "SvIrEo5 fIrMwArE", "ORBQ4x4", false);
    expectModel(kOrbstageProfile, "SvIrEo5 fIrMwArE", "ORBQ4x4", false);
}

TEST(ModelTable, RowOrderResolvesOverlappingCodes) {
    // Lower-case vireonx misses the exact row and falls to the 6-character row.
    expectModel(kOrbflashProfile, "vireonx ", "ORB-P14", true);
    expectModel(kOrbstageProfile, "vireonx ", "ORB-P14", true);
    expectModel(kOrbflashProfile, "ViReOnX ", "ORBR2xK", false);
    // The 8-character row stands before the 7-character one.
    expectModel(kOrbflashProfile, "OrBv700t", "ORBV700", false);
    expectModel(kOrbflashProfile, "orbv700t", "ORBV700", false);
    expectModel(kOrbstageProfile, "OrBv700t", "ORBV700", false);
    expectModel(kOrbstageProfile, "orbv700t", "ORB-V700", false);
    expectModel(kOrbflashProfile, "orbv700 ", "ORB-V700", false);
    // vireon catches only what no 7-character vireon row took.
    expectModel(kOrbflashProfile, "VIREON4 ", "ORB-P81/ORB-P82", true);
    expectModel(kOrbstageProfile, "VIREON4 ", "ORB-P81/P82", true);
    expectModel(kOrbflashProfile, "vireonz ", "ORB-P14", true);
}

TEST(ModelTable, CaseRulesDifferBetweenPrograms) {
    expectModel(kOrbstageProfile, "svireom ", kUnknownModelName, false);
    expectModel(kOrbflashProfile, "svireom ", "ORB-P71/ORB-P72", true);
    expectModel(kOrbstageProfile, "SvIrEoM ", "ORB-P71/P72", true);
    expectModel(kOrbflashProfile, "ORBA520 ", "ORB-A520", false);
    expectModel(kOrbstageProfile, "ORBA520 ", kUnknownModelName, false);
    expectModel(kOrbstageProfile, "OrBa520 ", "ORB-A520", false);
    expectModel(kOrbstageProfile, "sviREO5 ", kUnknownModelName, false);
    expectModel(kOrbflashProfile, "sviREO5 ", "ORBQ4x4", false);
    expectModel(kOrbflashProfile, "quillon ", "QL-7", false);
    expectModel(kOrbstageProfile, "QUILLON ", "Quillon QL-7", false);
    expectModel(kOrbflashProfile, "qlql7tv3", "QL-7T", false);
    expectModel(kOrbstageProfile, "QlQl7tV3", "Quillon QL-7T", false);
}

TEST(ModelTable, NoMatchAndNulHeaders) {
    expectModel(kOrbflashProfile, "", kUnknownModelName, false);
    expectModel(kOrbstageProfile, "", kUnknownModelName, false);
    expectModel(kOrbflashProfile, "zzzzzzz", kUnknownModelName, false);
    // A NUL inside the compared width is a mismatch, even for a shorter code.
    expectModel(kOrbflashProfile, "orba03", kUnknownModelName, false);
    expectModel(kOrbflashProfile, "vireon", "ORB-P14", true);
    expectModel(kOrbflashProfile, "viReo", kUnknownModelName, false);
}

TEST(ModelTable, LookupWritesTheRunAndKeepsPhoneFlagForAdapters) {
    TestRun t(kOrbflashProfile);
    uint8_t header[128] = {};
    std::memcpy(header, "vIrEp10 ", 8);
    lookupModel(t.run, header);
    EXPECT_STREQ(t.run.context().modelName, "ORB-P10");
    EXPECT_TRUE(t.run.context().isPhone);

    std::memcpy(header, "nothing ", 8);
    lookupModel(t.run, header);
    EXPECT_STREQ(t.run.context().modelName, "ODM-Product");
    EXPECT_FALSE(t.run.context().isPhone);
}

TEST(ModelTable, AnImageFitsTheProductsItsModelNames) {
    const struct {
        const char* model;
        const char* product;
        bool fits;
    } cases[] = {
        {"ORBQ4x4", "ORBQ4x4", true},           {"ORBQ4x4", " orbq4x4 ", true},
        {"ORB-P81/ORB-P82", "ORB-P82", true},   {"ORB-A010/A020", "ORB-A020", true},
        {"ORB-P71/P72", "ORB-P72", true},       {"Quillon QL-7", "QL-7", true},
        {"QL-7", "QL-7T", false},               {"ORB-V700", "ORBV700", false},
        {"ORB-P10", "ORBQ4x4", false},          {"ORBQ4x4", "", false},
        {kUnknownModelName, "ODM-Product", false}, {"QL-7", "AQL-7", false},
        {"ORB-P10", "XORB-P10", false},         {"QL-7", "QL-7T QL-7", true},
    };
    for (const auto& c : cases) EXPECT_EQ(modelFitsProduct(c.model, c.product), c.fits) << c.model << " / " << c.product;
}

}  // namespace
