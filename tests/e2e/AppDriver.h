// Drives a running Quenlith from outside its process, the way a user or an accessibility
// tool would: finds the window by its title, clicks buttons by their text with the real
// mouse, types keys, and reads the log list's items.
#pragma once

#include "platform/Win32.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quenlith::testing {

constexpr const wchar_t* kWindowTitle = L"Quenlith - The Quenlith Authors";

class App {
public:
    explicit App(const std::wstring& program);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    HWND window() const { return window_; }
    HANDLE process() const { return process_; }

    HWND Child(const wchar_t* className, const std::wstring& text = {}) const;
    HWND Button(const std::wstring& text) const { return Child(L"Button", text); }
    std::vector<std::wstring> Log() const;
    HWND Focus() const;
    // The About box, once it is up: a dialog of this process titled "Quenlith".
    HWND MessageBox() const;

    void Click(HWND control) const;
    void Press(std::initializer_list<WORD> keys) const; // held in order, released in reverse
    // Tells the window its monitor's DPI changed, as Windows does when it moves to another.
    void ChangeDpi(int dpi, const RECT& suggested) const;
    // The size a button asks for to show its text in its own font, margins included.
    SIZE IdealSize(HWND button) const;
    // Whether the process ended (with its exit code) within the timeout.

    bool WaitForExit(DWORD& exitCode) const;

private:
    HANDLE process_ = nullptr;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
};

// Polls until the condition holds; false after the timeout.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(15));

std::wstring TextOf(HWND window);
RECT ClientRectOf(HWND control); // in the parent's client coordinates
COLORREF ScreenPixel(POINT point);
// What assistive technology learns of a control: the name and the state bits of its client
// object, as a screen reader asks for them from its own process.
struct Accessible {
    std::wstring name;
    LONG state = 0;
};
Accessible AccessibleOf(HWND control);
// Saves what the screen shows of the window's client area as a 24-bit BMP.
void SaveScreenshot(HWND window, const std::wstring& path);

} // namespace quenlith::testing
