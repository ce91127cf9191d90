// The whole program, end to end: the real window under Xvfb and wine64, driven from another
// process over the sandbox drives. The program's path is C:\tests\Quenlith.exe beside us.
#include "../wine/WineSupport.h"
#include "AppDriver.h"

#include <gtest/gtest.h>

#include <optional>

namespace quenlith::testing {
namespace {

using Log = std::vector<std::wstring>;

const std::wstring kProgram = L"C:\\tests\\Quenlith.exe";

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSandboxTargets(); }
    // Waits until the log holds exactly that many items, then gives them.
    Log LogOnceItHas(std::size_t count) {
        WaitFor([&] { return app->Log().size() == count; });
        return app->Log();
    }
    void Click(const wchar_t* button) { app->Click(app->Button(button)); }

    std::optional<App> app{std::in_place, kProgram};
};

TEST_F(WindowTest, StartsWithTheHeaderAloneAndTheDesignedLayout) {
    EXPECT_EQ(app->Log(), Log{L"LOG:"});

    // At 96 DPI a pixel is 15 twips.
    RECT client = {};
    ::GetClientRect(app->window(), &client);
    EXPECT_EQ(client.right, 329);
    EXPECT_EQ(client.bottom, 222);
    const auto at = [](HWND control) {
        const RECT r = ClientRectOf(control);
        return std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    EXPECT_EQ(at(app->Button(L"Scan && Remove")), (std::vector<LONG>{8, 40, 129, 17}));
    EXPECT_EQ(at(app->Button(L"&About")), (std::vector<LONG>{152, 40, 73, 17}));
    EXPECT_EQ(at(app->Button(L"&Clear LOG")), (std::vector<LONG>{240, 40, 81, 17}));
    EXPECT_EQ(at(app->Child(L"ListBox")), (std::vector<LONG>{8, 64, 313, 132}));
    // The drive list is there for the scan alone: wholly out of sight.
    const HWND driveList = app->Child(L"ComboBox");
    ASSERT_NE(driveList, nullptr);
    EXPECT_GE(ClientRectOf(driveList).top, client.bottom);
    EXPECT_EQ(TextOf(app->Child(L"Static", L"Quenlith")), L"Quenlith");
}

TEST_F(WindowTest, ScanRemovesWhatItCanAndLogsEveryReadyDriveInOrder) {
    CreateFileWith(L"c:\\autorun.inf", FILE_ATTRIBUTE_HIDDEN);
    CreateFileWith(L"d:\\autorun.inf", kWellHidden);
    CreateFolder(L"f:\\autorun.inf");
    {
        const HeldOpenFile held(L"c:\\autorun.inf");
        Click(L"Scan && Remove");
        EXPECT_EQ(LogOnceItHas(6), (Log{
                                       L"LOG:",
                                       L"Autorun Found : c:\\autorun.inf",
                                       L"Autorun Found : d:\\autorun.inf",
                                       L"Autorun Deleted : d:\\autorun.inf",
                                       L"Autorun Not Found : e:\\autorun.inf",
                                       L"Autorun Not Found : f:\\autorun.inf",
                                   }));
    }
    EXPECT_NE(AttributesOf(L"c:\\autorun.inf"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(AttributesOf(L"d:\\autorun.inf"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(AttributesOf(L"f:\\autorun.inf") & FILE_ATTRIBUTE_DIRECTORY, 0U);

    // The second scan goes below the first; the file is no longer held, so now it goes.
    Click(L"Scan && Remove");
    const Log log = LogOnceItHas(11);
    EXPECT_EQ(Log(log.begin() + 6, log.end()), (Log{
                                                   L"Autorun Found : c:\\autorun.inf",
                                                   L"Autorun Deleted : c:\\autorun.inf",
                                                   L"Autorun Not Found : d:\\autorun.inf",
                                                   L"Autorun Not Found : e:\\autorun.inf",
                                                   L"Autorun Not Found : f:\\autorun.inf",
                                               }));
    EXPECT_EQ(AttributesOf(L"c:\\autorun.inf"), INVALID_FILE_ATTRIBUTES);

    if (const char* results = std::getenv("QUENLITH_RESULTS"); results != nullptr) {
        SaveScreenshot(app->window(), L"C:\\tests\\results\\quenlith-window.bmp");
    }
}

TEST_F(WindowTest, ClearLeavesTheHeaderAloneEvenTwice) {
    Click(L"Scan && Remove");
    LogOnceItHas(5);
    Click(L"&Clear LOG");
    EXPECT_EQ(LogOnceItHas(1), Log{L"LOG:"});
    Click(L"&Clear LOG");
    Click(L"Scan && Remove"); // a run after a clear appends below the header
    EXPECT_EQ(LogOnceItHas(5).front(), L"LOG:");
}

TEST_F(WindowTest, AboutIsModalToTheWindowAndClosesWithOk) {
    Click(L"&About");
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = app->MessageBox()) != nullptr; }));
    EXPECT_EQ(::GetWindow(box, GW_OWNER), app->window());
    EXPECT_FALSE(::IsWindowEnabled(app->window()));
    constexpr int kMessageTextId = 0xFFFF; // the message box's text control
    EXPECT_NE(TextOf(::GetDlgItem(box, kMessageTextId)).find(L"autorun.inf"), std::wstring::npos);

    app->Click(::FindWindowExW(box, nullptr, L"Button", L"OK"));
    EXPECT_TRUE(WaitFor([&] { return app->MessageBox() == nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowEnabled(app->window()) != FALSE; }));
}

TEST_F(WindowTest, AccessKeysAndTabWorkFromTheKeyboard) {
    app->Press({VK_SPACE}); // the scan button has the focus at start
    LogOnceItHas(5);
    app->Press({VK_MENU, 'C'});
    EXPECT_EQ(LogOnceItHas(1), Log{L"LOG:"});

    // Tab visits the buttons and the log, never a label or the hidden drive list.
    const HWND start = app->Focus();
    EXPECT_EQ(start, app->Button(L"&Clear LOG")); // the access key moved the focus there
    std::vector<std::wstring> visited;
    for (int i = 0; i < 4; ++i) {
        const HWND before = app->Focus();
        app->Press({VK_TAB});
        WaitFor([&] { return app->Focus() != before; });
        wchar_t name[32] = {};
        ::GetClassNameW(app->Focus(), name, 32);
        visited.push_back(std::wstring(name) + L" " + TextOf(app->Focus()));
    }
    EXPECT_EQ(app->Focus(), start);
    EXPECT_EQ(visited, (std::vector<std::wstring>{L"Button Scan && Remove", L"Button &About",
                                                  L"ListBox ", L"Button &Clear LOG"}));

    app->Press({VK_TAB});
    WaitFor([&] { return app->Focus() == app->Button(L"Scan && Remove"); });
    app->Press({VK_RETURN}); // Enter presses the focused button
    EXPECT_EQ(LogOnceItHas(5).size(), 5U);

    app->Press({VK_MENU, 'A'});
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = app->MessageBox()) != nullptr; }));
    app->Press({VK_RETURN});
    EXPECT_TRUE(WaitFor([&] { return app->MessageBox() == nullptr; }));
}

TEST_F(WindowTest, ClosingTheWindowEndsTheProgram) {
    ::PostMessageW(app->window(), WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    EXPECT_TRUE(app->WaitForExit(exitCode));
    EXPECT_EQ(exitCode, 0U);
}

} // namespace
} // namespace quenlith::testing

namespace quenlith::testing {
namespace {

// Run with the whole session at 150 %, where a pixel is 10 twips.
TEST(WindowScaling, KeepsTheDesignAtOneHundredAndFiftyPercent) {
    const HDC screen = ::GetDC(nullptr);
    ASSERT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), 144) << "not run at 150 %";
    ::ReleaseDC(nullptr, screen);
    const App app(kProgram);
    RECT client = {};
    ::GetClientRect(app.window(), &client);
    EXPECT_EQ(client.right, 494);
    EXPECT_EQ(client.bottom, 333);
    const RECT scan = ClientRectOf(app.Button(L"Scan && Remove"));
    EXPECT_EQ((std::vector<LONG>{scan.left, scan.top, scan.right, scan.bottom}),
              (std::vector<LONG>{12, 60, 12 + 194, 60 + 26}));
    const RECT list = ClientRectOf(app.Child(L"ListBox"));
    EXPECT_EQ((std::vector<LONG>{list.left, list.top, list.right, list.bottom}),
              (std::vector<LONG>{12, 96, 12 + 470, 96 + 198}));
    EXPECT_GE(ClientRectOf(app.Child(L"ComboBox")).top, client.bottom);
}

} // namespace
} // namespace quenlith::testing
