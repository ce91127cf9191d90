#pragma once

#include "platform/Platform.h"

#include <string_view>

namespace quenlith {

constexpr std::wstring_view kAutorunFile = L"\\autorun.inf";
constexpr std::wstring_view kFoundPrefix = L"Autorun Found : ";
constexpr std::wstring_view kDeletedPrefix = L"Autorun Deleted : ";
constexpr std::wstring_view kNotFoundPrefix = L"Autorun Not Found : ";

// One pass over the drive list: on every ready drive, reset, test for and delete the root
// autorun.inf, appending what it found and did to the activity log, then return to the
// current folder it began in. Every failure is trapped step by step; the run always comes back.
void ScanAndRemove(Platform& platform) noexcept;

} // namespace quenlith
