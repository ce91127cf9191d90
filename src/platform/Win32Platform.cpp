#include "platform/Win32Platform.h"

#include <memory>
#include <optional>
#include <vector>
#include <wrl/client.h>

namespace quenlith {

namespace {

using Microsoft::WRL::ComPtr;

void Check(HRESULT hr, const char* operation) {
    if (FAILED(hr)) {
        throw PlatformError(operation, static_cast<std::uint32_t>(hr));
    }
}

constexpr FileAttribute ToAttributes(DWORD win32) {
    constexpr DWORD classicBits = 0x3F; // read-only, hidden, system, volume, directory, archive
    return static_cast<FileAttribute>(win32 & classicBits);
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

// ---- The window while a scan runs -------------------------------------------------------

void Win32Platform::LetPaint() {
    MSG message = {};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
        ::DispatchMessageW(&message);
    }
    lastPaint_ = ::GetTickCount();
}

void Win32Platform::LetPaintOnceAFrame() {
    // A frame's worth of time: often enough for the window to look alive, seldom enough that
    // asking costs the scan nothing (under Wine each ask is a call to its server).
    constexpr DWORD kFrameMilliseconds = 30;
    if (::GetTickCount() - lastPaint_ >= kFrameMilliseconds) {
        LetPaint();
    }
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
    LetPaintOnceAFrame();
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
    LetPaintOnceAFrame();
    entry_.reset(); // a new drive
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
    entry_.reset(); // the run is over
    if (!::SetCurrentDirectoryW(folder.c_str())) {
        ThrowLastError("ChangeCurrentFolder");
    }
}

void Win32Platform::SetFileAttributes(const std::wstring& path, FileAttribute attributes) {
    LetPaintOnceAFrame();
    EntryOf(path).SetAttributes(attributes);
}

std::wstring Win32Platform::FindMatchingFile(const std::wstring& path, FileAttribute mask) {
    LetPaintOnceAFrame();
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
    LetPaintOnceAFrame();
    EntryOf(path).Delete();
}

FolderEntry& Win32Platform::EntryOf(const std::wstring& path) {
    if (!entry_ || entry_->path() != path) {
        entry_.emplace(path);
    }
    return *entry_;
}

// ---- COM automation ------------------------------------------------------------------------

ObjectPtr Win32Platform::CreateServiceObject(const std::wstring& programmaticId) {
    LetPaintOnceAFrame();
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
    LetPaintOnceAFrame();
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
