// The yardstick for start-up: the least a Win32 window program does, built like Quenlith and
// with its manifest. Named stages on the command line add, one at a time, what Quenlith's
// start-up does besides, so that each stage's cost shows:
//   dlls            load ole32, oleaut32 and comctl32
//   com             join a COM apartment
//   commoncontrols  initialise Common Controls 6
//   controls        Quenlith's eight controls with their texts, where its design puts them, in
//                   its three fonts made as it makes them
#include "platform/Win32.h"
#include "ui/Fonts.h"

#include <array>
#include <commctrl.h>
#include <objbase.h>
#include <string>

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

template <typename Function> Function* Find(const wchar_t* dll, const char* name) {
    return reinterpret_cast<Function*>(
        reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryW(dll), name)));
}

void AddControls(HWND window, HINSTANCE instance) {
    namespace layout = quenlith::layout;
    const auto dpiForWindow = Find<UINT WINAPI(HWND)>(L"user32.dll", "GetDpiForWindow");
    const int dpi = dpiForWindow != nullptr ? static_cast<int>(dpiForWindow(window)) : 96;
    std::array<HFONT, layout::kFonts.size()> fonts = {};
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        const LOGFONTW font = quenlith::LogFontOf(layout::kFonts[i], dpi);
        fonts[i] = ::CreateFontIndirectW(&font);
    }
    // Indexed by Kind.
    constexpr const wchar_t* kClasses[] = {L"STATIC", L"BUTTON", L"LISTBOX", L"COMBOBOX"};
    const auto pixels = [dpi](int twips) { return ::MulDiv(twips, dpi, layout::kTwipsPerInch); };
    for (const layout::ControlSpec& design : layout::kControls) {
        const DWORD visible = design.kind == layout::Kind::DriveList ? 0 : WS_VISIBLE;
        const HWND control = ::CreateWindowExW(
            0, kClasses[static_cast<std::size_t>(design.kind)], design.text, WS_CHILD | visible,
            pixels(design.left), pixels(design.top), pixels(design.width), pixels(design.height),
            window, nullptr, instance, nullptr);
        ::SendMessageW(control, WM_SETFONT,
                       reinterpret_cast<WPARAM>(fonts[static_cast<std::size_t>(design.font)]),
                       FALSE);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    const std::wstring stages = L" " + std::wstring(commandLine) + L" ";
    const auto asked = [&](const wchar_t* stage) {
        return stages.find(L" " + std::wstring(stage) + L" ") != std::wstring::npos;
    };
    if (asked(L"dlls")) {
        ::LoadLibraryW(L"ole32.dll");
        ::LoadLibraryW(L"oleaut32.dll");
        ::LoadLibraryW(L"comctl32.dll");
    }
    if (asked(L"com")) {
        Find<HRESULT WINAPI(void*, DWORD)>(L"ole32.dll",
                                           "CoInitializeEx")(nullptr, COINIT_APARTMENTTHREADED);
    }
    if (asked(L"commoncontrols")) {
        const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_STANDARD_CLASSES};
        Find<BOOL WINAPI(const INITCOMMONCONTROLSEX*)>(L"comctl32.dll",
                                                       "InitCommonControlsEx")(&classes);
    }

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"MinimalWindow";
    if (::RegisterClassExW(&windowClass) == 0) {
        return 1;
    }
    const HWND window = ::CreateWindowExW(0, L"MinimalWindow", L"Minimal window",
                                          WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 340,
                                          260, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    if (asked(L"controls")) {
        AddControls(window, instance);
    }
    ::ShowWindow(window, showCommand);
    ::UpdateWindow(window);
    MSG message = {};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
