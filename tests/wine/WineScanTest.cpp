// Whole scan runs over the sandbox drives, against the real Win32 platform.
#include "SandboxScanTest.h"

namespace quenlith::testing {
namespace {

using Log = std::vector<std::wstring>;

using WineScanTest = SandboxScanTest;

TEST_F(WineScanTest, CleansTheReadyDrivesAndReportsEachInOrder) {
    CreateFileWith(L"d:\\autorun.inf", kWellHidden);
    CreateFolder(L"f:\\autorun.inf");
    const auto currentFolder = [] {
        wchar_t folder[MAX_PATH] = {};
        Require(::GetCurrentDirectoryW(MAX_PATH, folder) != 0, "GetCurrentDirectoryW");
        return std::wstring(folder);
    };
    const std::wstring before = currentFolder();

    ScanAndRemove(platform);

    EXPECT_EQ(LogItems(), (Log{
                              L"Autorun Not Found : c:\\autorun.inf",
                              L"Autorun Found : d:\\autorun.inf",
                              L"Autorun Deleted : d:\\autorun.inf",
                              L"Autorun Not Found : e:\\autorun.inf",
                              L"Autorun Not Found : f:\\autorun.inf",
                          }));
    EXPECT_EQ(AttributesOf(L"d:\\autorun.inf"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(AttributesOf(L"f:\\autorun.inf") & FILE_ATTRIBUTE_DIRECTORY, 0U);
    EXPECT_EQ(currentFolder(), before) << "a scanned drive is still held as the current folder";
}

TEST_F(WineScanTest, AFileHeldOpenIsFoundButStays) {
    CreateFileWith(L"e:\\autorun.inf", FILE_ATTRIBUTE_HIDDEN);
    {
        const HeldOpenFile held(L"e:\\autorun.inf");
        ScanAndRemove(platform);
    }
    const Log log = LogItems();
    EXPECT_EQ(Log(log.begin() + 1, log.end()), (Log{
                                                   L"Autorun Not Found : d:\\autorun.inf",
                                                   L"Autorun Found : e:\\autorun.inf",
                                                   L"Autorun Not Found : f:\\autorun.inf",
                                               }));
    EXPECT_NE(AttributesOf(L"e:\\autorun.inf"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(WineScanTest, AFileHeldOpenWithDeleteSharingIsDeletedExactlyWhenItsNameGoes) {
    // As an indexer or a virus scanner holds it. With POSIX semantics the name goes at once;
    // without (Wine 8) it lingers until the other handle closes, and is only found.
    CreateFileWith(L"e:\\autorun.inf", kWellHidden);
    bool gone = false;
    {
        const HeldOpenFile held(L"e:\\autorun.inf", HeldOpenFile::Sharing::Delete);
        ScanAndRemove(platform);
        gone = AttributesOf(L"e:\\autorun.inf") == INVALID_FILE_ATTRIBUTES;
    }
    const Log log = LogItems();
    EXPECT_EQ(Log(log.begin() + 2, log.end() - 1),
              (gone ? Log{L"Autorun Found : e:\\autorun.inf", L"Autorun Deleted : e:\\autorun.inf"}
                    : Log{L"Autorun Found : e:\\autorun.inf"}));
    EXPECT_EQ(gone, TakesPosixDelete());
}

TEST_F(WineScanTest, ASecondRunFindsTheDrivesClean) {
    CreateFileWith(L"f:\\autorun.inf", FILE_ATTRIBUTE_SYSTEM);
    ScanAndRemove(platform);
    ScanAndRemove(platform);
    EXPECT_EQ(LogItems(), (Log{
                              L"Autorun Not Found : c:\\autorun.inf",
                              L"Autorun Not Found : d:\\autorun.inf",
                              L"Autorun Not Found : e:\\autorun.inf",
                              L"Autorun Found : f:\\autorun.inf",
                              L"Autorun Deleted : f:\\autorun.inf",
                              L"Autorun Not Found : c:\\autorun.inf",
                              L"Autorun Not Found : d:\\autorun.inf",
                              L"Autorun Not Found : e:\\autorun.inf",
                              L"Autorun Not Found : f:\\autorun.inf",
                          }));
}

} // namespace
} // namespace quenlith::testing
