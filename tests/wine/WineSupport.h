// What the Windows tests share: the sandbox drives, real files on them, a file held open by
// another process, and hidden controls for the drive list and the log.
#pragma once

#include "platform/Com.h"
#include "platform/Win32Platform.h"

#include <string>
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

// Another process holds the file open without delete sharing, until this object goes.
class HeldOpenFile {
public:
    explicit HeldOpenFile(const std::wstring& path);
    ~HeldOpenFile();
    HeldOpenFile(const HeldOpenFile&) = delete;
    HeldOpenFile& operator=(const HeldOpenFile&) = delete;

private:
    HANDLE release_ = nullptr;
    HANDLE process_ = nullptr;
};
// The child's side of HeldOpenFile; returns the process exit code.
int HoldOpen(const wchar_t* path, const wchar_t* readyEvent, const wchar_t* releaseEvent);

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
