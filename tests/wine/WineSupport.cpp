#include "WineSupport.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace quenlith::testing {

void Require(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string(what) + " failed, error " +
                                 std::to_string(::GetLastError()));
    }
}

DWORD AttributesOf(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str());
}

void SetAttributes(const std::wstring& path, DWORD attributes) {
    Require(::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != FALSE &&
                ::SetFileAttributesW(path.c_str(), attributes) != FALSE,
            "SetFileAttributesW");
}

void CreateFileWith(const std::wstring& path, DWORD attributes) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    Require(file != INVALID_HANDLE_VALUE, "CreateFileW");
    const char text[] = "[autorun]\r\nopen=evil.exe\r\n";
    DWORD written = 0;
    const BOOL wrote = ::WriteFile(file, text, sizeof text - 1, &written, nullptr);
    ::CloseHandle(file);
    Require(wrote != FALSE, "WriteFile");
    SetAttributes(path, attributes);
}

void CreateFolder(const std::wstring& path) {
    Require(::CreateDirectoryW(path.c_str(), nullptr) != FALSE, "CreateDirectoryW");
}

void RemoveTarget(const std::wstring& path) {
    const DWORD attributes = AttributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    Require((folder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str())) != FALSE,
            "RemoveTarget");
}

void ClearSandboxTargets() {
    for (const wchar_t* drive : {L"c:", L"d:", L"e:", L"f:"}) {
        RemoveTarget(std::wstring(drive) + L"\\autorun.inf");
    }
}

std::vector<std::wstring> ListItems(HWND list) {
    std::vector<std::wstring> items;
    const auto count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (WPARAM i = 0; count != LB_ERR && i < static_cast<WPARAM>(count); ++i) {
        // Another process may change the list while it is read: an item that went ends it.
        const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, i, 0);
        if (length == LB_ERR) {
            break;
        }
        std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied =
            ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        if (copied == LB_ERR) {
            break;
        }
        item.resize(static_cast<std::size_t>(copied));
        items.push_back(item);
    }
    return items;
}

std::wstring SandboxPath(const std::wstring& name) {
    // Only ever inside the sandbox: this path form reaches the whole host.
    const wchar_t* sandbox = ::_wgetenv(L"QUENLITH_SANDBOX");
    Require(sandbox != nullptr && std::wstring(sandbox).starts_with(L"/"), "QUENLITH_SANDBOX");
    std::wstring path = L"\\\\?\\unix" + std::wstring(sandbox) + L"/" + name;
    for (wchar_t& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    return path;
}

std::string FirstLine(const std::wstring& path) {
    std::ifstream file{std::filesystem::path(path)};
    std::string line;
    std::getline(file, line);
    return line;
}

DWORD CountHandles(HANDLE process) {
    constexpr std::uintptr_t kHighestProbed = 0x10000;
    DWORD count = 0;
    for (std::uintptr_t value = 4; value <= kHighestProbed; value += 4) {
        HANDLE copy = nullptr;
        if (::DuplicateHandle(process, reinterpret_cast<HANDLE>(value), ::GetCurrentProcess(),
                              &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            ::CloseHandle(copy);
            ++count;
        }
    }
    return count;
}

namespace {

struct WindowCount {
    DWORD processId;
    DWORD count;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam) {
    ++reinterpret_cast<WindowCount*>(lParam)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM lParam) {
    auto& windows = *reinterpret_cast<WindowCount*>(lParam);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == windows.processId) {
        ++windows.count;
        ::EnumChildWindows(window, CountChild, lParam);
    }
    return TRUE;
}

} // namespace

DWORD CountWindows(DWORD processId) {
    WindowCount windows = {processId, 0};
    ::EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

bool TakesPosixDelete() {
    const std::wstring probe = L"c:\\tests\\posix-delete.probe";
    CreateFileWith(probe, FILE_ATTRIBUTE_READONLY);
    const HANDLE file =
        ::CreateFileW(probe.c_str(), DELETE, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    Require(file != INVALID_HANDLE_VALUE, "CreateFileW(probe)");
    // FileDispositionInfoEx (class 21) with delete, POSIX semantics and ignore read-only, written
    // out here rather than taken from the program, whose constants this probe is to check.
    struct {
        DWORD flags;
    } extended = {0x1 | 0x2 | 0x10};
    const bool taken =
        ::SetFileInformationByHandle(file, static_cast<FILE_INFO_BY_HANDLE_CLASS>(21), &extended,
                                     sizeof extended) != FALSE;
    ::CloseHandle(file);
    RemoveTarget(probe);
    return taken;
}

HeldOpenFile::HeldOpenFile(const std::wstring& path, Sharing sharing) {
    const std::wstring ready = L"quenlith-ready-" + std::to_wstring(::GetTickCount64());
    const std::wstring release = L"quenlith-release-" + std::to_wstring(::GetTickCount64());
    const HANDLE readyEvent = ::CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    release_ = ::CreateEventW(nullptr, TRUE, FALSE, release.c_str());
    Require(readyEvent != nullptr && release_ != nullptr, "CreateEventW");

    wchar_t self[MAX_PATH] = {};
    Require(::GetModuleFileNameW(nullptr, self, MAX_PATH) != 0, "GetModuleFileNameW");
    std::wstring command =
        L"\"" + std::wstring(self) + L"\" " +
        std::wstring(sharing == Sharing::Delete ? kHoldOpenSharingDelete : kHoldOpen) + L" \"" +
        path + L"\" " + ready + L" " + release;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    Require(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &child) != FALSE,
            "CreateProcessW");
    ::CloseHandle(child.hThread);
    process_ = child.hProcess;
    const HANDLE waitFor[] = {readyEvent, process_};
    const DWORD woke = ::WaitForMultipleObjects(2, waitFor, FALSE, 30000);
    ::CloseHandle(readyEvent);
    Require(woke == WAIT_OBJECT_0, "the holding process to open the file");
}

HeldOpenFile::~HeldOpenFile() {
    ::SetEvent(release_);
    ::WaitForSingleObject(process_, 30000);
    ::CloseHandle(process_);
    ::CloseHandle(release_);
}

int HoldOpen(std::wstring_view option, const wchar_t* path, const wchar_t* readyEvent,
             const wchar_t* releaseEvent) {
    const DWORD sharing =
        FILE_SHARE_READ | (option == kHoldOpenSharingDelete ? FILE_SHARE_DELETE : 0);
    const HANDLE file = ::CreateFileW(path, GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, readyEvent);
    const HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, releaseEvent);
    if (file == INVALID_HANDLE_VALUE || ready == nullptr || release == nullptr) {
        return 1;
    }
    ::SetEvent(ready);
    ::WaitForSingleObject(release, 60000);
    ::CloseHandle(file);
    return 0;
}

HiddenControls::HiddenControls() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    owner_ = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                               instance, nullptr);
    Require(owner_ != nullptr, "CreateWindowExW(owner)");
    driveList_ = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100,
                                   owner_, nullptr, instance, nullptr);
    log_ = ::CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD, 0, 0, 100, 100, owner_, nullptr,
                             instance, nullptr);
    Require(driveList_ != nullptr && log_ != nullptr, "CreateWindowExW(controls)");
}

HiddenControls::~HiddenControls() {
    ::DestroyWindow(owner_);
}

} // namespace quenlith::testing
