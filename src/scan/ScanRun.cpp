#include "scan/ScanRun.h"

#include "scan/DriveProbe.h"

#include <exception>
#include <string>

namespace quenlith {

namespace {

// Hidden and system too: a reset that failed (write-protected stick, attributes the user may
// not change) must not turn a hidden autorun.inf into "Not Found". Folders never match.
constexpr FileAttribute kExistenceMask = FileAttribute::Hidden | FileAttribute::System;

// Runs one step; a failure of it is reported as false and goes no further.
template <typename Step> bool Attempt(Step&& step) noexcept {
    try {
        step();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void Log(Platform& platform, std::wstring_view prefix, const std::wstring& path) noexcept {
    Attempt([&] { platform.AppendItem(std::wstring(prefix) + path); });
}

void ScanDrive(Platform& platform, std::int16_t index) {
    // One read of the entry text serves the probe, the change of drive and the target path.
    std::wstring entry;
    DriveState state = DriveState::DriveNotReady;
    if (!Attempt([&] {
            entry = platform.DriveEntry(index);
            state = DExists(platform, entry);
        }) ||
        state != DriveState::DriveReady) {
        return;
    }

    Attempt([&] { platform.ChangeCurrentDrive(entry); });
    const std::wstring path = entry + std::wstring(kAutorunFile);

    // Fails on a drive without the file; the existence test then says so.
    Attempt([&] { platform.SetFileAttributes(path, FileAttribute::Normal); });

    std::wstring name;
    if (!Attempt([&] { name = platform.FindMatchingFile(path, kExistenceMask); })) {
        return;
    }
    if (name.empty()) {
        Log(platform, kNotFoundPrefix, path);
        return;
    }

    Log(platform, kFoundPrefix, path);
    Attempt([&] { platform.SetFileAttributes(path, FileAttribute::Normal); });
    if (Attempt([&] { platform.DeleteFiles(path); })) {
        Log(platform, kDeletedPrefix, path);
    }
}

void ScanDrives(Platform& platform) noexcept {
    Attempt([&] { platform.RefreshDrives(); }); // on failure, the list it already has

    std::int16_t count = 0;
    if (!Attempt([&] { count = platform.DriveCount(); })) {
        return;
    }
    for (std::int16_t index = 0; index < count; ++index) {
        Attempt([&] { ScanDrive(platform, index); });
    }
}

} // namespace

void ScanAndRemove(Platform& platform) noexcept {
    // Each drive is made current in turn; the folder the run began in is put back after the
    // last, so that the run leaves no drive busy (Windows holds the current folder open).
    std::wstring startFolder;
    const bool known = Attempt([&] { startFolder = platform.CurrentFolder(); });
    ScanDrives(platform);
    if (known) {
        Attempt([&] { platform.ChangeCurrentFolder(startFolder); });
    }
}

} // namespace quenlith
