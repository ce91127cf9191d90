#include "ui/MainWindow.h"

#include "ui/Commands.h"

#include <string>

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
                    SS_NOPREFIX |
                    (design.align == layout::Align::Center ? SS_CENTER : SS_LEFTNOWORDWRAP)),
                0};
    case Kind::Button:
        return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case Kind::List:
        // Exactly the designed height, not rounded to whole items.
        return {L"LISTBOX", LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case Kind::DriveList:
        // No tab stop: Tab must never land on a control nobody can see.
        return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 0};
    }
    return {L"STATIC", 0, 0};
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
    dpi_ = SystemDpi();
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
    windowClass.hbrBackground = background_.get();
    windowClass.lpszClassName = kClassName;
    if (::RegisterClassExW(&windowClass) == 0) {
        throw PlatformError("RegisterClassExW", ::GetLastError());
    }

    // The design gives the client area; the frame comes around it. Centred on the work area.
    RECT frame = {0, 0, Pixels(layout::kClientWidth), Pixels(layout::kClientHeight)};
    if (!::AdjustWindowRectEx(&frame, kFrameStyle, FALSE, WS_EX_CONTROLPARENT)) {
        throw PlatformError("AdjustWindowRectEx", ::GetLastError());
    }
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;

    if (::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, Title().c_str(), kFrameStyle, left, top,
                          width, height, nullptr, nullptr, instance, this) == nullptr) {
        throw PlatformError("CreateWindowExW", ::GetLastError());
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
    // No exception may cross back into Windows: a command that fails says so and the
    // window goes on.
    try {
        return window->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& failure) {
        ReportFailure(hwnd, failure.what());
        return 0;
    }
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
    case WM_CTLCOLORSTATIC:
        return OnColorStatic(reinterpret_cast<HDC>(wParam));
    case DM_GETDEFID:
        return OnGetDefaultId();
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

bool frmremover::OnCreate() {
    for (std::size_t i = 0; i < layout::kFonts.size(); ++i) {
        const layout::FontSpec& design = layout::kFonts[i];
        LOGFONTW font = {};
        font.lfHeight = -::MulDiv(design.hundredthsOfPoint, dpi_, 7200);
        font.lfWeight = design.weight;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfQuality = CLEARTYPE_QUALITY;
        ::lstrcpynW(font.lfFaceName, design.face, LF_FACESIZE);
        fonts_[i].reset(::CreateFontIndirectW(&font));
        if (!fonts_[i]) {
            return false;
        }
    }

    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    for (const layout::ControlSpec& design : layout::kControls) {
        const ChildClass childClass = ClassOf(design);
        const HWND child = ::CreateWindowExW(
            childClass.extendedStyle, childClass.name, design.text,
            WS_CHILD | WS_VISIBLE | childClass.style, Pixels(design.left), Pixels(design.top),
            Pixels(design.width), Pixels(design.height), hwnd_,
            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(design.id)), instance, nullptr);
        if (child == nullptr) {
            return false;
        }
        ::SendMessageW(
            child, WM_SETFONT,
            reinterpret_cast<WPARAM>(fonts_[static_cast<std::size_t>(design.font)].get()), FALSE);
    }
    platform_.emplace(Win32Controls{hwnd_, Item(Control::Drive1), Item(Control::List1)});
    platform_->AppendItem(std::wstring(kLogHeader));
    ::SetFocus(Item(Control::cmdscan));
    return true;
}

void frmremover::OnCommand(Control id) {
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

// The labels share the window's background; the log list keeps the system's colours.
LRESULT frmremover::OnColorStatic(HDC dc) {
    ::SetBkColor(dc, layout::kBackground);
    return reinterpret_cast<LRESULT>(background_.get());
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
