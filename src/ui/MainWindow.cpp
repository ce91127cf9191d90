#include "ui/MainWindow.h"

#include "ui/Commands.h"
#include "ui/Fonts.h"

#include <commctrl.h>
#include <oleacc.h>
#include <string>
#include <wrl/client.h>

namespace quenlith {

namespace {

using layout::Control;
using layout::Kind;

constexpr int kIconId = 1;
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct ChildClass {
    const wchar_t* name;
    DWORD style;
    DWORD extendedStyle;
};

ChildClass ClassOf(const layout::ControlSpec& design) {
    switch (design.kind) {
    case Kind::Label:
        // One line each: a label clips rather than wrap out of its designed height.
        return {L"STATIC",
                static_cast<DWORD>(
                    WS_VISIBLE | SS_NOPREFIX |
                    (design.align == layout::Align::Center ? SS_CENTER : SS_LEFTNOWORDWRAP)),
                0};
    case Kind::Button:
        return {L"BUTTON", WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP, 0};
    case Kind::List:
        // Exactly the designed height, not rounded to whole items.
        return {L"LISTBOX", WS_VISIBLE | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                WS_EX_CLIENTEDGE};
    case Kind::DriveList:
        // Not visible and no tab stop: neither Tab nor a screen reader may land on a control
        // nobody can see.
        return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 0};
    }
    return {L"STATIC", WS_VISIBLE, 0};
}

// The wait cursor for as long as a scan runs.
class WaitCursor {
public:
    WaitCursor() : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { ::SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

int SystemDpi() {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// What Windows 10 and later add for windows aware of each monitor's DPI; absent on Windows 7.
template <typename Function> Function* User32(const char* name) {
    // Function pointers convert to one another, never through an object pointer; void (*)() is
    // the type that stands for any function.
    return reinterpret_cast<Function*>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

// The DPI of the monitor the window is on, where Windows tells it; else the system's.
int DpiOf(HWND window) {
    const auto getDpiForWindow = User32<UINT WINAPI(HWND)>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : SystemDpi();
}

bool HighContrastOn() {
    HIGHCONTRASTW highContrast = {sizeof highContrast, 0, nullptr};
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof highContrast, &highContrast, 0) &&
           (highContrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

// Set for as long as the object lives, however the scope is left.
class Flag {
public:
    explicit Flag(bool& flag) : flag_(flag) { flag_ = true; }
    ~Flag() { flag_ = false; }
    Flag(const Flag&) = delete;
    Flag& operator=(const Flag&) = delete;

private:
    bool& flag_;
};

// Names the log for assistive technology. Windows names a list box by dynamic annotation or a
// label before it, which the design has not; Wine reads the window text, which it also has.
void AnnotateName(HWND control, const wchar_t* name) {
    const HRESULT joined = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        Microsoft::WRL::ComPtr<IAccPropServices> services;
        // mingw-w64 declares no __uuidof for this interface: its IID comes from libuuid.
        if (SUCCEEDED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IAccPropServices, &services))) {
            // Without it (Wine answers E_NOTIMPL) the name is the window text alone.
            services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                     PROPID_ACC_NAME, name);
        }
    }
    if (SUCCEEDED(joined)) {
        ::CoUninitialize();
    }
}

// Annotates the log the first time assistive technology asks for it, before the standard
// object is made: only a screen reader ever reads the name, so no start-up pays for the COM
// apartment and the annotation service.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the signature is SUBCLASSPROC's
LRESULT CALLBACK NameOnFirstAsk(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                UINT_PTR id, DWORD_PTR) {
    if (message == WM_GETOBJECT) {
        ::RemoveWindowSubclass(control, NameOnFirstAsk, id);
        AnnotateName(control, layout::kLogName);
    }
    return ::DefSubclassProc(control, message, wParam, lParam);
}

std::wstring Title() {
    return std::wstring(kProductName) + L" - " + std::wstring(kAuthor);
}

void ReportFailure(HWND owner, const char* what) {
    const std::string text(what);
    ::MessageBoxW(owner, std::wstring(text.begin(), text.end()).c_str(),
                  std::wstring(kProductName).c_str(), MB_OK | MB_ICONERROR);
}

} // namespace

void frmremover::Create(HINSTANCE instance, int showCommand) {
    background_.reset(::CreateSolidBrush(layout::kBackground));
    if (!background_) {
        throw PlatformError("CreateSolidBrush", ::GetLastError());
    }

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(::LoadImageW(
        instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    windowClass.hIconSm = static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName; // no class brush: the colours follow high contrast
    if (::RegisterClassExW(&windowClass) == 0) {
        throw PlatformError("RegisterClassExW", ::GetLastError());
    }

    // Sized and centred once the window knows its DPI (OnCreate).
    if (::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, Title().c_str(), kFrameStyle, 0, 0, 0, 0,
                          nullptr, nullptr, instance, this) == nullptr) {
        throw PlatformError("CreateWindowExW", ::GetLastError());
    }
    if (closeAsked_) {
        ::DestroyWindow(hwnd_); // asked while it was being built: the program ends quietly
        return;
    }
    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
}

LRESULT CALLBACK frmremover::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* window = static_cast<frmremover*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    auto* window = reinterpret_cast<frmremover*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (window == nullptr) {
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The last message: nothing after it may reach the object.
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        window->hwnd_ = nullptr;
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    // No exception may cross back into Windows: a command that fails says so and the
    // window goes on.
    try {
        return window->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& failure) {
        ReportFailure(hwnd, failure.what());
    } catch (...) {
        ReportFailure(hwnd, "An unexpected failure.");
    }
    return 0;
}

LRESULT frmremover::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            OnCommand(static_cast<Control>(LOWORD(wParam)));
        }
        return 0;
    case WM_ACTIVATE:
        OnActivate(wParam);
        break; // the default gives the window the focus, which OnSetFocus hands on
    case WM_SETFOCUS:
        OnSetFocus();
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        OnColorsChanged();
        break;
    case WM_CLOSE:
        if (!OnClose()) {
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        return OnColorStatic(reinterpret_cast<HDC>(wParam));
    case WM_ERASEBKGND:
        return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case DM_GETDEFID:
        return OnGetDefaultId();
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool frmremover::OnCreate() {
    // Appending the header lets sent messages in; a close among them waits for the window.
    const Flag creating(busy_);
    dpi_ = DpiOf(hwnd_);
    highContrast_ = HighContrastOn();
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    for (const layout::ControlSpec& design : layout::kControls) {
        const ChildClass childClass = ClassOf(design);
        if (::CreateWindowExW(childClass.extendedStyle, childClass.name, design.text,
                              WS_CHILD | childClass.style, 0, 0, 0, 0, hwnd_,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(design.id)), instance,
                              nullptr) == nullptr) {
            return false;
        }
    }
    if (!Layout()) {
        return false;
    }
    FitFrame();
    if (!::SetWindowSubclass(Item(Control::List1), NameOnFirstAsk, 0, 0)) {
        AnnotateName(Item(Control::List1), layout::kLogName);
    }
    platform_.emplace(Win32Controls{hwnd_, Item(Control::Drive1), Item(Control::List1)});
    platform_->AppendItem(std::wstring(kLogHeader));
    return true;
}

bool frmremover::Layout() {
    decltype(fonts_) fonts;
    for (std::size_t i = 0; i < fonts.size(); ++i) {
        const LOGFONTW font = LogFontOf(layout::kFonts[i], dpi_);
        fonts[i].reset(::CreateFontIndirectW(&font));
        if (!fonts[i]) {
            return false;
        }
    }
    for (const layout::ControlSpec& design : layout::kControls) {
        const HWND child = Item(design.id);
        ::SendMessageW(child, WM_SETFONT,
                       reinterpret_cast<WPARAM>(fonts[static_cast<std::size_t>(design.font)].get()),
                       FALSE);
        ::SetWindowPos(child, nullptr, Pixels(design.left), Pixels(design.top),
                       Pixels(design.width), Pixels(design.height), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    fonts_.swap(fonts); // the old fonts go now that no control uses them
    ::InvalidateRect(hwnd_, nullptr, TRUE);
    return true;
}

// The design gives the client area; the frame comes around it, centred on the work area of
// the monitor the window is on.
void frmremover::FitFrame() {
    RECT frame = {0, 0, Pixels(layout::kClientWidth), Pixels(layout::kClientHeight)};
    ::AdjustWindowRectEx(&frame, kFrameStyle, FALSE, WS_EX_CONTROLPARENT);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork; // of the window's own monitor
    ::OffsetRect(&frame,
                 work.left - frame.left + (work.right - work.left - (frame.right - frame.left)) / 2,
                 work.top - frame.top + (work.bottom - work.top - (frame.bottom - frame.top)) / 2);
    Place(frame);
}

// Puts the frame where asked, then makes the client area exactly the design's: a frame's own
// size varies with the DPI, the system and the theme, so the client area is measured.
void frmremover::Place(const RECT& frame) {
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(hwnd_, nullptr, frame.left, frame.top, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client = {};
    ::GetClientRect(hwnd_, &client);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, width + Pixels(layout::kClientWidth) - client.right,
                   height + Pixels(layout::kClientHeight) - client.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmremover::OnCommand(Control id) {
    // One command at a time (while one runs, only messages sent from elsewhere come), and none
    // before the window has made its platform.
    if (busy_ || !platform_) {
        return;
    }
    {
        const Flag busy(busy_);
        switch (id) {
        case Control::cmdscan: {
            const WaitCursor wait;
            cmdscan_Click(*platform_);
            break;
        }
        case Control::cmdclear:
            cmdclear_Click(*platform_);
            break;
        case Control::cmdabout:
            cmdabout_Click(*platform_);
            break;
        default:
            break;
        }
    }
    if (closeAsked_) {
        ::DestroyWindow(hwnd_);
    }
}

// Leaving the window remembers where the focus was, so coming back (after About, after another
// window, after minimize) puts it there again and Enter and Space work at once.
void frmremover::OnActivate(WPARAM state) {
    if (LOWORD(state) != WA_INACTIVE) {
        return;
    }
    if (const HWND focus = ::GetFocus(); focus != nullptr && ::IsChild(hwnd_, focus)) {
        focus_ = focus;
    }
}

void frmremover::OnSetFocus() {
    ::SetFocus(focus_ != nullptr ? focus_ : Item(Control::cmdscan));
}

void frmremover::OnDpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    Layout();
    Place(suggested);
}

void frmremover::OnColorsChanged() {
    highContrast_ = HighContrastOn();
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

// A close asked for while a command runs (a scan, the About box) ends the program right after.
bool frmremover::OnClose() {
    closeAsked_ = busy_;
    return !busy_;
}

// The labels share the window's background; the log list keeps the system's colours. Under
// a high-contrast theme the window takes the system's colours too.
HBRUSH frmremover::Background() const {
    return highContrast_ ? ::GetSysColorBrush(COLOR_BTNFACE) : background_.get();
}

LRESULT frmremover::OnColorStatic(HDC dc) {
    if (highContrast_) {
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    } else {
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkColor(dc, layout::kBackground);
    }
    return reinterpret_cast<LRESULT>(Background());
}

bool frmremover::OnEraseBackground(HDC dc) {
    RECT client = {};
    ::GetClientRect(hwnd_, &client);
    return ::FillRect(dc, &client, Background()) != 0;
}

// Enter presses the focused button, as in a dialog.
LRESULT frmremover::OnGetDefaultId() const {
    const HWND focus = ::GetFocus();
    if (focus == nullptr || ::GetParent(focus) != hwnd_ ||
        (::SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) == 0) {
        return 0;
    }
    return MAKELRESULT(::GetDlgCtrlID(focus), DC_HASDEFID);
}

HWND frmremover::Item(Control id) const {
    return ::GetDlgItem(hwnd_, static_cast<int>(id));
}

} // namespace quenlith
