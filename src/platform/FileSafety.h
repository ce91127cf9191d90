// Every change Quenlith makes to a file is made here, and this file keeps its promise:
// - a change goes through a handle opened without following links where the system can, and
//   proven before the change to hold exactly the entry of that name in its folder, by the name
//   the system gives it beside the folder's (and, where it normalizes none, by the folder's own
//   listing): never a folder, never what a link there points to, never a file reached under
//   another name;
// - attributes never change on a file that has other names: every name shares them;
// - a delete counts only once the name is gone, and while it runs the current folder, which
//   the system holds open, is set aside;
// - "absent" only when the system answers that there is no such name.
// Anything that cannot be proven is refused untouched. Nothing here outlives its caller's call
// but a FolderEntry, which holds no handle.
#pragma once

#include "platform/Platform.h"
#include "platform/Win32.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quenlith {

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct FindCloser {
    void operator()(HANDLE find) const { ::FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

// Starts a directory search; an empty handle means nothing matched at all.
FindHandle FindFirst(const std::wstring& path, WIN32_FIND_DATAW& data, const char* operation);

// Whether a search result is the file of that very name: a search matches short 8.3 names too,
// and a file whose short name is AUTORUN.INF may be called anything. Never a folder.
bool IsTheEntry(const WIN32_FIND_DATAW& found, std::wstring_view name);

// Fails unless the system answers that the path names nothing: ifThere is the error when a
// file is there; any other answer, an I/O error say, fails with its own error.
void RequireAbsent(const std::wstring& path, DWORD ifThere, const char* operation);

// The process's current folder; none where it cannot be read.
std::optional<std::wstring> CurrentFolderOfProcess();

// The one entry of one folder that a drive has changes for ("e:\autorun.inf"), with what its
// proofs have learnt once: how the system names the folder, and whether it refused to open the
// file to change its attributes. Meant to live for one drive; it holds nothing open.
class FolderEntry {
public:
    explicit FolderEntry(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& path() const { return path_; }

    // Sets the file's attributes; a folder, an unproven file or one with other names is
    // refused untouched.
    void SetAttributes(FileAttribute attributes);
    // Deletes the entries whose own long name is the one asked for (a search matches short
    // 8.3 names too) and succeeds only once they are gone.
    void Delete();

private:
    // A handle proven to hold the very file a path names, and how many names that file has.
    struct ProvenFile {
        Handle handle;
        DWORD links = 0;
    };
    // The folder as the system names it, and the form in which it did: its files are asked
    // for theirs in the same.
    struct NamedFolder {
        std::wstring name;
        DWORD form;
    };
    ProvenFile Prove(Handle file, const std::wstring& path, const char* operation);
    Handle OpenForAttributes();
    const NamedFolder& Folder(const char* operation);

    std::wstring path_;
    // Read at the first file that is opened, and never on a drive without one.
    std::optional<NamedFolder> folder_;
    bool attributesRefused_ = false;
};

} // namespace quenlith
