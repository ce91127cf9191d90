#include "platform/Win32Platform.h"

#include <memory>
#include <optional>
#include <vector>
#include <wrl/client.h>

namespace quenlith {

namespace {

using Microsoft::WRL::ComPtr;

[[noreturn]] void ThrowLastError(const char* operation) {
    throw PlatformError(operation, ::GetLastError());
}

void Check(HRESULT hr, const char* operation) {
    if (FAILED(hr)) {
        throw PlatformError(operation, static_cast<std::uint32_t>(hr));
    }
}

struct FindCloser {
    void operator()(HANDLE find) const { ::FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

// The answers that mean "there is no such name", as against "it could not be read".
bool MeansAbsent(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_NO_MORE_FILES;
}

// Starts a directory search; an empty handle means nothing matched at all.
FindHandle FindFirst(const std::wstring& path, WIN32_FIND_DATAW& data, const char* operation) {
    const HANDLE find = ::FindFirstFileW(path.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        return FindHandle(find);
    }
    if (const DWORD error = ::GetLastError(); !MeansAbsent(error)) {
        throw PlatformError(operation, error);
    }
    return nullptr;
}

// Fails unless the system answers that the path names nothing: ifThere is the error when a
// file is there; any other answer, an I/O error say, fails with its own error.
void RequireAbsent(const std::wstring& path, DWORD ifThere, const char* operation) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        throw PlatformError(operation, ifThere);
    }
    if (const DWORD error = ::GetLastError(); !MeansAbsent(error)) {
        throw PlatformError(operation, error);
    }
}

constexpr FileAttribute ToAttributes(DWORD win32) {
    constexpr DWORD classicBits = 0x3F; // read-only, hidden, system, volume, directory, archive
    return static_cast<FileAttribute>(win32 & classicBits);
}

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// The last part of a path: the name of the file itself.
std::wstring_view NameOf(std::wstring_view path) {
    const auto separator = path.find_last_of(L"\\/:");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// The folder part of a path, with its separator, to rebuild full names of search results.
std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.size() - NameOf(path).size());
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A text from a call that writes it into a buffer and answers its length, or the size it
// needs when the buffer is too small, or 0 when it fails.
template <typename Call> std::optional<std::wstring> ReadText(Call call) {
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = call(text.data(), static_cast<DWORD>(text.size()));
        if (length == 0) {
            return std::nullopt;
        }
        const bool fits = length < text.size();
        text.resize(length);
        if (fits) {
            return text;
        }
    }
}

// The full name of what a handle has open, in the given volume form; none where it has none.
std::optional<std::wstring> FinalPathOf(HANDLE handle, DWORD volumeForm) {
    return ReadText([&](wchar_t* buffer, DWORD size) {
        return ::GetFinalPathNameByHandleW(handle, buffer, size, FILE_NAME_NORMALIZED | volumeForm);
    });
}

// Whether the open file is the entry called name directly in the open folder: not what a link
// there points to, nor a file reached under another name. Both are named in the same form,
// DOS where both have one (a drive letter, or \\?\unix\ under Wine), else volume GUID.
bool IsEntryOf(HANDLE folder, HANDLE file, std::wstring_view name) {
    for (const DWORD form : {VOLUME_NAME_DOS, VOLUME_NAME_GUID}) {
        const std::optional<std::wstring> folderPath = FinalPathOf(folder, form);
        const std::optional<std::wstring> filePath = FinalPathOf(file, form);
        if (folderPath && filePath) {
            const bool separated = folderPath->ends_with(L'\\');
            return EqualNoCase(*filePath,
                               *folderPath + (separated ? L"" : L"\\") + std::wstring(name));
        }
    }
    return false;
}

Handle OpenExisting(const std::wstring& path, DWORD access, DWORD flags, const char* operation) {
    const HANDLE handle =
        ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        ThrowLastError(operation);
    }
    return Handle(handle);
}

// A handle proven to hold the very file a path names, and how many names that file has.
struct ProvenFile {
    Handle handle;
    DWORD links = 0;
};

// Opens the file that path names for a change, and proves first that the handle holds that
// very file: the link itself where the system can open one, never what a link points to (Wine
// follows every link it opens), and never a folder. Anything unproven is refused untouched.
ProvenFile OpenProven(const std::wstring& path, DWORD access, const char* operation) {
    Handle file =
        OpenExisting(path, access | FILE_READ_ATTRIBUTES,
                     FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, operation);
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(file.get(), &info)) {
        ThrowLastError(operation);
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw PlatformError(operation, ERROR_ACCESS_DENIED);
    }
    const Handle folder =
        OpenExisting(FolderOf(path), FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS, operation);
    if (!IsEntryOf(folder.get(), file.get(), NameOf(path))) {
        throw PlatformError(operation, ERROR_CANT_RESOLVE_FILENAME);
    }
    return {std::move(file), info.nNumberOfLinks};
}

// Opens a file to change its attributes. Wine opens a handle with FILE_WRITE_ATTRIBUTES for
// writing, which a read-only file refuses to all but root, yet takes the change through any
// handle, as its own SetFileAttributesW does; Windows refuses the change without the right.
ProvenFile OpenForAttributes(const std::wstring& path, const char* operation) {
    try {
        return OpenProven(path, FILE_WRITE_ATTRIBUTES, operation);
    } catch (const PlatformError& error) {
        if (error.code() != ERROR_ACCESS_DENIED) {
            throw;
        }
        return OpenProven(path, 0, operation);
    }
}

// The answers of a system that does not take the extended disposition (before Windows 10
// 1809, some file systems, Wine 8).
bool MeansUnsupported(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_INVALID_FUNCTION;
}

// Marks the file for deletion without touching its attributes, which every other name of it
// shares. POSIX semantics take the name away at once, even while an indexer or a virus
// scanner holds the file open; where the system does not take that, the name goes when the
// last handle closes, and a read-only file is refused.
void MarkForDeletion(HANDLE file) {
    DispositionInfoEx extended = kPosixDelete;
    if (::SetFileInformationByHandle(file, kFileDispositionInfoEx, &extended, sizeof extended)) {
        return;
    }
    if (const DWORD error = ::GetLastError(); !MeansUnsupported(error)) {
        throw PlatformError("DeleteFiles", error);
    }
    FILE_DISPOSITION_INFO plain = {TRUE};
    if (!::SetFileInformationByHandle(file, FileDispositionInfo, &plain, sizeof plain)) {
        ThrowLastError("DeleteFiles");
    }
}

// Deletes the one file that the path names, through a proven handle, and counts it done only
// once the name is gone: some file systems take the request and keep the file (an immutable
// file, a read-only mount under Wine).
void DeleteOne(const std::wstring& path) {
    {
        const ProvenFile file = OpenProven(path, DELETE, "DeleteFiles");
        MarkForDeletion(file.handle.get());
    } // without POSIX semantics the name goes when its last handle closes
    RequireAbsent(path, ERROR_ACCESS_DENIED, "DeleteFiles");
}

// The process's current folder; none where it cannot be read.
std::optional<std::wstring> CurrentFolderOfProcess() {
    return ReadText(
        [](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); });
}

// Moves the process to the system folder while it lives, and back after. The current folder
// is a handle that shares no delete, and Wine, which knows a file by its inode number, takes
// all of a file system that numbers none (many FUSE mounts) for one file: on the current
// drive such a handle would refuse every delete.
class CurrentFolderSetAside {
public:
    CurrentFolderSetAside() : folder_(CurrentFolderOfProcess()) {
        wchar_t system[MAX_PATH] = {};
        if (folder_ &&
            (::GetSystemDirectoryW(system, MAX_PATH) == 0 || !::SetCurrentDirectoryW(system))) {
            folder_.reset(); // still where it was
        }
    }
    ~CurrentFolderSetAside() {
        if (folder_) {
            ::SetCurrentDirectoryW(folder_->c_str());
        }
    }
    CurrentFolderSetAside(const CurrentFolderSetAside&) = delete;
    CurrentFolderSetAside& operator=(const CurrentFolderSetAside&) = delete;

private:
    std::optional<std::wstring> folder_;
};

// Lets the window paint, and answer what other programs send it, while a scan runs: each log
// entry shows as it is written, and before each operation that may wait on a slow drive
// Windows sees the window alive. Input waits in the queue until the scan is over.
void LetPaint() {
    MSG message = {};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
        ::DispatchMessageW(&message);
    }
}

// An automation object of this platform: an IDispatch, released when the object goes.
class DispatchObject final : public Object {
public:
    DispatchObject(ComPtr<IDispatch> dispatch, int& alive)
        : dispatch_(std::move(dispatch)), alive_(alive) {
        ++alive_;
    }
    ~DispatchObject() override { --alive_; }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    IDispatch* get() const { return dispatch_.Get(); }

private:
    ComPtr<IDispatch> dispatch_;
    int& alive_;
};

// Frees the strings an automation exception carries, and tells its error code.
struct ExceptionInfo : EXCEPINFO {
    ExceptionInfo() : EXCEPINFO{} {}
    ~ExceptionInfo() {
        ::SysFreeString(bstrSource);
        ::SysFreeString(bstrDescription);
        ::SysFreeString(bstrHelpFile);
    }
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;

    HRESULT Code(HRESULT invokeResult) {
        if (invokeResult != DISP_E_EXCEPTION) {
            return invokeResult;
        }
        if (pfnDeferredFillIn != nullptr) {
            pfnDeferredFillIn(this);
        }
        return scode != 0 ? scode : static_cast<HRESULT>(0x800A0000L | wCode);
    }
};

Value ToValue(const VARIANT& result, int& alive) {
    switch (result.vt) {
    case VT_BOOL:
        return result.boolVal == VARIANT_TRUE;
    case VT_DISPATCH:
        if (result.pdispVal != nullptr) {
            return std::make_unique<DispatchObject>(ComPtr<IDispatch>(result.pdispVal), alive);
        }
        return std::monostate{};
    default:
        return std::monostate{};
    }
}

} // namespace

Win32Platform::Win32Platform(Win32Controls controls) : controls_(controls) {
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

// ---- The drive list ------------------------------------------------------------------------

void Win32Platform::RefreshDrives() {
    const DWORD drives = ::GetLogicalDrives();
    if (drives == 0) {
        ThrowLastError("RefreshDrives");
    }
    ::SendMessageW(controls_.driveList, CB_RESETCONTENT, 0, 0);
    for (wchar_t letter = L'a'; letter <= L'z'; ++letter) {
        if ((drives & (1U << (letter - L'a'))) == 0) {
            continue;
        }
        const wchar_t entry[] = {letter, L':', L'\0'};
        const LRESULT added =
            ::SendMessageW(controls_.driveList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        if (added == CB_ERR || added == CB_ERRSPACE) {
            throw PlatformError("RefreshDrives", ERROR_NOT_ENOUGH_MEMORY);
        }
    }
}

std::int16_t Win32Platform::DriveCount() {
    const LRESULT count = ::SendMessageW(controls_.driveList, CB_GETCOUNT, 0, 0);
    if (count == CB_ERR) {
        throw PlatformError("DriveCount", ERROR_INVALID_WINDOW_HANDLE);
    }
    return static_cast<std::int16_t>(count);
}

std::wstring Win32Platform::DriveEntry(std::int16_t index) {
    LetPaint();
    const LRESULT length =
        ::SendMessageW(controls_.driveList, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        throw PlatformError("DriveEntry", ERROR_INVALID_INDEX);
    }
    std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        ::SendMessageW(controls_.driveList, CB_GETLBTEXT, static_cast<WPARAM>(index),
                       reinterpret_cast<LPARAM>(entry.data()));
    if (copied == CB_ERR) {
        throw PlatformError("DriveEntry", ERROR_INVALID_INDEX);
    }
    entry.resize(static_cast<std::size_t>(copied));
    return entry;
}

// ---- File functions ------------------------------------------------------------------------

void Win32Platform::ChangeCurrentDrive(const std::wstring& drive) {
    LetPaint();
    // "e:" alone names that drive's current folder, so this makes e: the current drive.
    if (!::SetCurrentDirectoryW(drive.c_str())) {
        ThrowLastError("ChangeCurrentDrive");
    }
}

std::wstring Win32Platform::CurrentFolder() {
    std::optional<std::wstring> folder = CurrentFolderOfProcess();
    if (!folder) {
        ThrowLastError("CurrentFolder");
    }
    return *std::move(folder);
}

void Win32Platform::ChangeCurrentFolder(const std::wstring& folder) {
    if (!::SetCurrentDirectoryW(folder.c_str())) {
        ThrowLastError("ChangeCurrentFolder");
    }
}

void Win32Platform::SetFileAttributes(const std::wstring& path, FileAttribute attributes) {
    LetPaint();
    const ProvenFile file = OpenForAttributes(path, "SetFileAttributes");
    if (file.links > 1) {
        // Attributes belong to the file, not the name: a change here would reach every other
        // name of it, wherever that is.
        throw PlatformError("SetFileAttributes", ERROR_ACCESS_DENIED);
    }
    FILE_BASIC_INFO info = {}; // times of 0 stay as they are
    info.FileAttributes = attributes == FileAttribute::Normal ? FILE_ATTRIBUTE_NORMAL
                                                              : static_cast<DWORD>(attributes);
    if (!::SetFileInformationByHandle(file.handle.get(), FileBasicInfo, &info, sizeof info)) {
        ThrowLastError("SetFileAttributes");
    }
}

std::wstring Win32Platform::FindMatchingFile(const std::wstring& path, FileAttribute mask) {
    LetPaint();
    WIN32_FIND_DATAW data = {};
    const FindHandle find = FindFirst(path, data, "FindMatchingFile");
    if (!find) {
        // A search lists nothing, too, for a name that is there but cannot be read (an I/O
        // error, a link that loops); a pattern names no one file to ask about.
        if (path.find_first_of(L"*?") == std::wstring::npos) {
            RequireAbsent(path, ERROR_FILE_INVALID, "FindMatchingFile");
        }
        return {};
    }
    do {
        if (MatchesMask(ToAttributes(data.dwFileAttributes), mask)) {
            return data.cFileName;
        }
    } while (::FindNextFileW(find.get(), &data));
    if (const DWORD error = ::GetLastError(); error != ERROR_NO_MORE_FILES) {
        throw PlatformError("FindMatchingFile", error);
    }
    return {};
}

void Win32Platform::DeleteFiles(const std::wstring& path) {
    LetPaint();
    // Only entries whose own name is the one asked for: a search matches short 8.3 names too,
    // and a file whose short name is AUTORUN.INF may be called anything. The search is closed
    // before any delete, so that it holds nothing of the folder while the files go.
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data = {};
    for (const FindHandle find = FindFirst(path, data, "DeleteFiles"); find;) {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            EqualNoCase(data.cFileName, NameOf(path))) {
            names.emplace_back(data.cFileName);
        }
        if (!::FindNextFileW(find.get(), &data)) {
            break;
        }
    }
    if (names.empty()) {
        throw PlatformError("DeleteFiles", ERROR_FILE_NOT_FOUND);
    }
    const CurrentFolderSetAside aside;
    for (const std::wstring& name : names) {
        DeleteOne(FolderOf(path) + name);
    }
}

// ---- COM automation ------------------------------------------------------------------------

ObjectPtr Win32Platform::CreateServiceObject(const std::wstring& programmaticId) {
    LetPaint();
    if (!apartment_) {
        apartment_.emplace();
    }
    CLSID clsid = {};
    Check(::CLSIDFromProgID(programmaticId.c_str(), &clsid), "CreateServiceObject");
    ComPtr<IDispatch> dispatch;
    Check(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                             IID_PPV_ARGS(&dispatch)),
          "CreateServiceObject");
    return std::make_unique<DispatchObject>(std::move(dispatch), liveObjects_);
}

Value Win32Platform::CallMember(Object& object, const std::wstring& member,
                                std::span<const std::wstring> arguments) {
    LetPaint();
    IDispatch* dispatch = dynamic_cast<DispatchObject&>(object).get();

    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(member.c_str());
    Check(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), "CallMember");

    // Arguments go by reference, last first, as IDispatch::Invoke expects them.
    std::vector<Bstr> strings;
    strings.reserve(arguments.size());
    std::vector<VARIANTARG> args(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        strings.emplace_back(arguments[i]);
        VARIANTARG& arg = args[arguments.size() - 1 - i];
        arg.vt = VT_BYREF | VT_BSTR;
        arg.pbstrVal = strings.back().address();
    }
    DISPPARAMS params = {args.data(), nullptr, static_cast<UINT>(args.size()), 0};

    Variant result;
    ExceptionInfo exception;
    UINT badArgument = 0;
    const HRESULT hr =
        dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                         &params, result.get(), &exception, &badArgument);
    Check(exception.Code(hr), "CallMember");
    return ToValue(*result, liveObjects_);
}

// ---- The screen ----------------------------------------------------------------------------

void Win32Platform::ShowMessageBox(const std::wstring& text, MessageBoxStyle style,
                                   const std::wstring& title) {
    if (::MessageBoxW(controls_.owner, text.c_str(), title.c_str(), static_cast<UINT>(style)) ==
        0) {
        ThrowLastError("ShowMessageBox");
    }
}

void Win32Platform::AppendItem(const std::wstring& text) {
    const LRESULT index =
        ::SendMessageW(controls_.log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index == LB_ERR || index == LB_ERRSPACE) {
        throw PlatformError("AppendItem", ERROR_NOT_ENOUGH_MEMORY);
    }
    ::SendMessageW(controls_.log, LB_SETTOPINDEX, static_cast<WPARAM>(index),
                   0); // the newest in sight
    LetPaint();
}

void Win32Platform::ClearItems() {
    ::SendMessageW(controls_.log, LB_RESETCONTENT, 0, 0);
}

} // namespace quenlith
