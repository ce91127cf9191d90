// The platform operations on the real Win32 API. The drive list is a combo box and the
// activity log a list box, both owned by the main window; this class only uses them.
#pragma once

#include "platform/Com.h"
#include "platform/FileSafety.h"
#include "platform/Platform.h"
#include "platform/Win32.h"

#include <optional>

namespace quenlith {

struct Win32Controls {
    HWND owner = nullptr;     // owner of message boxes
    HWND driveList = nullptr; // combo box
    HWND log = nullptr;       // unsorted list box
};

class Win32Platform final : public Platform {
public:
    // Also sets the process error mode: a drive without a medium answers "not ready" instead of
    // putting a "no disk" box in the user's face.
    explicit Win32Platform(Win32Controls controls);

    void RefreshDrives() override;
    std::int16_t DriveCount() override;
    std::wstring DriveEntry(std::int16_t index) override;

    void ChangeCurrentDrive(const std::wstring& drive) override;
    std::wstring CurrentFolder() override;
    void ChangeCurrentFolder(const std::wstring& folder) override;
    void SetFileAttributes(const std::wstring& path, FileAttribute attributes) override;
    std::wstring FindMatchingFile(const std::wstring& path, FileAttribute mask) override;
    void DeleteFiles(const std::wstring& path) override;

    ObjectPtr CreateServiceObject(const std::wstring& programmaticId) override;
    Value CallMember(Object& object, const std::wstring& member,
                     std::span<const std::wstring> arguments = {}) override;

    void ShowMessageBox(const std::wstring& text, MessageBoxStyle style,
                        const std::wstring& title) override;
    void AppendItem(const std::wstring& text) override;
    void ClearItems() override;

    // Automation objects handed out and not yet released; every one must die with its call.
    int LiveObjects() const { return liveObjects_; }

private:
    // Lets the window paint, and answer what other programs send it, while a scan runs: after
    // each log entry, so that it shows as it is written, and before an operation that may wait
    // on a slow drive once a frame's worth of time has passed, so that Windows sees the window
    // alive. Input waits in the queue until the scan is over.
    void LetPaint();
    void LetPaintOnceAFrame();
    FolderEntry& EntryOf(const std::wstring& path);

    Win32Controls controls_;
    // The one file the drive in hand has changes for, with what its proofs learnt once; forgotten
    // at the next drive and at the end of the run. It holds nothing open.
    std::optional<FolderEntry> entry_;
    // Joined at the first call that needs COM, so that start-up neither loads nor starts it.
    std::optional<ComApartment> apartment_;
    int liveObjects_ = 0;
    DWORD lastPaint_ = 0; // the tick count when the window last could paint
};

} // namespace quenlith
