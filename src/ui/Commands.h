// The three commands of the main window. They work only through the platform, so they read
// the same against the real window and against a test double.
#pragma once

#include "platform/Platform.h"

#include <string_view>

namespace quenlith {

constexpr std::wstring_view kProductName = L"Quenlith";
constexpr std::wstring_view kAuthor = L"The Quenlith Authors";
constexpr std::wstring_view kLogHeader = L"LOG:";
// The sign and the year never part: a no-break space joins them.
constexpr std::wstring_view kAboutText =
    L"Quenlith 1.00 by The Quenlith Authors. With one press of Scan & Remove it deletes the "
    L"file autorun.inf from the root folder of every drive that is present and ready, hard "
    L"disks and USB sticks alike, so that no drive carries it on to a computer that may still "
    L"start the program it names, and it lists what it found and deleted. "
    L"\u00A9\u00A02026 The Quenlith Authors. Free software under the MIT License: use it, "
    L"copy it, change it and pass it on.";

// Scan & Remove: one scan run. Traps every failure itself.
void cmdscan_Click(Platform& platform) noexcept;
// Clear LOG: the log goes back to its header alone, as at start.
void cmdclear_Click(Platform& platform);
// About: a modal box with a single OK button.
void cmdabout_Click(Platform& platform);

} // namespace quenlith
