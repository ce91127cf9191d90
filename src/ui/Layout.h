// The design of the main window, in twips (1440 per inch; 15 per pixel at 96 DPI). Turned
// into pixels at the system's DPI when the window is built, so it looks alike at any scaling.
#pragma once

#include <array>
#include <cstdint>

namespace quenlith::layout {

constexpr int kTwipsPerInch = 1440;
constexpr int kClientWidth = 4935;
constexpr int kClientHeight = 3330;
constexpr std::uint32_t kBackground = 0x00FFC0C0; // red 192, green 192, blue 255

enum class Font : std::uint8_t { Window, Title, Credit };

// The kind of proportional face that stands in where the face is missing: the "MS Reference"
// faces come with Office, not with Windows.
enum class Family : std::uint8_t { SansSerif, Serif };

struct FontSpec {
    const wchar_t* face;
    int hundredthsOfPoint;
    int weight;
    Family family;
};

// Indexed by Font.
constexpr std::array<FontSpec, 3> kFonts = {{
    {L"MS Reference Sans Serif", 900, 400, Family::SansSerif},
    {L"MS Reference Serif", 1125, 700, Family::Serif},
    {L"MS Serif", 825, 400, Family::Serif},
}};

enum class Kind : std::uint8_t { Label, Button, List, DriveList };
enum class Align : std::uint8_t { Left, Center };

// Control identifiers double as WM_COMMAND ids, which are 16 bits: a narrower type would wrap
// another id onto one of ours.
enum class Control : std::uint16_t { // NOLINT(performance-enum-size)
    Label1 = 101,
    Label2,
    cmdscan,
    cmdabout,
    List1,
    Drive1,
    cmdclear,
    Label3,
};

struct ControlSpec {
    Control id;
    Kind kind;
    int left, top, width, height;
    const wchar_t* text;
    Font font;
    Align align = Align::Left;
};

// A list box shows no text of its own: this is the log's name for assistive technology.
constexpr const wchar_t* kLogName = L"Activity log";

// In tab order: the window creates them in this order.
constexpr std::array<ControlSpec, 8> kControls = {{
    {Control::Label1, Kind::Label, 720, 120, 3255, 375, L"Quenlith", Font::Title},
    {Control::Label2, Kind::Label, 3600, 360, 975, 255, L"by Authors", Font::Credit},
    {Control::cmdscan, Kind::Button, 120, 600, 1935, 255, L"Scan && Remove", Font::Window},
    {Control::cmdabout, Kind::Button, 2280, 600, 1095, 255, L"&About", Font::Window},
    {Control::List1, Kind::List, 120, 960, 4695, 1980, kLogName, Font::Window},
    // Lies wholly below the client area, and hidden: only the scan reads it; nobody sees it,
    // picks it or hears of it.
    {Control::Drive1, Kind::DriveList, 0, 3480, 4695, 360, L"", Font::Window},
    {Control::cmdclear, Kind::Button, 3600, 600, 1215, 255, L"&Clear LOG", Font::Window},
    {Control::Label3, Kind::Label, 1080, 3000, 3030, 240, L"\u00A9\u00A02026 The Quenlith Authors",
     Font::Window, Align::Center},
}};

} // namespace quenlith::layout
