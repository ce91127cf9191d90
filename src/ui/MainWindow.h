// frmremover: the program's only window. It owns its controls, fonts and brush, and hands
// the drive list and the log to the platform that the commands work through.
#pragma once

#include "platform/Win32.h"
#include "platform/Win32Platform.h"
#include "ui/Layout.h"

#include <array>
#include <memory>
#include <optional>
#include <type_traits>

namespace quenlith {

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
template <typename Handle>
using GdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;

class frmremover {
public:
    static constexpr const wchar_t* kClassName = L"Quenlith.frmremover";

    // Registers the class, builds the window from its design and shows it.
    void Create(HINSTANCE instance, int showCommand);
    HWND hwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool OnCreate();
    void OnCommand(layout::Control id);
    void OnActivate(WPARAM state);
    void OnSetFocus();
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnColorsChanged();
    bool OnClose();
    LRESULT OnColorStatic(HDC dc);
    bool OnEraseBackground(HDC dc);
    LRESULT OnGetDefaultId() const;

    // Fonts, control positions and the frame's size, all from the design at dpi_.
    bool Layout();
    void FitFrame();
    void Place(const RECT& frame);
    int Pixels(int twips) const { return ::MulDiv(twips, dpi_, layout::kTwipsPerInch); }
    HWND Item(layout::Control id) const;
    HBRUSH Background() const;

    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    bool highContrast_ = false;
    bool busy_ = false; // a command is running
    bool closeAsked_ = false;
    HWND focus_ = nullptr; // the control that had the focus when the window was last left
    GdiObject<HBRUSH> background_;
    std::array<GdiObject<HFONT>, layout::kFonts.size()> fonts_;
    std::optional<Win32Platform> platform_;
};

} // namespace quenlith
