// The whole program, end to end: the real window under Xvfb and wine64, driven from another
// process over the sandbox drives. The program's path is C:\tests\Quenlith.exe beside us.
#include "../wine/WineSupport.h"
#include "AppDriver.h"
#include "ui/Fonts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace quenlith::testing {
namespace {

using Log = std::vector<std::wstring>;

const std::wstring kProgram = L"C:\\tests\\Quenlith.exe";

// The design at the scalings the tests use: the client area, then the scan button and the log
// list as left, top, width, height.
struct Design {
    LONG width, height;
    std::vector<LONG> scan, list;
};
const Design k100Percent = {329, 222, {8, 40, 129, 17}, {8, 64, 313, 132}};
const Design k150Percent = {494, 333, {12, 60, 194, 26}, {12, 96, 470, 198}};

// A control's left, top, width and height in its window's client area.
std::vector<LONG> PlaceOf(HWND control) {
    const RECT r = ClientRectOf(control);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void ExpectDesign(const App& app, const Design& design) {
    RECT client = {};
    ::GetClientRect(app.window(), &client);
    EXPECT_EQ((std::vector<LONG>{client.right, client.bottom}),
              (std::vector<LONG>{design.width, design.height}));
    EXPECT_EQ(PlaceOf(app.Button(L"Scan && Remove")), design.scan);
    EXPECT_EQ(PlaceOf(app.Child(L"ListBox")), design.list);
    // The drive list is there for the scan alone: wholly out of sight.
    EXPECT_GE(ClientRectOf(app.Child(L"ComboBox")).top, client.bottom);
}

// The log after one scan of the clean sandbox drives.
const Log kCleanScan = {
    L"LOG:",
    L"Autorun Not Found : c:\\autorun.inf",
    L"Autorun Not Found : d:\\autorun.inf",
    L"Autorun Not Found : e:\\autorun.inf",
    L"Autorun Not Found : f:\\autorun.inf",
};

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
    ExpectDesign(*app, k100Percent); // at 96 DPI a pixel is 15 twips
    EXPECT_EQ(PlaceOf(app->Button(L"&About")), (std::vector<LONG>{152, 40, 73, 17}));
    EXPECT_EQ(PlaceOf(app->Button(L"&Clear LOG")), (std::vector<LONG>{240, 40, 81, 17}));
    EXPECT_EQ(TextOf(app->Child(L"Static", L"Quenlith")), L"Quenlith");
    POINT corner = {4, 4}; // the window's own background, red 192, green 192, blue 255
    ::ClientToScreen(app->window(), &corner);
    EXPECT_EQ(ScreenPixel(corner), RGB(192, 192, 255));
}

TEST_F(WindowTest, AScreenReaderHearsTheLogByNameAndNothingOfTheDriveList) {
    EXPECT_EQ(AccessibleOf(app->Child(L"ListBox")).name, L"Activity log");
    EXPECT_NE(AccessibleOf(app->Child(L"ComboBox")).state & STATE_SYSTEM_INVISIBLE, 0);
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
    EXPECT_EQ(LogOnceItHas(5), kCleanScan);
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
                                                  L"ListBox Activity log", L"Button &Clear LOG"}));

    app->Press({VK_TAB});
    WaitFor([&] { return app->Focus() == app->Button(L"Scan && Remove"); });
    app->Press({VK_RETURN}); // Enter presses the focused button
    EXPECT_EQ(LogOnceItHas(5), kCleanScan);

    app->Press({VK_MENU, 'A'});
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = app->MessageBox()) != nullptr; }));
    app->Press({VK_RETURN});
    EXPECT_TRUE(WaitFor([&] { return app->MessageBox() == nullptr; }));
}

TEST_F(WindowTest, FocusComesBackWhereItWasAfterAboutAndAfterAnotherWindow) {
    const auto aboutShows = [&] {
        HWND box = nullptr;
        const bool shown = WaitFor([&] { return (box = app->MessageBox()) != nullptr; });
        app->Press({VK_RETURN});
        return shown && WaitFor([&] { return app->MessageBox() == nullptr; });
    };
    Click(L"&About");
    ASSERT_TRUE(aboutShows());
    ASSERT_TRUE(WaitFor([&] { return app->Focus() == app->Button(L"&About"); }));
    app->Press({VK_RETURN}); // at once: Enter presses About again
    ASSERT_TRUE(aboutShows());

    // Away to another window and back.
    const HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                         0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    ::SetForegroundWindow(other);
    EXPECT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == other; }));
    ::DestroyWindow(other);
    ::SetForegroundWindow(app->window());
    EXPECT_TRUE(WaitFor([&] { return app->Focus() == app->Button(L"&About"); }));
    app->Press({VK_SPACE});
    EXPECT_TRUE(aboutShows());
}

TEST_F(WindowTest, TheNewestEntryStaysInSightAsTheLogGrows) {
    const HWND list = app->Child(L"ListBox");
    const auto lastShown = [&] {
        const LRESULT rows = (ClientRectOf(list).bottom - ClientRectOf(list).top) /
                             ::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
        return ::SendMessageW(list, LB_GETTOPINDEX, 0, 0) + rows - 1;
    };
    for (std::size_t run = 1; run <= 4; ++run) {
        Click(L"Scan && Remove");
        LogOnceItHas(1 + 4 * run); // c: to f:, four lines a run
    }
    EXPECT_GE(lastShown(), 16); // the seventeenth entry, well past the list's height
    EXPECT_GT(::SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
    Click(L"&Clear LOG");
    LogOnceItHas(1);
    EXPECT_EQ(::SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
}

TEST_F(WindowTest, ADpiChangeLaysTheWindowOutAgainFromItsDesign) {
    const HWND list = app->Child(L"ListBox");
    const LRESULT rowAt96 = ::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    RECT frame = {};
    ::GetWindowRect(app->window(), &frame);
    const RECT suggested = {frame.left + 10, frame.top + 10,
                            frame.left + 10 + (frame.right - frame.left) * 3 / 2,
                            frame.top + 10 + (frame.bottom - frame.top) * 3 / 2};

    app->ChangeDpi(144, suggested);
    ExpectDesign(*app, k150Percent);
    RECT moved = {};
    ::GetWindowRect(app->window(), &moved);
    EXPECT_EQ((std::vector<LONG>{moved.left, moved.top}),
              (std::vector<LONG>{suggested.left, suggested.top}));
    EXPECT_GT(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), rowAt96); // the fonts grew too

    app->ChangeDpi(96, frame);
    ExpectDesign(*app, k100Percent);
    EXPECT_EQ(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), rowAt96);
}

TEST_F(WindowTest, ClosingTheWindowEndsTheProgram) {
    ::PostMessageW(app->window(), WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    EXPECT_TRUE(app->WaitForExit(exitCode));
    EXPECT_EQ(exitCode, 0U);
}

TEST_F(WindowTest, ACloseAskedForDuringACommandEndsTheProgramRightAfterIt) {
    Click(L"&About");
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = app->MessageBox()) != nullptr; }));
    // Posted before the click, so the box's own loop hands it to the window first.
    ::PostMessageW(app->window(), WM_CLOSE, 0, 0);
    app->Click(::FindWindowExW(box, nullptr, L"Button", L"OK"));
    DWORD exitCode = 1;
    EXPECT_TRUE(app->WaitForExit(exitCode));
    EXPECT_EQ(exitCode, 0U);
}

} // namespace
} // namespace quenlith::testing

namespace quenlith::testing {
namespace {

// Run with the whole session at 150 %. The window takes its monitor's DPI: 144 on Windows and
// Wine 8, where a pixel is 10 twips; Wine 10 gives monitors the display's own DPI (96) whatever
// the session's scaling.
TEST(WindowScaling, TakesTheDpiOfItsMonitorAtOneHundredAndFiftyPercent) {
    const HDC screen = ::GetDC(nullptr);
    ASSERT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), 144) << "not run at 150 %";
    ::ReleaseDC(nullptr, screen);
    // What the session gives a window aware of its monitor, as the program's is: ask for one of
    // ours.
    using GetDpiForWindow = UINT WINAPI(HWND);
    const auto dpiOf = reinterpret_cast<GetDpiForWindow*>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const HWND ours = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        nullptr, nullptr);
    const UINT dpi = dpiOf != nullptr ? dpiOf(ours) : 144;
    ::DestroyWindow(ours);
    const App app(kProgram);
    ASSERT_TRUE(dpi == 144 || dpi == 96) << dpi;
    ExpectDesign(app, dpi == 144 ? k150Percent : k100Percent);
}

// The substitute that QUENLITH_FONT_SUBSTITUTES ("face=substitute,...") gave the prefix for a
// face, if any.
std::wstring SubstituteOf(std::wstring_view face) {
    const char* given = std::getenv("QUENLITH_FONT_SUBSTITUTES");
    for (std::string_view rest = given != nullptr ? given : ""; !rest.empty();) {
        const std::string_view pair = rest.substr(0, rest.find(','));
        rest.remove_prefix(std::min(rest.size(), pair.size() + 1));
        const std::string_view name = pair.substr(0, pair.find('='));
        if (name.size() < pair.size() && std::wstring(name.begin(), name.end()) == face) {
            return {pair.begin() + static_cast<std::ptrdiff_t>(name.size()) + 1, pair.end()};
        }
    }
    return {};
}

// Each text is measured in the font the control got: a button measures its own (its ideal
// size, margins included); a label's is measured here, from the design at that DPI by the
// window's own LogFontOf, and resolves as the window's did: the log's rows are its height.
TEST(WindowScaling, EveryLabelAndButtonShowsItsWholeTextOnOneLine) {
    const App app(kProgram);
    RECT frame = {};
    ::GetWindowRect(app.window(), &frame);
    const HDC screen = ::GetDC(nullptr);
    for (const int dpi : {96, 144, 192}) {
        app.ChangeDpi(dpi, frame);
        for (const layout::ControlSpec& design : layout::kControls) {
            const layout::FontSpec& fontSpec =
                layout::kFonts[static_cast<std::size_t>(design.font)];
            const LOGFONTW logFont = LogFontOf(fontSpec, dpi);
            const HFONT font = ::CreateFontIndirectW(&logFont);
            const HGDIOBJ previous = ::SelectObject(screen, font);
            // The family of the font file GDI picked: a substitute keeps the asked-for face name.
            alignas(OUTLINETEXTMETRICW) BYTE outline[1024] = {};
            auto& metrics = *reinterpret_cast<OUTLINETEXTMETRICW*>(outline);
            ASSERT_NE(::GetOutlineTextMetricsW(screen, sizeof outline, &metrics), 0U);
            const std::wstring face(reinterpret_cast<const wchar_t*>(
                outline + reinterpret_cast<std::uintptr_t>(metrics.otmpFamilyName)));
            const HWND control = ::GetDlgItem(app.window(), static_cast<int>(design.id));
            const std::wstring text = TextOf(control);
            SIZE needs = {};
            if (design.kind == layout::Kind::Button) {
                needs = app.IdealSize(control);
            } else if (design.kind == layout::Kind::Label) {
                RECT extent = {};
                ::DrawTextW(screen, text.c_str(), -1, &extent,
                            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
                needs = {extent.right, extent.bottom};
            } else if (design.kind == layout::Kind::List) {
                EXPECT_EQ(::SendMessageW(control, LB_GETITEMHEIGHT, 0, 0),
                          metrics.otmTextMetrics.tmHeight);
            }
            ::SelectObject(screen, previous);
            ::DeleteObject(font);
            if (const std::wstring substitute = SubstituteOf(fontSpec.face); !substitute.empty()) {
                EXPECT_EQ(face, substitute);
            }
            if (design.kind != layout::Kind::Button && design.kind != layout::Kind::Label) {
                continue; // the log and the drive list show no text of their own
            }
            RECT client = {};
            ::GetClientRect(control, &client);
            char shown[64] = {};
            ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, shown, sizeof shown, nullptr,
                                  nullptr);
            std::printf("%3d DPI, %-12ls %s: needs %3ld x %2ld, has %3ld x %2ld\n", dpi,
                        face.c_str(), shown, needs.cx, needs.cy, client.right, client.bottom);
            EXPECT_LE(needs.cx, client.right) << text << " at " << dpi << " DPI";
            EXPECT_LE(needs.cy, client.bottom) << text << " at " << dpi << " DPI";
        }
    }
    ::ReleaseDC(nullptr, screen);
}

} // namespace
} // namespace quenlith::testing
