// What the Windows tests share: the sandbox drives, real files on them, a file held open by
// another process, and hidden controls for the drive list and the log.
#pragma once

#include "platform/Com.h"
#include "platform/Win32Platform.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quenlith::testing {

// Drive letters of the sandbox that run-in-sandbox.sh lays out.
inline const std::wstring kAbsentDrive = L"g:";
inline const std::wstring kNoMediumDrive = L"h:";
// An autorun.inf as malware leaves it.
constexpr DWORD kWellHidden =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;

// Throws with the last error when a setup step of a test fails.
void Require(bool ok, const char* what);

DWORD AttributesOf(const std::wstring& path); // INVALID_FILE_ATTRIBUTES when missing
// Sets the attributes of a file. Wine keeps hidden and system in an extended attribute,
// which a read-only file lets only root write: so those go first, read-only last.
void SetAttributes(const std::wstring& path, DWORD attributes);
void CreateFileWith(const std::wstring& path, DWORD attributes);
void CreateFolder(const std::wstring& path);
// Removes a file or folder of that name whatever its attributes; nothing if there is none.
void RemoveTarget(const std::wstring& path);
// Removes autorun.inf, file or folder, from the roots of c: to f:.
void ClearSandboxTargets();
std::vector<std::wstring> ListItems(HWND list);
// A file or folder of the sandbox by its host path, which reaches places no drive letter does.
std::wstring SandboxPath(const std::wstring& name);
// The first line of a text file; empty when it cannot be read.
std::string FirstLine(const std::wstring& path);

// Counts a process's open handles by trying each handle value in turn; Wine's own counters
// (GetProcessHandleCount, GetGuiResources) always answer 0.
DWORD CountHandles(HANDLE process);
// Counts the windows of a process, its top-level windows and their children: its USER objects
// that matter here.
DWORD CountWindows(DWORD processId);

// Whether the system deletes with POSIX semantics, ignoring the read-only flag (Windows 10
// 1809 and later, Wine 10), as against only when the last handle closes (Wine 8).
bool TakesPosixDelete();

// Another process holds the file open until this object goes: without delete sharing, or with
// it, as an indexer or a virus scanner does.
class HeldOpenFile {
public:
    enum class Sharing : std::uint8_t { NoDelete, Delete };
    explicit HeldOpenFile(const std::wstring& path, Sharing sharing = Sharing::NoDelete);
    ~HeldOpenFile();
    HeldOpenFile(const HeldOpenFile&) = delete;
    HeldOpenFile& operator=(const HeldOpenFile&) = delete;

private:
    HANDLE release_ = nullptr;
    HANDLE process_ = nullptr;
};
// The child's side of HeldOpenFile, started with one of these options; returns its exit code.
constexpr std::wstring_view kHoldOpen = L"--hold-open", kHoldOpenSharingDelete = L"--hold-open-d";
int HoldOpen(std::wstring_view option, const wchar_t* path, const wchar_t* readyEvent,
             const wchar_t* releaseEvent);

// A hidden window with the combo box and list box that the platform works on.
class HiddenControls {
public:
    HiddenControls();
    ~HiddenControls();
    HiddenControls(const HiddenControls&) = delete;
    HiddenControls& operator=(const HiddenControls&) = delete;
    Win32Controls get() const { return {owner_, driveList_, log_}; }

private:
    HWND owner_ = nullptr;
    HWND driveList_ = nullptr;
    HWND log_ = nullptr;
};

} // namespace quenlith::testing
