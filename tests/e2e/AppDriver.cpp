#include "AppDriver.h"

#include "../wine/WineSupport.h"

#include <commctrl.h>
#include <oleacc.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace quenlith::testing {

namespace {

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

struct ChildSearch {
    const wchar_t* className;
    const std::wstring* text;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM lParam) {
    auto& search = *reinterpret_cast<ChildSearch*>(lParam);
    if (::lstrcmpiW(ClassOf(child).c_str(), search.className) == 0 &&
        (search.text->empty() || TextOf(child) == *search.text)) {
        search.found = child;
        return FALSE;
    }
    return TRUE;
}

struct BoxSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<BoxSearch*>(lParam);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == search.processId && ClassOf(window) == L"#32770" &&
        TextOf(window) == L"Quenlith" && ::IsWindowVisible(window)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

INPUT Key(WORD key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

} // namespace

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

RECT ClientRectOf(HWND control) {
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

App::App(const std::wstring& program) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::wstring command = L"\"" + program + L"\"";
    Require(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info) != FALSE,
            "CreateProcessW");
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    ::WaitForInputIdle(process_, 15000);
    Require(WaitFor([&] {
                window_ = ::FindWindowW(nullptr, kWindowTitle);
                DWORD owner = 0;
                threadId_ = window_ ? ::GetWindowThreadProcessId(window_, &owner) : 0;
                return window_ != nullptr && owner == info.dwProcessId &&
                       ::IsWindowVisible(window_);
            }),
            "finding the window by its title");
    ::SetForegroundWindow(window_);
}

App::~App() {
    if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process_, 10000) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_, 1);
        }
    }
    ::CloseHandle(process_);
}

HWND App::Child(const wchar_t* className, const std::wstring& text) const {
    ChildSearch search = {className, &text, nullptr};
    ::EnumChildWindows(window_, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<std::wstring> App::Log() const {
    return ListItems(Child(L"ListBox"));
}

HWND App::Focus() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(threadId_, &info) ? info.hwndFocus : nullptr;
}

HWND App::MessageBox() const {
    BoxSearch search = {::GetProcessId(process_), nullptr};
    ::EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void App::Click(HWND control) const {
    RECT rect = {};
    Require(::GetWindowRect(control, &rect) != FALSE, "GetWindowRect");
    const int x = (rect.left + rect.right) / 2;
    const int y = (rect.top + rect.bottom) / 2;
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = ::MulDiv(x, 65535, width - 1);
        input.mi.dy = ::MulDiv(y, 65535, height - 1);
    }
    // Each input carries its own position: the cursor is not ours alone. A window that maps
    // under the pointer gets a crossing event, and Wine moves the cursor back to where that
    // event saw it once the program reads it, which may fall between our move and our press.
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    const HWND root = ::GetAncestor(control, GA_ROOT);
    ::SetForegroundWindow(root);
    WaitFor([&] { return ::GetForegroundWindow() == root; }, std::chrono::seconds(2));
    Require(::SendInput(3, inputs, sizeof(INPUT)) == 3, "SendInput");
}

void App::Press(std::initializer_list<WORD> keys) const {
    std::vector<INPUT> inputs;
    for (const WORD key : keys) {
        inputs.push_back(Key(key, false));
    }
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        inputs.push_back(Key(*key, true));
    }
    Require(::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
                inputs.size(),
            "SendInput");
}

// A value copied into the program's memory for a message whose lParam points there, and read
// back from it; freed when it goes.
template <typename Value> class InProgram {
public:
    InProgram(HANDLE process, const Value& value)
        : process_(process), address_(::VirtualAllocEx(process, nullptr, sizeof value,
                                                       MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
        Require(address_ != nullptr &&
                    ::WriteProcessMemory(process, address_, &value, sizeof value, nullptr),
                "copying into the program");
    }
    ~InProgram() { ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
    InProgram(const InProgram&) = delete;
    InProgram& operator=(const InProgram&) = delete;

    LPARAM address() const { return reinterpret_cast<LPARAM>(address_); }
    Value Read() const {
        Value value = {};
        Require(::ReadProcessMemory(process_, address_, &value, sizeof value, nullptr),
                "reading from the program");
        return value;
    }

private:
    HANDLE process_;
    void* address_;
};

void App::ChangeDpi(int dpi, const RECT& suggested) const {
    const InProgram<RECT> rect(process_, suggested);
    const auto both = static_cast<WORD>(dpi);
    ::SendMessageW(window_, WM_DPICHANGED, MAKEWPARAM(both, both), rect.address());
}

SIZE App::IdealSize(HWND button) const {
    const InProgram<SIZE> size(process_, SIZE{});
    Require(::SendMessageW(button, BCM_GETIDEALSIZE, 0, size.address()) != FALSE,
            "BCM_GETIDEALSIZE");
    return size.Read();
}

Accessible AccessibleOf(HWND control) {
    Require(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)), "CoInitializeEx");
    Accessible result;
    IAccessible* object = nullptr;
    // __uuidof, not liboleacc's IID_IAccessible: that one is an import, and its address a stub.
    if (SUCCEEDED(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                               __uuidof(IAccessible),
                                               reinterpret_cast<void**>(&object)))) {
        VARIANT self = {};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        if (object->get_accName(self, &name) == S_OK) {
            result.name = name;
        }
        ::SysFreeString(name);
        VARIANT state = {};
        if (SUCCEEDED(object->get_accState(self, &state)) && state.vt == VT_I4) {
            result.state = state.lVal;
        }
        object->Release();
    }
    ::CoUninitialize();
    return result;
}

COLORREF ScreenPixel(POINT point) {
    const HDC screen = ::GetDC(nullptr);
    const COLORREF color = ::GetPixel(screen, point.x, point.y);
    ::ReleaseDC(nullptr, screen);
    return color;
}

bool App::WaitForExit(DWORD& exitCode) const {
    if (::WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) {
        return false;
    }
    return ::GetExitCodeProcess(process_, &exitCode) != FALSE;
}

void SaveScreenshot(HWND window, const std::wstring& path) {
    // The client area only: Xvfb has no window manager, so the frame would be a black band.
    RECT rect = {};
    Require(::GetClientRect(window, &rect) != FALSE, "GetClientRect");
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    const HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory, previous);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
    std::vector<char> pixels(stride * static_cast<DWORD>(height));
    ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    Require(out.good(), "writing the screenshot");
}

} // namespace quenlith::testing
