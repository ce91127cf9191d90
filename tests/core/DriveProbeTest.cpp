#include "scan/DriveProbe.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

namespace quenlith::testing {
namespace {

class DriveProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake.drives = {{L"c:", DriveState::DriveReady},
                       {L"e:", DriveState::DriveNotReady},
                       {L"q:", DriveState::DriveAbsent}};
    }
    // Whatever happened, the probe leaves no service or drive object behind.
    void TearDown() override {
        EXPECT_EQ(fake.servicesAlive, 0);
        EXPECT_EQ(fake.driveObjectsAlive, 0);
    }
    FakePlatform fake;
};

TEST_F(DriveProbeTest, ReportsTheThreeStates) {
    EXPECT_EQ(DExists(fake, L"c:"), DriveState::DriveReady);
    EXPECT_EQ(DExists(fake, L"e:"), DriveState::DriveNotReady);
    EXPECT_EQ(DExists(fake, L"q:"), DriveState::DriveAbsent);
    EXPECT_EQ(DExists(fake, L"x:"), DriveState::DriveAbsent);
}

TEST_F(DriveProbeTest, AsksTheServiceByItsNamesWithTheTextUnchanged) {
    fake.drives.push_back({L"e: [STICK]", DriveState::DriveReady});
    EXPECT_EQ(DExists(fake, L"e: [STICK]"), DriveState::DriveReady);
    EXPECT_EQ(fake.trace, (std::vector<std::wstring>{
                              L"CreateServiceObject Scripting.FileSystemObject",
                              L"CallMember driveexists e: [STICK]",
                              L"CallMember getdrive e: [STICK]",
                              L"CallMember isready",
                          }));
}

TEST_F(DriveProbeTest, AnAbsentDriveIsNeverFetched) {
    EXPECT_EQ(DExists(fake, L"q:"), DriveState::DriveAbsent);
    EXPECT_TRUE(fake.TraceOf(L"CallMember getdrive").empty());
    EXPECT_TRUE(fake.TraceOf(L"CallMember isready").empty());
}

TEST_F(DriveProbeTest, AnAnswerOtherThanTrueCountsAsFalse) {
    fake.nonBooleanAnswers = {L"isready"};
    EXPECT_EQ(DExists(fake, L"c:"), DriveState::DriveNotReady);
    fake.nonBooleanAnswers = {L"driveexists"};
    EXPECT_EQ(DExists(fake, L"c:"), DriveState::DriveAbsent);
}

TEST_F(DriveProbeTest, CreatesAFreshServiceForEveryCall) {
    DExists(fake, L"c:");
    DExists(fake, L"c:");
    EXPECT_EQ(fake.TraceOf(L"CreateServiceObject").size(), 2U);
}

// A failure anywhere ends the probe with no state (in particular not "not ready") and
// releases what it held.
class DriveProbeFailureTest : public DriveProbeTest,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(DriveProbeFailureTest, PassesTheFailureUpAndReleasesEverything) {
    fake.FailOn(GetParam());
    EXPECT_THROW(DExists(fake, L"c:"), PlatformError);
}

INSTANTIATE_TEST_SUITE_P(EveryCall, DriveProbeFailureTest,
                         ::testing::Values("CreateServiceObject", "driveexists", "getdrive",
                                           "isready"));

TEST_F(DriveProbeTest, AGetDriveThatGivesNoObjectIsAFailure) {
    fake.nonBooleanAnswers = {L"getdrive"};
    EXPECT_THROW(DExists(fake, L"c:"), PlatformError);
}

TEST(AttributeMask, FollowsTheClassicDirectorySearchRule) {
    using enum FileAttribute;
    EXPECT_TRUE(MatchesMask(Normal, Normal));
    EXPECT_TRUE(MatchesMask(ReadOnly | Archive, Normal));
    EXPECT_FALSE(MatchesMask(Hidden, Normal));
    EXPECT_FALSE(MatchesMask(System | Archive, Normal));
    EXPECT_TRUE(MatchesMask(Hidden | System | ReadOnly, Hidden | System));
    EXPECT_FALSE(MatchesMask(Hidden | System, Hidden));
    EXPECT_FALSE(MatchesMask(Directory, Hidden | System));
    EXPECT_TRUE(MatchesMask(Directory, Directory));
    EXPECT_FALSE(MatchesMask(Volume, Volume | Hidden | System | Directory));
}

} // namespace
} // namespace quenlith::testing
