#include "../wine/WineSupport.h"
#include "AppDriver.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace {

using namespace quenlith::testing;

// Aware of each monitor's DPI, as the program is, so that both see the same pixels; Windows 10
// and Wine 10 show other programs' windows scaled to a process that knows less.
void SeeRealPixels() {
    using SetContext = BOOL WINAPI(DPI_AWARENESS_CONTEXT);
    const auto set = reinterpret_cast<SetContext*>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (set == nullptr || !set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {
        ::SetProcessDPIAware();
    }
}

// Autorun files as malware leaves them, and the folder some people make to keep them away.
void SeedDemoDrives() {
    CreateFileWith(L"d:\\autorun.inf", kWellHidden);
    CreateFileWith(L"e:\\autorun.inf", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    CreateFolder(L"f:\\autorun.inf");
    std::wprintf(L"Demo drives: d: and e: carry a hidden autorun.inf, f: a folder of that name.\n");
}

void PrintWhatIsLeft() {
    for (const wchar_t* path : {L"d:\\autorun.inf", L"e:\\autorun.inf", L"f:\\autorun.inf"}) {
        const DWORD attributes = AttributesOf(path);
        std::wprintf(L"  %ls: %ls\n", path,
                     attributes == INVALID_FILE_ATTRIBUTES          ? L"gone"
                     : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? L"folder, left in place"
                                                                    : L"still there");
    }
}

// Under a real display: the user works the window; afterwards, what is left on the drives.
int RunShow(const wchar_t* program) {
    SeedDemoDrives();
    const App app(program);
    std::wprintf(L"Quenlith is running; close its window to end the demo.\n");
    std::fflush(stdout);
    DWORD exitCode = 0;
    while (!app.WaitForExit(exitCode)) {
    }
    std::wprintf(L"On the demo drives now:\n");
    PrintWhatIsLeft();
    return 0;
}

// Headless: press Scan & Remove, print the log's lines, save a picture of the window.
int RunDemo(const wchar_t* program, const wchar_t* screenshot) {
    SeedDemoDrives();
    const App app(program);
    app.Click(app.Button(L"Scan && Remove"));
    std::size_t seen = 0;
    WaitFor([&] {
        const std::size_t now = app.Log().size();
        const bool settled = now > 1 && now == seen;
        seen = now;
        return settled;
    });
    std::wprintf(L"Pressed Scan & Remove; the log reads:\n");
    for (const std::wstring& line : app.Log()) {
        std::wprintf(L"  %ls\n", line.c_str());
    }
    std::wprintf(L"On the demo drives now:\n");
    PrintWhatIsLeft();
    SaveScreenshot(app.window(), screenshot);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    SeeRealPixels();
    if (argc == 5 && std::wstring_view(argv[1]).starts_with(quenlith::testing::kHoldOpen)) {
        return quenlith::testing::HoldOpen(argv[1], argv[2], argv[3], argv[4]);
    }
    if (argc == 4 && std::wstring(argv[1]) == L"--demo") {
        return RunDemo(argv[2], argv[3]);
    }
    if (argc == 3 && std::wstring(argv[1]) == L"--show") {
        return RunShow(argv[2]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
