#include "scan/DriveProbe.h"

namespace quenlith {

namespace {

// A platform error code that says "the call gave back no object where one was promised".
constexpr std::uint32_t kNotAnObject = 0x80020005; // DISP_E_TYPEMISMATCH

ObjectPtr TakeObject(Value&& value, const char* operation) {
    if (auto* object = std::get_if<ObjectPtr>(&value); object != nullptr && *object) {
        return std::move(*object);
    }
    throw PlatformError(operation, kNotAnObject);
}

} // namespace

DriveState DExists(Platform& platform, const std::wstring& OrigFile) {
    // A fresh service per call: nothing is cached, so a drive that just became ready shows at once.
    const ObjectPtr service = platform.CreateServiceObject(L"Scripting.FileSystemObject");
    const std::span<const std::wstring> drive{&OrigFile, 1};

    if (!IsTrue(platform.CallMember(*service, L"driveexists", drive))) {
        return DriveState::DriveAbsent;
    }
    const ObjectPtr driveObject =
        TakeObject(platform.CallMember(*service, L"getdrive", drive), "getdrive");
    return IsTrue(platform.CallMember(*driveObject, L"isready")) ? DriveState::DriveReady
                                                                 : DriveState::DriveNotReady;
}

} // namespace quenlith
