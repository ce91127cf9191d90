#include "scan/ScanRun.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

namespace quenlith::testing {
namespace {

using enum FileAttribute;
using Log = std::vector<std::wstring>;

const std::wstring kC = L"c:\\autorun.inf";
const std::wstring kE = L"e:\\autorun.inf";
const std::wstring kF = L"f:\\autorun.inf";

// What a run over the fixture's drives logs when nothing fails.
const Log kWholeRun = {
    L"Autorun Not Found : c:\\autorun.inf", L"Autorun Found : e:\\autorun.inf",
    L"Autorun Deleted : e:\\autorun.inf",   L"Autorun Found : f:\\autorun.inf",
    L"Autorun Deleted : f:\\autorun.inf",
};

class ScanRunTest : public ::testing::Test {
protected:
    // c: clean, d: a stick without medium, e: and f: infected with a well-hidden file.
    void SetUp() override {
        fake.drives = {{L"c:"}, {L"d:", DriveState::DriveNotReady}, {L"e:"}, {L"f:"}};
        fake.AddFile(kE, Hidden | System | ReadOnly);
        fake.AddFile(kF, Hidden | System | ReadOnly | Archive);
    }
    void TearDown() override {
        EXPECT_EQ(fake.servicesAlive, 0);
        EXPECT_EQ(fake.driveObjectsAlive, 0);
    }
    FakePlatform fake;
};

TEST_F(ScanRunTest, FindsAndDeletesOnEveryReadyDriveInListOrder) {
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log, kWholeRun);
    EXPECT_TRUE(fake.files.empty());
    // Each ready drive current in turn, then back where it began: no drive is left busy.
    EXPECT_EQ(fake.TraceOf(L"ChangeCurrent"),
              (Log{L"ChangeCurrentDrive c:", L"ChangeCurrentDrive e:", L"ChangeCurrentDrive f:",
                   L"ChangeCurrentFolder c:\\Users\\me"}));
}

TEST_F(ScanRunTest, ResetsBeforeTheTestAndAgainBeforeTheDelete) {
    fake.drives = {{L"e:"}};
    ScanAndRemove(fake);
    const Log expected = {
        L"ChangeCurrentDrive e:",
        L"SetFileAttributes e:\\autorun.inf 0",
        L"FindMatchingFile e:\\autorun.inf 6", // hidden and system files match too
        L"AppendItem Autorun Found : e:\\autorun.inf",
        L"SetFileAttributes e:\\autorun.inf 0",
        L"DeleteFiles e:\\autorun.inf",
        L"AppendItem Autorun Deleted : e:\\autorun.inf",
        L"ChangeCurrentFolder c:\\Users\\me",
    };
    const Log tail(fake.trace.end() - static_cast<std::ptrdiff_t>(expected.size()),
                   fake.trace.end());
    EXPECT_EQ(tail, expected);
}

TEST_F(ScanRunTest, ADriveWithoutTheFileGetsOneLineAndNoTraceOfTheFailedReset) {
    fake.drives = {{L"c:"}};
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log, Log{L"Autorun Not Found : c:\\autorun.inf"});
    EXPECT_FALSE(fake.HasFile(kC)); // the failed reset created nothing
}

TEST_F(ScanRunTest, AbsentAndNotReadyDrivesAreNeitherTouchedNorLogged) {
    fake.drives = {{L"d:", DriveState::DriveNotReady}, {L"q:", DriveState::DriveAbsent}};
    fake.AddFile(L"d:\\autorun.inf", Normal);
    ScanAndRemove(fake);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_TRUE(fake.TraceOf(L"ChangeCurrentDrive").empty());
    EXPECT_TRUE(fake.TraceOf(L"SetFileAttributes").empty());
    EXPECT_TRUE(fake.HasFile(L"d:\\autorun.inf"));
}

TEST_F(ScanRunTest, AnEmptyDriveListLogsNothing) {
    fake.drives.clear();
    ScanAndRemove(fake);
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(ScanRunTest, UsesAnEntryTextWithMoreThanTheLetterUnchanged) {
    fake.drives = {{L"e: [USB STICK]"}};
    fake.AddFile(L"e: [USB STICK]\\autorun.inf", Hidden);
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log, (Log{L"Autorun Found : e: [USB STICK]\\autorun.inf",
                             L"Autorun Deleted : e: [USB STICK]\\autorun.inf"}));
    EXPECT_EQ(fake.TraceOf(L"ChangeCurrentDrive"), Log{L"ChangeCurrentDrive e: [USB STICK]"});
}

TEST_F(ScanRunTest, ASecondRunAppendsBelowTheFirstAndFindsTheDrivesClean) {
    fake.drives = {{L"e:"}};
    ScanAndRemove(fake);
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log,
              (Log{L"Autorun Found : e:\\autorun.inf", L"Autorun Deleted : e:\\autorun.inf",
                   L"Autorun Not Found : e:\\autorun.inf"}));
}

TEST_F(ScanRunTest, SeesDrivesAttachedSinceTheLastRun) {
    fake.drives = {{L"c:"}};
    ScanAndRemove(fake);
    fake.drives.push_back({L"e:"});
    fake.log.clear();
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log,
              (Log{L"Autorun Not Found : c:\\autorun.inf", L"Autorun Found : e:\\autorun.inf",
                   L"Autorun Deleted : e:\\autorun.inf"}));
}

TEST_F(ScanRunTest, LeavesAFolderNamedAutorunInfAlone) {
    fake.drives = {{L"e:"}};
    fake.files = {{kE, Directory | Hidden | System | ReadOnly}};
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log, Log{L"Autorun Not Found : e:\\autorun.inf"});
    EXPECT_TRUE(fake.HasFile(kE));
    EXPECT_TRUE(fake.TraceOf(L"DeleteFiles").empty());
}

TEST_F(ScanRunTest, FindsAHiddenFileWhoseAttributesCannotBeReset) {
    // Write-protected stick: both resets and the delete are refused; the file is still
    // reported, never passed off as "Not Found".
    fake.drives = {{L"e:", DriveState::DriveReady, /*writeProtected=*/true}};
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log, Log{L"Autorun Found : e:\\autorun.inf"});
    EXPECT_TRUE(fake.HasFile(kE));
}

// Each failure of the run's steps, and what the run does next.

TEST_F(ScanRunTest, RefreshFailureGoesOnWithTheListItHas) {
    fake.drives = {{L"c:"}};
    ScanAndRemove(fake);
    fake.drives.push_back({L"e:"});
    fake.FailOn("RefreshDrives");
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log, (Log{L"Autorun Not Found : c:\\autorun.inf",
                             L"Autorun Not Found : c:\\autorun.inf"}));
}

TEST_F(ScanRunTest, CountFailureEndsTheRunQuietly) {
    fake.FailOn("DriveCount");
    ScanAndRemove(fake);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_TRUE(fake.TraceOf(L"DriveEntry").empty());
}

TEST_F(ScanRunTest, EntryFailurePassesThatDriveOver) {
    fake.fail = [](std::string_view op, std::wstring_view) { return op == "DriveEntry"; };
    ScanAndRemove(fake);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_EQ(fake.TraceOf(L"DriveEntry").size(), 4U); // every index was still visited
    EXPECT_TRUE(fake.HasFile(kE));
}

TEST_F(ScanRunTest, EntryIsReadOncePerDrive) {
    ScanAndRemove(fake);
    EXPECT_EQ(fake.TraceOf(L"DriveEntry"),
              (Log{L"DriveEntry 0", L"DriveEntry 1", L"DriveEntry 2", L"DriveEntry 3"}));
}

class ProbeFailureTest : public ScanRunTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ProbeFailureTest, PassesThatDriveOverAsNotReady) {
    fake.FailOn(GetParam());
    fake.drives = {{L"e:"}};
    ScanAndRemove(fake);
    EXPECT_TRUE(fake.log.empty());
    EXPECT_TRUE(fake.HasFile(kE));
    EXPECT_TRUE(fake.TraceOf(L"ChangeCurrentDrive").empty());
}

INSTANTIATE_TEST_SUITE_P(EveryProbeCall, ProbeFailureTest,
                         ::testing::Values("CreateServiceObject", "driveexists", "getdrive",
                                           "isready"));

TEST_F(ScanRunTest, ChangeOfDriveFailureGoesOn) {
    fake.FailOn("ChangeCurrentDrive", L"e:");
    ScanAndRemove(fake);
    EXPECT_FALSE(fake.HasFile(kE));
    EXPECT_EQ(fake.log, kWholeRun);
}

TEST_F(ScanRunTest, FirstResetFailureStillFindsAndDeletes) {
    int resets = 0;
    fake.fail = [&](std::string_view op, std::wstring_view path) {
        return op == "SetFileAttributes" && path == kE && ++resets == 1;
    };
    fake.drives = {{L"e:"}};
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log,
              (Log{L"Autorun Found : e:\\autorun.inf", L"Autorun Deleted : e:\\autorun.inf"}));
    EXPECT_FALSE(fake.HasFile(kE));
}

TEST_F(ScanRunTest, ExistenceTestFailurePassesTheDriveOverWithoutDeleting) {
    fake.FailOn("FindMatchingFile", kE);
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log,
              (Log{L"Autorun Not Found : c:\\autorun.inf", L"Autorun Found : f:\\autorun.inf",
                   L"Autorun Deleted : f:\\autorun.inf"}));
    EXPECT_TRUE(fake.HasFile(kE));
    EXPECT_EQ(fake.files.at(kE), Normal); // no roll-back of the reset
}

TEST_F(ScanRunTest, LostFoundEntryDoesNotStopTheDelete) {
    fake.FailOn("AppendItem", L"Autorun Found : e:\\autorun.inf");
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log,
              (Log{L"Autorun Not Found : c:\\autorun.inf", L"Autorun Deleted : e:\\autorun.inf",
                   L"Autorun Found : f:\\autorun.inf", L"Autorun Deleted : f:\\autorun.inf"}));
    EXPECT_FALSE(fake.HasFile(kE));
}

TEST_F(ScanRunTest, SecondResetFailureStillTriesTheDelete) {
    fake.drives = {{L"e:"}};
    fake.files = {{kE, Hidden}}; // deletable without the reset
    int resets = 0;
    fake.fail = [&](std::string_view op, std::wstring_view) {
        return op == "SetFileAttributes" && ++resets == 2;
    };
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log,
              (Log{L"Autorun Found : e:\\autorun.inf", L"Autorun Deleted : e:\\autorun.inf"}));
}

TEST_F(ScanRunTest, AFileThatCannotBeDeletedIsOnlyReportedFound) {
    fake.locked = {kE};
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log,
              (Log{L"Autorun Not Found : c:\\autorun.inf", L"Autorun Found : e:\\autorun.inf",
                   L"Autorun Found : f:\\autorun.inf", L"Autorun Deleted : f:\\autorun.inf"}));
    EXPECT_TRUE(fake.HasFile(kE));
    EXPECT_EQ(fake.files.at(kE), Normal); // keeps its reset attributes
}

TEST_F(ScanRunTest, AFileKeptAfterItsDeleteIsNeverReportedDeleted) {
    fake.drives = {{L"e:"}};
    fake.keptAfterDelete = {kE};
    ScanAndRemove(fake);
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log,
              (Log{L"Autorun Found : e:\\autorun.inf", L"Autorun Found : e:\\autorun.inf"}));
    EXPECT_TRUE(fake.HasFile(kE));
}

TEST_F(ScanRunTest, LostDeletedOrNotFoundEntryGoesOnWithTheNextDrive) {
    fake.fail = [](std::string_view op, std::wstring_view text) {
        return op == "AppendItem" && (text == L"Autorun Deleted : e:\\autorun.inf" ||
                                      text == L"Autorun Not Found : c:\\autorun.inf");
    };
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log, (Log{L"Autorun Found : e:\\autorun.inf", L"Autorun Found : f:\\autorun.inf",
                             L"Autorun Deleted : f:\\autorun.inf"}));
    EXPECT_TRUE(fake.files.empty());
}

class StartFolderTest : public ScanRunTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(StartFolderTest, IsPutBackWhicheverStepFails) {
    fake.FailOn(GetParam());
    ScanAndRemove(fake);
    EXPECT_EQ(fake.currentFolder, L"c:\\Users\\me");
}

INSTANTIATE_TEST_SUITE_P(EveryStep, StartFolderTest,
                         ::testing::Values("none", "SetFileAttributes", "FindMatchingFile",
                                           "DeleteFiles", "AppendItem"));

TEST_F(ScanRunTest, AStartFolderThatCannotBeReadLeavesTheRunAsItIs) {
    fake.FailOn("CurrentFolder");
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log, kWholeRun);
    EXPECT_TRUE(fake.TraceOf(L"ChangeCurrentFolder").empty());
}

TEST_F(ScanRunTest, AFailureOfAnotherKindIsTrappedAsAnyOther) {
    fake.outOfMemory = true;
    fake.FailOn("DeleteFiles", kE);
    ScanAndRemove(fake);
    EXPECT_EQ(fake.log,
              (Log{L"Autorun Not Found : c:\\autorun.inf", L"Autorun Found : e:\\autorun.inf",
                   L"Autorun Found : f:\\autorun.inf", L"Autorun Deleted : f:\\autorun.inf"}));
}

TEST_F(ScanRunTest, EveryOperationFailingStillReturns) {
    fake.fail = [](std::string_view, std::wstring_view) { return true; };
    ScanAndRemove(fake);
    EXPECT_TRUE(fake.log.empty());
}

} // namespace
} // namespace quenlith::testing
