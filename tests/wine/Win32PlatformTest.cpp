#include "SandboxScanTest.h"
#include "scan/DriveProbe.h"

namespace quenlith::testing {
namespace {

const std::wstring kTarget = L"d:\\autorun.inf";

class Win32PlatformTest : public SandboxScanTest {
protected:
    DWORD ErrorOf(auto&& call) {
        try {
            call();
        } catch (const PlatformError& error) {
            return error.code();
        }
        ADD_FAILURE() << "no PlatformError";
        return 0;
    }
};

TEST_F(Win32PlatformTest, ResetsAWellHiddenFileToNormal) {
    CreateFileWith(kTarget, kWellHidden);
    platform.SetFileAttributes(kTarget, FileAttribute::Normal);
    // Wine reports every plain file as archived, so only the three bits that hide it count.
    EXPECT_EQ(AttributesOf(kTarget) & kWellHidden, 0U);
}

TEST_F(Win32PlatformTest, ResetOfAMissingFileFails) {
    EXPECT_EQ(ErrorOf([&] { platform.SetFileAttributes(kTarget, FileAttribute::Normal); }),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Win32PlatformTest, FindsHiddenAndSystemFilesOnlyWhenAskedFor) {
    const FileAttribute hiddenAndSystem = FileAttribute::Hidden | FileAttribute::System;
    EXPECT_EQ(platform.FindMatchingFile(kTarget, hiddenAndSystem), L"");

    CreateFileWith(kTarget, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(platform.FindMatchingFile(kTarget, FileAttribute::Normal), L"autorun.inf");

    SetAttributes(kTarget, kWellHidden);
    EXPECT_EQ(platform.FindMatchingFile(kTarget, FileAttribute::Normal), L"");
    EXPECT_EQ(platform.FindMatchingFile(kTarget, FileAttribute::Hidden), L"");
    EXPECT_EQ(platform.FindMatchingFile(kTarget, hiddenAndSystem), L"autorun.inf");
}

TEST_F(Win32PlatformTest, NeverMatchesAFolder) {
    CreateFolder(kTarget);
    EXPECT_EQ(platform.FindMatchingFile(kTarget, FileAttribute::Hidden | FileAttribute::System),
              L"");
}

TEST_F(Win32PlatformTest, MatchesWhateverTheCaseOnDisk) {
    CreateFileWith(L"e:\\AUTORUN.INF", FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(platform.FindMatchingFile(L"e:\\autorun.inf", FileAttribute::Hidden), L"AUTORUN.INF");
    platform.DeleteFiles(L"e:\\autorun.inf");
    EXPECT_EQ(AttributesOf(L"e:\\AUTORUN.INF"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Win32PlatformTest, DeletesAFileAndFailsWhenThereIsNone) {
    CreateFileWith(kTarget, FILE_ATTRIBUTE_NORMAL);
    platform.DeleteFiles(kTarget);
    EXPECT_EQ(AttributesOf(kTarget), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ErrorOf([&] { platform.DeleteFiles(kTarget); }),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Win32PlatformTest, DeletesAReadOnlyFileOnlyWhereTheSystemCanLeaveItsAttributes) {
    CreateFileWith(kTarget, FILE_ATTRIBUTE_READONLY);
    if (TakesPosixDelete()) {
        platform.DeleteFiles(kTarget);
        EXPECT_EQ(AttributesOf(kTarget), INVALID_FILE_ATTRIBUTES);
    } else {
        EXPECT_EQ(ErrorOf([&] { platform.DeleteFiles(kTarget); }),
                  static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_NE(AttributesOf(kTarget), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(Win32PlatformTest, TheDeleteProbeAnswersAsEachWineIsKnownTo) {
    // Wine 8 has no POSIX delete; Wine 10 has.
    using Version = const char*();
    const auto version = reinterpret_cast<Version*>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    ASSERT_NE(version, nullptr) << "not run under Wine";
    const std::string wine = version();
    const std::string major = wine.substr(0, wine.find('.'));
    ASSERT_TRUE(major == "8" || major == "10") << "no known answer for Wine " << wine;
    EXPECT_EQ(TakesPosixDelete(), major == "10");
}

TEST_F(Win32PlatformTest, RefusesToDeleteAFileAnotherProcessHoldsOpen) {
    CreateFileWith(kTarget, FILE_ATTRIBUTE_NORMAL);
    const HeldOpenFile held(kTarget);
    EXPECT_EQ(ErrorOf([&] { platform.DeleteFiles(kTarget); }),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_NE(AttributesOf(kTarget), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Win32PlatformTest, NeverDeletesAFolder) {
    CreateFolder(kTarget);
    EXPECT_EQ(ErrorOf([&] { platform.DeleteFiles(kTarget); }),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(AttributesOf(kTarget), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Win32PlatformTest, OnlyAFileWithThatVeryLongNameIsTheEntry) {
    // Wine makes its own short names, so the rule is checked on search results made up here.
    const auto isTheEntry = [](const wchar_t* name, const wchar_t* shortName, DWORD attributes) {
        WIN32_FIND_DATAW found = {};
        found.dwFileAttributes = attributes;
        ::lstrcpynW(found.cFileName, name, MAX_PATH);
        ::lstrcpynW(found.cAlternateFileName, shortName, 14);
        return IsTheEntry(found, L"autorun.inf");
    };
    EXPECT_FALSE(isTheEntry(L"x.inf", L"AUTORUN.INF", FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(isTheEntry(L"AUTORUN.INF", L"", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(isTheEntry(L"autorun.inf", L"", FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(Win32PlatformTest, ChangesTheCurrentDrive) {
    platform.ChangeCurrentDrive(L"e:");
    wchar_t folder[MAX_PATH] = {};
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH, folder), 0U);
    EXPECT_EQ(std::towlower(folder[0]), L'e');
    platform.ChangeCurrentDrive(L"d:");
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH, folder), 0U);
    EXPECT_EQ(std::towlower(folder[0]), L'd');
    EXPECT_THROW(platform.ChangeCurrentDrive(L"q:"), PlatformError);
}

TEST_F(Win32PlatformTest, ListsTheLogicalDrivesInOrderAsLetterAndColon) {
    platform.RefreshDrives();
    std::vector<std::wstring> entries;
    for (std::int16_t i = 0; i < platform.DriveCount(); ++i) {
        entries.push_back(platform.DriveEntry(i));
    }
    EXPECT_EQ(entries, (std::vector<std::wstring>{L"c:", L"d:", L"e:", L"f:", L"g:", L"h:"}));
    EXPECT_THROW(platform.DriveEntry(platform.DriveCount()), PlatformError);
}

TEST_F(Win32PlatformTest, SuppressesTheNoDiskBox) {
    EXPECT_NE(::GetErrorMode() & SEM_FAILCRITICALERRORS, 0U);
}

TEST_F(Win32PlatformTest, ProbesDrivesThroughTheRealFileSystemObject) {
    EXPECT_EQ(DExists(platform, L"d:"), DriveState::DriveReady);
    EXPECT_EQ(DExists(platform, L"c:"), DriveState::DriveReady);
    EXPECT_EQ(DExists(platform, kNoMediumDrive), DriveState::DriveNotReady);
    EXPECT_EQ(DExists(platform, kAbsentDrive), DriveState::DriveAbsent);
    EXPECT_EQ(DExists(platform, L"q:"), DriveState::DriveAbsent);
}

TEST_F(Win32PlatformTest, AutomationFailuresAreProjectErrors) {
    EXPECT_THROW(platform.CreateServiceObject(L"Quenlith.NoSuchClass"), PlatformError);
    const ObjectPtr service = platform.CreateServiceObject(L"Scripting.FileSystemObject");
    EXPECT_THROW(platform.CallMember(*service, L"nosuchmember"), PlatformError);
    EXPECT_THROW(platform.CallMember(*service, L"getdrive"), PlatformError); // argument missing
}

TEST_F(Win32PlatformTest, AppendsAtTheEndAndClears) {
    platform.AppendItem(L"LOG:");
    platform.AppendItem(L"b");
    platform.AppendItem(L"a");
    EXPECT_EQ(ListItems(controls.get().log), (std::vector<std::wstring>{L"LOG:", L"b", L"a"}));
    platform.ClearItems();
    EXPECT_TRUE(ListItems(controls.get().log).empty());
}

} // namespace
} // namespace quenlith::testing
