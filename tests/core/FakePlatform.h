// An in-memory platform: drives, files with attributes, the activity log, a trace of every
// call, failure injection for any single operation, and counts of live automation objects.
#pragma once

#include "platform/Platform.h"
#include "scan/DriveState.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quenlith::testing {

struct FakeDrive {
    std::wstring entry;
    DriveState state = DriveState::DriveReady;
    bool writeProtected = false;
};

// Windows paths compare without regard to case.
struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

class FakePlatform final : public Platform {
public:
    // What the system has now; RefreshDrives copies it into the drive list.
    std::vector<FakeDrive> drives;
    std::map<std::wstring, FileAttribute, NoCaseLess> files;
    std::set<std::wstring, NoCaseLess> locked; // files another program holds open
    // Files the system keeps although it took the delete (immutable, on a read-only mount).
    std::set<std::wstring, NoCaseLess> keptAfterDelete;
    std::vector<std::wstring> log;                 // the activity log's items
    std::vector<std::wstring> trace;               // every call, e.g. L"DeleteFiles e:\autorun.inf"
    std::wstring currentFolder = L"c:\\Users\\me"; // where the program was started
    // Members ("driveexists", "isready") that answer with nothing instead of a boolean.
    std::set<std::wstring> nonBooleanAnswers;
    // Makes the call fail when it returns true; operation is the method's or member's name.
    std::function<bool(std::string_view operation, std::wstring_view argument)> fail;
    // Injected failures throw std::bad_alloc instead: a call can fail in more ways than one.
    bool outOfMemory = false;
    int servicesAlive = 0;
    int driveObjectsAlive = 0;

    void AddFile(const std::wstring& path, FileAttribute attributes) { files[path] = attributes; }
    bool HasFile(const std::wstring& path) const { return files.contains(path); }
    void FailOn(std::string_view operation, std::wstring_view argument = {});
    std::vector<std::wstring> TraceOf(std::wstring_view operation) const;

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
                     std::span<const std::wstring> arguments) override;
    void ShowMessageBox(const std::wstring& text, MessageBoxStyle style,
                        const std::wstring& title) override;
    void AppendItem(const std::wstring& text) override;
    void ClearItems() override;

private:
    void Enter(const char* operation, std::wstring_view call, std::wstring_view argument = {});
    const FakeDrive* FindDrive(std::wstring_view entry) const;
    const FakeDrive* DriveOfPath(const std::wstring& path) const;

    std::vector<std::wstring> list_; // the drive list control's entries
};

} // namespace quenlith::testing
