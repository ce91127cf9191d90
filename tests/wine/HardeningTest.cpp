// The scan over real files when the world misbehaves: drives that vanish mid-run, links,
// folders in the way, a log that grows very long, and many runs that must leak nothing.
#include "SandboxScanTest.h"

#include <cstdlib>
#include <functional>
#include <string_view>

namespace quenlith::testing {
namespace {

using Log = std::vector<std::wstring>;

// The real platform, with a hook that runs before each of its operations, given its name.
class Hooked final : public Platform {
public:
    Hooked(Platform& real, std::function<void(std::string_view)> hook)
        : real_(real), hook_(std::move(hook)) {}

    void RefreshDrives() override {
        hook_("RefreshDrives");
        real_.RefreshDrives();
    }
    std::int16_t DriveCount() override {
        hook_("DriveCount");
        return real_.DriveCount();
    }
    std::wstring DriveEntry(std::int16_t index) override {
        hook_("DriveEntry");
        return real_.DriveEntry(index);
    }
    void ChangeCurrentDrive(const std::wstring& drive) override {
        hook_("ChangeCurrentDrive");
        real_.ChangeCurrentDrive(drive);
    }
    std::wstring CurrentFolder() override {
        hook_("CurrentFolder");
        return real_.CurrentFolder();
    }
    void ChangeCurrentFolder(const std::wstring& folder) override {
        hook_("ChangeCurrentFolder");
        real_.ChangeCurrentFolder(folder);
    }
    void SetFileAttributes(const std::wstring& path, FileAttribute attributes) override {
        hook_("SetFileAttributes");
        real_.SetFileAttributes(path, attributes);
    }
    std::wstring FindMatchingFile(const std::wstring& path, FileAttribute mask) override {
        hook_("FindMatchingFile");
        return real_.FindMatchingFile(path, mask);
    }
    void DeleteFiles(const std::wstring& path) override {
        hook_("DeleteFiles");
        real_.DeleteFiles(path);
    }
    ObjectPtr CreateServiceObject(const std::wstring& id) override {
        hook_("CreateServiceObject");
        return real_.CreateServiceObject(id);
    }
    Value CallMember(Object& object, const std::wstring& member,
                     std::span<const std::wstring> arguments) override {
        hook_("CallMember");
        return real_.CallMember(object, member, arguments);
    }
    void ShowMessageBox(const std::wstring& text, MessageBoxStyle style,
                        const std::wstring& title) override {
        hook_("ShowMessageBox");
        real_.ShowMessageBox(text, style, title);
    }
    void AppendItem(const std::wstring& text) override {
        hook_("AppendItem");
        real_.AppendItem(text);
    }
    void ClearItems() override {
        hook_("ClearItems");
        real_.ClearItems();
    }

private:
    Platform& real_;
    std::function<void(std::string_view)> hook_;
};

using HardeningTest = SandboxScanTest;

TEST_F(HardeningTest, ADriveWhoseFolderVanishesAfterTheRefreshIsPassedOver) {
    CreateFileWith(L"e:\\autorun.inf", FILE_ATTRIBUTE_HIDDEN);
    const std::wstring folder = SandboxPath(L"e");
    const std::wstring away = SandboxPath(L"e-away");
    {
        // The drive's folder comes back however the scan ends, for the tests after it too.
        struct PutBack {
            const std::wstring &from, &to;
            ~PutBack() { ::MoveFileW(from.c_str(), to.c_str()); }
        } const putBack{away, folder};
        Hooked hooked(platform, [&](std::string_view operation) {
            if (operation == "DriveCount") { // right after the refresh
                ASSERT_TRUE(::MoveFileW(folder.c_str(), away.c_str()));
            }
        });
        ScanAndRemove(hooked);
    }

    EXPECT_EQ(LogItems(),
              (Log{L"Autorun Not Found : c:\\autorun.inf", L"Autorun Not Found : d:\\autorun.inf",
                   L"Autorun Not Found : f:\\autorun.inf"}));
    EXPECT_NE(AttributesOf(L"e:\\autorun.inf"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(HardeningTest, TheWindowPaintsWhileADriveIsSlow) {
    // A window of this thread on screen, as the program's is while it scans.
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                          nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    int slowDrives = 0;
    int unpainted = 0;
    Hooked hooked(platform, [&](std::string_view operation) {
        if (operation == "FindMatchingFile") {
            // The drive takes its time, and the window needs painting meanwhile: no entry
            // comes before the search to let it.
            ::InvalidateRect(window, nullptr, TRUE);
            ::Sleep(50);
            ++slowDrives;
        } else if (operation == "AppendItem" && ::GetUpdateRect(window, nullptr, FALSE)) {
            ++unpainted;
        }
    });
    ScanAndRemove(hooked);
    ::DestroyWindow(window);
    EXPECT_EQ(slowDrives, 4); // c: to f:
    EXPECT_EQ(unpainted, 0);
}

TEST_F(HardeningTest, AFolderNamedAutorunInfKeepsEverythingInIt) {
    CreateFolder(L"f:\\autorun.inf");
    SetAttributes(L"f:\\autorun.inf", kWellHidden);
    CreateFileWith(L"f:\\autorun.inf\\autorun.inf", FILE_ATTRIBUTE_HIDDEN);
    CreateFileWith(L"f:\\autorun.inf\\keep.txt", FILE_ATTRIBUTE_READONLY);
    const DWORD folderAttributes = AttributesOf(L"f:\\autorun.inf");
    ASSERT_NE(folderAttributes & FILE_ATTRIBUTE_HIDDEN, 0U);

    ScanAndRemove(platform);

    EXPECT_EQ(LogItems().back(), L"Autorun Not Found : f:\\autorun.inf");
    EXPECT_EQ(AttributesOf(L"f:\\autorun.inf"), folderAttributes); // still hidden, as it was
    EXPECT_NE(AttributesOf(L"f:\\autorun.inf\\autorun.inf") & FILE_ATTRIBUTE_HIDDEN, 0U);
    EXPECT_NE(AttributesOf(L"f:\\autorun.inf\\keep.txt") & FILE_ATTRIBUTE_READONLY, 0U);
    RemoveTarget(L"f:\\autorun.inf\\autorun.inf");
    RemoveTarget(L"f:\\autorun.inf\\keep.txt");
}

TEST_F(HardeningTest, TheLogKeepsEveryEntryPastFiftyThousand) {
    // A long session's earlier entries, then runs (four ready drives, four entries each)
    // until the log holds more than fifty thousand.
    constexpr std::size_t kEarlier = 48000;
    platform.AppendItem(L"LOG:");
    for (std::size_t i = 1; i < kEarlier; ++i) {
        platform.AppendItem(L"Autorun Not Found : earlier");
    }
    std::size_t runs = 0;
    while (::SendMessageW(controls.get().log, LB_GETCOUNT, 0, 0) <= 50000) {
        ScanAndRemove(platform);
        ++runs;
    }
    const Log log = LogItems();
    ASSERT_EQ(log.size(), kEarlier + 4 * runs);
    EXPECT_EQ(log.front(), L"LOG:");
    for (std::size_t i = kEarlier; i < log.size(); i += 4) {
        ASSERT_EQ(log[i], L"Autorun Not Found : c:\\autorun.inf") << "entry " << i;
        ASSERT_EQ(log[i + 3], L"Autorun Not Found : f:\\autorun.inf") << "entry " << i + 3;
    }
}

TEST_F(HardeningTest, AThousandScansLeakNoHandleWindowOrComObject) {
    const auto counts = [] {
        const HANDLE process = ::GetCurrentProcess();
        return std::vector<DWORD>{CountHandles(process), CountWindows(::GetCurrentProcessId()),
                                  ::GetGuiResources(process, GR_GDIOBJECTS),
                                  ::GetGuiResources(process, GR_USEROBJECTS)};
    };
    CreateFileWith(L"d:\\autorun.inf", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    ScanAndRemove(platform); // the first run loads what stays loaded
    const std::vector<DWORD> before = counts();
    ASSERT_GT(before[0], 0U);
    for (int i = 0; i < 1000; ++i) {
        if (i % 2 == 0) {
            CreateFileWith(L"d:\\autorun.inf", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        }
        ScanAndRemove(platform);
        platform.ClearItems();
    }
    EXPECT_EQ(counts(), before) << "handles, windows, GDI objects, USER objects";
    EXPECT_EQ(platform.LiveObjects(), 0);
}

// A smashed stack ends the program at once, as Windows' /GS does: no handler of its own runs.
TEST(StackCookieTest, AnOverrunEndsTheProcessBeforeAnyOfItsHandlers) {
    std::wstring command = L"C:\\tests\\stack_overrun.exe";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process));
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    EXPECT_EQ(code, STATUS_STACK_BUFFER_OVERRUN) << std::hex << "ended with 0x" << code;
}

} // namespace
} // namespace quenlith::testing
