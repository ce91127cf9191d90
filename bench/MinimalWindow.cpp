// The yardstick for start-up: the least a Win32 window program does, built like Quenlith and
// with its manifest. Named stages on the command line add, one at a time, what Quenlith's
// start-up does besides, so that each stage's cost shows:
//   dlls            load ole32, oleaut32 and comctl32
//   com             join a COM apartment
//   commoncontrols  initialise Common Controls 6
//   controls        eight controls like Quenlith's, with three fonts like its own
#include "platform/Win32.h"

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
    constexpr const wchar_t* kClasses[] = {L"STATIC",  L"STATIC",   L"BUTTON", L"BUTTON",
                                           L"LISTBOX", L"COMBOBOX", L"BUTTON", L"STATIC"};
    constexpr const wchar_t* kFaces[] = {L"MS Reference Sans Serif", L"MS Reference Serif",
                                         L"MS Serif"};
    int top = 0;
    for (const wchar_t* name : kClasses) {
        const HWND control = ::CreateWindowExW(0, name, L"Control", WS_CHILD | WS_VISIBLE, 8, top,
                                               120, 20, window, nullptr, instance, nullptr);
        LOGFONTW font = {};
        font.lfHeight = -12;
        font.lfCharSet = DEFAULT_CHARSET;
        ::lstrcpynW(font.lfFaceName, kFaces[top / 20 % 3], LF_FACESIZE);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(::CreateFontIndirectW(&font)),
                       FALSE);
        top += 20;
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
