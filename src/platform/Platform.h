// The operations of the Windows platform that the scan and the window call. Portable on
// purpose: no <windows.h> here, so the scan core builds and is tested on any machine.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace quenlith {

// Every platform failure: the operation's name and the platform's error code (a Win32 error
// code or an HRESULT). Callers only tell success from failure; the code is for people.
class PlatformError : public std::exception {
public:
    PlatformError(const char* operation, std::uint32_t code);
    const char* operation() const noexcept { return operation_; }
    std::uint32_t code() const noexcept { return code_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    const char* operation_;
    std::uint32_t code_;
    std::string message_;
};

// File attribute bits, with the values of the classic attribute constants.
enum class FileAttribute : std::uint8_t {
    Normal = 0,
    ReadOnly = 0x01,
    Hidden = 0x02,
    System = 0x04,
    Volume = 0x08,
    Directory = 0x10,
    Archive = 0x20,
};

constexpr FileAttribute operator|(FileAttribute a, FileAttribute b) {
    // A set of flags is a value of the underlying type, which a fixed-type enum holds whole.
    // NOLINTNEXTLINE(clang-analyzer-optin.core.EnumCastOutOfRange)
    return static_cast<FileAttribute>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}

constexpr bool HasAny(FileAttribute set, FileAttribute bits) {
    return (static_cast<std::uint8_t>(set) & static_cast<std::uint8_t>(bits)) != 0;
}

// The classic directory search rule: read-only and archive files always match; hidden, system
// and directory entries only when the mask asks for them; volume labels never do.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the classic order, pinned by the tests
constexpr bool MatchesMask(FileAttribute attributes, FileAttribute mask) {
    if (HasAny(attributes, FileAttribute::Volume)) {
        return false;
    }
    constexpr FileAttribute askedFor =
        FileAttribute::Hidden | FileAttribute::System | FileAttribute::Directory;
    const auto extra = static_cast<std::uint8_t>(attributes) & static_cast<std::uint8_t>(askedFor);
    return (extra & ~static_cast<std::uint8_t>(mask)) == 0;
}

// An object of the automation service; destroying it releases it.
class Object {
public:
    virtual ~Object() = default;
};
using ObjectPtr = std::unique_ptr<Object>;

// The result of a late-bound call: nothing, a boolean or an object.
using Value = std::variant<std::monostate, bool, ObjectPtr>;

constexpr bool IsTrue(const Value& value) {
    const bool* flag = std::get_if<bool>(&value);
    return flag != nullptr && *flag;
}

enum class MessageBoxStyle : std::uint8_t { OkOnly = 0 };

// Each operation either does what it says or throws PlatformError.
class Platform {
public:
    virtual ~Platform() = default;

    // The drive list, entries numbered from 0.
    virtual void RefreshDrives() = 0;
    virtual std::int16_t DriveCount() = 0;
    virtual std::wstring DriveEntry(std::int16_t index) = 0;

    // File functions. A change reaches only the very file the path names: never a folder, never
    // what a link there points to; where that cannot be proven, nothing changes and it fails.
    virtual void ChangeCurrentDrive(const std::wstring& drive) = 0;
    // The process's current folder, which the system holds open, and a change back to one.
    virtual std::wstring CurrentFolder() = 0;
    virtual void ChangeCurrentFolder(const std::wstring& folder) = 0;
    virtual void SetFileAttributes(const std::wstring& path, FileAttribute attributes) = 0;
    // The name of a file matching path under mask, or empty when none matches. A name that is
    // there but cannot be read is a failure, never "none".
    virtual std::wstring FindMatchingFile(const std::wstring& path, FileAttribute mask) = 0;
    // Succeeds only when the names are really gone afterwards.
    virtual void DeleteFiles(const std::wstring& path) = 0;

    // COM automation: late-bound calls resolved by member name.
    virtual ObjectPtr CreateServiceObject(const std::wstring& programmaticId) = 0;
    virtual Value CallMember(Object& object, const std::wstring& member,
                             std::span<const std::wstring> arguments = {}) = 0;

    // The screen: the message box, and the activity log's list.
    virtual void ShowMessageBox(const std::wstring& text, MessageBoxStyle style,
                                const std::wstring& title) = 0;
    virtual void AppendItem(const std::wstring& text) = 0;
    virtual void ClearItems() = 0;
};

} // namespace quenlith
