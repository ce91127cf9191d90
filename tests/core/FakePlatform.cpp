#include "FakePlatform.h"

#include <algorithm>
#include <cwctype>
#include <new>

namespace quenlith::testing {

namespace {

constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kWriteProtect = 19;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kInjected = 0xFA11;
constexpr std::uint32_t kUnknownName = 0x80020006; // DISP_E_UNKNOWNNAME

class FakeObject : public Object {
public:
    explicit FakeObject(int& alive) : alive_(alive) { ++alive_; }
    ~FakeObject() override { --alive_; }
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;

private:
    int& alive_;
};

class FakeService final : public FakeObject {
    using FakeObject::FakeObject;
};

class FakeDriveObject final : public FakeObject {
public:
    FakeDriveObject(int& alive, DriveState driveState) : FakeObject(alive), state(driveState) {}
    DriveState state;
};

} // namespace

bool NoCaseLess::operator()(const std::wstring& a, const std::wstring& b) const {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
            return std::towlower(static_cast<wint_t>(x)) < std::towlower(static_cast<wint_t>(y));
        });
}

void FakePlatform::FailOn(std::string_view operation, std::wstring_view argument) {
    fail = [operation, argument = std::wstring(argument)](std::string_view op,
                                                          std::wstring_view arg) {
        return op == operation && (argument.empty() || arg == argument);
    };
}

std::vector<std::wstring> FakePlatform::TraceOf(std::wstring_view operation) const {
    std::vector<std::wstring> calls;
    std::copy_if(trace.begin(), trace.end(), std::back_inserter(calls),
                 [&](const std::wstring& call) { return call.starts_with(operation); });
    return calls;
}

void FakePlatform::Enter(const char* operation, std::wstring_view call,
                         std::wstring_view argument) {
    trace.emplace_back(call);
    if (fail && fail(operation, argument)) {
        trace.back() += L" !";
        if (outOfMemory) {
            throw std::bad_alloc();
        }
        throw PlatformError(operation, kInjected);
    }
}

const FakeDrive* FakePlatform::FindDrive(std::wstring_view entry) const {
    const auto it = std::find_if(drives.begin(), drives.end(),
                                 [&](const FakeDrive& drive) { return drive.entry == entry; });
    return it == drives.end() ? nullptr : &*it;
}

const FakeDrive* FakePlatform::DriveOfPath(const std::wstring& path) const {
    const auto backslash = path.rfind(L'\\');
    return backslash == std::wstring::npos ? nullptr : FindDrive(path.substr(0, backslash));
}

void FakePlatform::RefreshDrives() {
    Enter("RefreshDrives", L"RefreshDrives");
    list_.clear();
    for (const FakeDrive& drive : drives) {
        list_.push_back(drive.entry);
    }
}

std::int16_t FakePlatform::DriveCount() {
    Enter("DriveCount", L"DriveCount");
    return static_cast<std::int16_t>(list_.size());
}

std::wstring FakePlatform::DriveEntry(std::int16_t index) {
    Enter("DriveEntry", L"DriveEntry " + std::to_wstring(index));
    if (index < 0 || static_cast<std::size_t>(index) >= list_.size()) {
        throw PlatformError("DriveEntry", kFileNotFound);
    }
    return list_[static_cast<std::size_t>(index)];
}

void FakePlatform::ChangeCurrentDrive(const std::wstring& drive) {
    Enter("ChangeCurrentDrive", L"ChangeCurrentDrive " + drive, drive);
    currentFolder = drive;
}

std::wstring FakePlatform::CurrentFolder() {
    Enter("CurrentFolder", L"CurrentFolder");
    return currentFolder;
}

void FakePlatform::ChangeCurrentFolder(const std::wstring& folder) {
    Enter("ChangeCurrentFolder", L"ChangeCurrentFolder " + folder, folder);
    currentFolder = folder;
}

void FakePlatform::SetFileAttributes(const std::wstring& path, FileAttribute attributes) {
    Enter("SetFileAttributes",
          L"SetFileAttributes " + path + L" " +
              std::to_wstring(static_cast<std::uint16_t>(attributes)),
          path);
    const auto file = files.find(path);
    if (file == files.end()) {
        throw PlatformError("SetFileAttributes", kFileNotFound);
    }
    if (const FakeDrive* drive = DriveOfPath(path); drive != nullptr && drive->writeProtected) {
        throw PlatformError("SetFileAttributes", kWriteProtect);
    }
    // A folder stays a folder whatever else is set.
    const bool folder = HasAny(file->second, FileAttribute::Directory);
    file->second = folder ? attributes | FileAttribute::Directory : attributes;
}

std::wstring FakePlatform::FindMatchingFile(const std::wstring& path, FileAttribute mask) {
    Enter("FindMatchingFile",
          L"FindMatchingFile " + path + L" " + std::to_wstring(static_cast<std::uint16_t>(mask)),
          path);
    const auto file = files.find(path);
    if (file == files.end() || !MatchesMask(file->second, mask)) {
        return {};
    }
    return file->first.substr(file->first.rfind(L'\\') + 1);
}

void FakePlatform::DeleteFiles(const std::wstring& path) {
    Enter("DeleteFiles", L"DeleteFiles " + path, path);
    const auto file = files.find(path);
    if (file == files.end() || HasAny(file->second, FileAttribute::Directory)) {
        throw PlatformError("DeleteFiles", kFileNotFound);
    }
    if (const FakeDrive* drive = DriveOfPath(path); drive != nullptr && drive->writeProtected) {
        throw PlatformError("DeleteFiles", kWriteProtect);
    }
    if (locked.contains(path)) {
        throw PlatformError("DeleteFiles", kSharingViolation);
    }
    if (HasAny(file->second, FileAttribute::ReadOnly)) {
        throw PlatformError("DeleteFiles", kAccessDenied);
    }
    if (keptAfterDelete.contains(path)) {
        throw PlatformError("DeleteFiles", kAccessDenied); // the name is still there afterwards
    }
    files.erase(file);
}

ObjectPtr FakePlatform::CreateServiceObject(const std::wstring& programmaticId) {
    Enter("CreateServiceObject", L"CreateServiceObject " + programmaticId, programmaticId);
    if (programmaticId != L"Scripting.FileSystemObject") {
        throw PlatformError("CreateServiceObject", 0x800401F3); // CO_E_CLASSSTRING
    }
    return std::make_unique<FakeService>(servicesAlive);
}

Value FakePlatform::CallMember(Object& object, const std::wstring& member,
                               std::span<const std::wstring> arguments) {
    const std::wstring argument = arguments.empty() ? std::wstring() : arguments.front();
    Enter(member == L"driveexists" ? "driveexists"
          : member == L"getdrive"  ? "getdrive"
          : member == L"isready"   ? "isready"
                                   : "CallMember",
          L"CallMember " + member + (argument.empty() ? L"" : L" " + argument), argument);
    if (nonBooleanAnswers.contains(member)) {
        return std::monostate{};
    }
    if (dynamic_cast<FakeService*>(&object) != nullptr) {
        const FakeDrive* drive = FindDrive(argument);
        if (member == L"driveexists" && arguments.size() == 1) {
            return drive != nullptr && drive->state != DriveState::DriveAbsent;
        }
        if (member == L"getdrive" && arguments.size() == 1 && drive != nullptr) {
            return std::make_unique<FakeDriveObject>(driveObjectsAlive, drive->state);
        }
    }
    if (auto* drive = dynamic_cast<FakeDriveObject*>(&object);
        drive != nullptr && member == L"isready" && arguments.empty()) {
        return drive->state == DriveState::DriveReady;
    }
    throw PlatformError("CallMember", kUnknownName);
}

void FakePlatform::ShowMessageBox(const std::wstring& text, MessageBoxStyle style,
                                  const std::wstring& title) {
    Enter("ShowMessageBox", L"ShowMessageBox " + title + L" " +
                                std::to_wstring(static_cast<std::uint32_t>(style)) + L" " + text);
}

void FakePlatform::AppendItem(const std::wstring& text) {
    Enter("AppendItem", L"AppendItem " + text, text);
    log.push_back(text);
}

void FakePlatform::ClearItems() {
    Enter("ClearItems", L"ClearItems");
    log.clear();
}

} // namespace quenlith::testing
