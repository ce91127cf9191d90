#include "platform/FileSafety.h"

#include <string_view>
#include <vector>

namespace quenlith {

namespace {

// The answers that mean "there is no such name", as against "it could not be read".
bool MeansAbsent(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_NO_MORE_FILES;
}

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

// The full name of what a handle has open, in the given form; none where the system gives none.
std::optional<std::wstring> FinalPathOf(HANDLE handle, DWORD form) {
    return ReadText([&](wchar_t* buffer, DWORD size) {
        return ::GetFinalPathNameByHandleW(handle, buffer, size, form);
    });
}

// The forms a folder is asked its name in, most telling first; its files are asked theirs in
// the form it answered. A normalized name is made of each part's own long name as its folder
// lists it: it names the entry itself, never what a link there points to, nor a file reached by
// its short 8.3 name. Drives the mount manager does not name (RAM disks and mounted images,
// DefineDosDevice letters, WinFsp and Dokan drives) answer in the NT device form alone; SMB
// normalizes no name where a folder above the share may not be read.
constexpr DWORD kNameForms[] = {
    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS,  // a drive letter; \\?\unix\ under Wine
    FILE_NAME_NORMALIZED | VOLUME_NAME_GUID, // a volume the mount manager knows by its GUID
    FILE_NAME_NORMALIZED | VOLUME_NAME_NT,   // \Device\..., which needs no mount manager
    FILE_NAME_OPENED | VOLUME_NAME_DOS,      // the name as opened: see FolderEntry::Prove
};

// The entry is opened as the link itself where the system can open one, and opened even when
// it is a folder, so that its proof refuses it rather than the open following it; the folder
// the entry is in is opened as the system finds it.
constexpr DWORD kEntryAsItIs = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
constexpr DWORD kFolder = FILE_FLAG_BACKUP_SEMANTICS;

// Empty where the system refuses the open; its last error says why.
Handle TryOpen(const std::wstring& path, DWORD access, DWORD flags) {
    const HANDLE handle = ::CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, flags, nullptr);
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

Handle Open(const std::wstring& path, DWORD access, DWORD flags, const char* operation) {
    Handle handle = TryOpen(path, access, flags);
    if (!handle) {
        ThrowLastError(operation);
    }
    return handle;
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

// The names in path's folder whose own long name is path's, whatever their case (a folder that
// tells case apart may hold more than one). The search is closed before this returns.
std::vector<std::wstring> NamesOf(const std::wstring& path, const char* operation) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data = {};
    for (const FindHandle find = FindFirst(path, data, operation); find;) {
        if (IsTheEntry(data, NameOf(path))) {
            names.emplace_back(data.cFileName);
        }
        if (!::FindNextFileW(find.get(), &data)) {
            break;
        }
    }
    return names;
}

} // namespace

bool IsTheEntry(const WIN32_FIND_DATAW& found, std::wstring_view name) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           EqualNoCase(found.cFileName, name);
}

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

void RequireAbsent(const std::wstring& path, DWORD ifThere, const char* operation) {
    if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        throw PlatformError(operation, ifThere);
    }
    if (const DWORD error = ::GetLastError(); !MeansAbsent(error)) {
        throw PlatformError(operation, error);
    }
}

std::optional<std::wstring> CurrentFolderOfProcess() {
    return ReadText(
        [](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); });
}

// The folder's full name, with its separator, in the first form that it answers in.
const FolderEntry::NamedFolder& FolderEntry::Folder(const char* operation) {
    if (!folder_) {
        const Handle folder = Open(FolderOf(path_), 0, kFolder, operation);
        for (const DWORD form : kNameForms) {
            if (std::optional<std::wstring> name = FinalPathOf(folder.get(), form)) {
                if (!name->ends_with(L'\\')) {
                    *name += L'\\';
                }
                return folder_.emplace(NamedFolder{*std::move(name), form});
            }
        }
        throw PlatformError(operation, ERROR_CANT_RESOLVE_FILENAME);
    }
    return *folder_;
}

// Proves that the open file is the entry path names directly in the folder: not what a link
// there points to (Wine follows every link it opens), not a file reached under another name,
// and not a folder.
FolderEntry::ProvenFile FolderEntry::Prove(Handle file, const std::wstring& path,
                                           const char* operation) {
    // The standard information, not GetFileInformationByHandle: that one asks the volume for
    // its serial number too, which under Wine costs more than all the rest of the proof.
    FILE_STANDARD_INFO info = {};
    if (!::GetFileInformationByHandleEx(file.get(), FileStandardInfo, &info, sizeof info)) {
        ThrowLastError(operation);
    }
    if (info.Directory) {
        throw PlatformError(operation, ERROR_ACCESS_DENIED);
    }
    const NamedFolder& folder = Folder(operation);
    const std::optional<std::wstring> name = FinalPathOf(file.get(), folder.form);
    if (!name || !EqualNoCase(*name, folder.name + std::wstring(NameOf(path)))) {
        throw PlatformError(operation, ERROR_CANT_RESOLVE_FILENAME);
    }
    // The name as opened is the one asked for, which may be the short 8.3 name of another
    // file, so the folder, read while the file is held, must list it as a file's own long
    // name. (Wine answers the normalized name even here: a link it followed fails above.)
    if ((folder.form & FILE_NAME_OPENED) != 0 && NamesOf(path, operation).empty()) {
        throw PlatformError(operation, ERROR_CANT_RESOLVE_FILENAME);
    }
    return {std::move(file), info.NumberOfLinks};
}

// Wine opens a handle with FILE_WRITE_ATTRIBUTES for writing, which a read-only file refuses
// to all but root, yet takes the change through any handle, as its own SetFileAttributesW
// does; Windows refuses the change without the right. Once refused, it is not asked again.
Handle FolderEntry::OpenForAttributes() {
    if (!attributesRefused_) {
        if (Handle file = TryOpen(path_, FILE_WRITE_ATTRIBUTES, kEntryAsItIs)) {
            return file;
        }
        if (::GetLastError() != ERROR_ACCESS_DENIED) {
            ThrowLastError("SetFileAttributes");
        }
        attributesRefused_ = true;
    }
    return Open(path_, 0, kEntryAsItIs, "SetFileAttributes");
}

void FolderEntry::SetAttributes(FileAttribute attributes) {
    const ProvenFile file = Prove(OpenForAttributes(), path_, "SetFileAttributes");
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

void FolderEntry::Delete() {
    // The search is closed before any delete, so that it holds nothing of the folder while the
    // files go.
    const std::vector<std::wstring> names = NamesOf(path_, "DeleteFiles");
    if (names.empty()) {
        throw PlatformError("DeleteFiles", ERROR_FILE_NOT_FOUND);
    }
    const CurrentFolderSetAside aside;
    for (const std::wstring& name : names) {
        const std::wstring path = FolderOf(path_) + name;
        {
            const ProvenFile file =
                Prove(Open(path, DELETE, kEntryAsItIs, "DeleteFiles"), path, "DeleteFiles");
            MarkForDeletion(file.handle.get());
        } // without POSIX semantics the name goes when its last handle closes
        // Some file systems take the request and keep the file (an immutable file, a
        // read-only mount under Wine).
        RequireAbsent(path, ERROR_ACCESS_DENIED, "DeleteFiles");
    }
}

} // namespace quenlith
