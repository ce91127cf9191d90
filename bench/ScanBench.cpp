// The scan over every ready drive, against the same work done by path in a plain loop (without
// the proof of each file's identity), the file calls alone, and a cmd.exe batch of attrib and
// del doing the same work.
#include "../tests/wine/WineSupport.h"
#include "Bench.h"
#include "platform/Com.h"
#include "platform/Win32Platform.h"
#include "scan/ScanRun.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>
#include <wrl/client.h>

namespace quenlith::bench {
namespace {

using Microsoft::WRL::ComPtr;
using quenlith::testing::kWellHidden;

std::vector<wchar_t> ReadyLetters() {
    std::vector<wchar_t> letters;
    const DWORD drives = ::GetLogicalDrives();
    for (wchar_t letter = L'c'; letter <= L'z'; ++letter) {
        const std::wstring root = std::wstring{letter, L':', L'\\'};
        if ((drives & (1U << (letter - L'a'))) != 0 &&
            ::GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES) {
            letters.push_back(letter);
        }
    }
    return letters;
}

std::wstring Target(wchar_t letter) {
    return std::wstring{letter, L':'} + L"\\autorun.inf";
}

// Half the drives get an autorun.inf as malware leaves it: hidden, system, read-only.
void Seed(const std::vector<wchar_t>& letters) {
    for (std::size_t i = 0; i < letters.size(); ++i) {
        const std::wstring path = Target(letters[i]);
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
        if (i % 2 == 0) {
            const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            ::CloseHandle(file);
            // Hidden and system first: under Wine a read-only file takes them only from root.
            ::SetFileAttributesW(path.c_str(), kWellHidden & ~FILE_ATTRIBUTE_READONLY);
            ::SetFileAttributesW(path.c_str(), kWellHidden);
        }
    }
}

// The probe's calls, straight: a new FileSystemObject, driveexists, getdrive, isready.
bool ProbePlain(const std::wstring& drive) {
    CLSID clsid = {};
    ComPtr<IDispatch> service;
    if (FAILED(::CLSIDFromProgID(L"Scripting.FileSystemObject", &clsid)) ||
        FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  IID_PPV_ARGS(&service)))) {
        return false;
    }
    const auto call = [](IDispatch* object, const wchar_t* member, const std::wstring* argument,
                         VARIANT& result) {
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(member);
        if (FAILED(object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id))) {
            return false;
        }
        BSTR text = argument ? ::SysAllocString(argument->c_str()) : nullptr;
        VARIANTARG arg = {};
        arg.vt = VT_BYREF | VT_BSTR;
        arg.pbstrVal = &text;
        DISPPARAMS params = {argument ? &arg : nullptr, nullptr, argument ? 1U : 0U, 0};
        const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                                          DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &result,
                                          nullptr, nullptr);
        ::SysFreeString(text);
        return SUCCEEDED(hr);
    };
    Variant exists;
    if (!call(service.Get(), L"driveexists", &drive, *exists.get()) ||
        (*exists).boolVal != VARIANT_TRUE) {
        return false;
    }
    Variant driveObject;
    if (!call(service.Get(), L"getdrive", &drive, *driveObject.get()) ||
        (*driveObject).vt != VT_DISPATCH) {
        return false;
    }
    Variant ready;
    return call((*driveObject).pdispVal, L"isready", nullptr, *ready.get()) &&
           (*ready).boolVal == VARIANT_TRUE;
}

// The file calls of one drive, straight, as the run makes them.
void FilesPlain(const std::wstring& drive, HWND log) {
    const std::wstring path = drive + L"\\autorun.inf";
    ::SetCurrentDirectoryW(drive.c_str());
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    WIN32_FIND_DATAW data = {};
    const HANDLE find = ::FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        ::SendMessageW(log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Autorun Not Found"));
        return;
    }
    ::FindClose(find);
    ::SendMessageW(log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Autorun Found"));
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    wchar_t current[MAX_PATH] = {}, system[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current); // deleted from the system folder
    ::GetSystemDirectoryW(system, MAX_PATH);
    ::SetCurrentDirectoryW(system);
    const HANDLE file = ::CreateFileW(
        path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    wchar_t opened[MAX_PATH] = {};
    ::GetFinalPathNameByHandleW(file, opened, MAX_PATH, 0);
    DispositionInfoEx extended = kPosixDelete;
    FILE_DISPOSITION_INFO plain = {TRUE};
    if (!::SetFileInformationByHandle(file, kFileDispositionInfoEx, &extended, sizeof extended)) {
        ::SetFileInformationByHandle(file, FileDispositionInfo, &plain, sizeof plain);
    }
    ::CloseHandle(file);
    ::SetCurrentDirectoryW(current);
    ::SendMessageW(log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Autorun Deleted"));
}

void RefreshPlain(HWND combo) {
    const DWORD drives = ::GetLogicalDrives();
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (wchar_t letter = L'a'; letter <= L'z'; ++letter) {
        if ((drives & (1U << (letter - L'a'))) != 0) {
            const wchar_t entry[] = {letter, L':', L'\0'};
            ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
        }
    }
}

std::wstring EntryPlain(HWND combo, int index) {
    wchar_t entry[8] = {};
    ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(entry));
    return entry;
}

} // namespace

int RunScan(int repetitions) {
    const ComApartment apartment;
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                         nullptr, instance, nullptr);
    const HWND combo = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 10,
                                         100, owner, nullptr, instance, nullptr);
    const HWND log = ::CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD, 0, 0, 10, 10, owner, nullptr,
                                       instance, nullptr);
    Win32Platform platform({owner, combo, log});
    const std::vector<wchar_t> letters = ReadyLetters();
    const auto seed = [&] {
        Seed(letters);
        ::SendMessageW(log, LB_RESETCONTENT, 0, 0);
    };
    const auto plainLoop = [&](bool probe) {
        wchar_t start[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, start);
        RefreshPlain(combo);
        const int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            const std::wstring drive = EntryPlain(combo, i);
            if (probe ? ProbePlain(drive)
                      : std::find(letters.begin(), letters.end(), drive[0]) != letters.end()) {
                FilesPlain(drive, log);
            }
        }
        ::SetCurrentDirectoryW(start);
    };

    std::vector<double> scan, floor, files, batch;
    // The peer: one batch over the same drives, as a user would write it.
    std::ofstream script("C:\\tests\\clean.bat");
    script << "@echo off\r\n";
    for (const wchar_t letter : letters) {
        const char drive = static_cast<char>(letter);
        script << "attrib -r -s -h " << drive << ":\\autorun.inf >nul 2>nul\r\n";
        script << "del " << drive << ":\\autorun.inf >nul 2>nul\r\n";
    }
    script.close();
    const auto runBatch = [] {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        std::wstring command = L"cmd.exe /c C:\\tests\\clean.bat";
        if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &startup, &process)) {
            ::WaitForSingleObject(process.hProcess, INFINITE);
            ::CloseHandle(process.hThread);
            ::CloseHandle(process.hProcess);
        }
    };

    for (int i = 0; i < repetitions; ++i) {
        scan.push_back(TimeOnce(seed, [&] { ScanAndRemove(platform); }));
        floor.push_back(TimeOnce(seed, [&] { plainLoop(true); }));
        files.push_back(TimeOnce(seed, [&] { plainLoop(false); }));
        if (i < std::max(3, repetitions / 4)) {
            batch.push_back(TimeOnce(seed, runBatch));
        }
    }
    ::DestroyWindow(owner);

    const double scanMs = Median(scan), floorMs = Median(floor), filesMs = Median(files),
                 batchMs = Median(batch);
    const std::string drives = std::to_string(letters.size()) + " ready drives, half infected";
    Row(("Scan run, " + drives).c_str(), Milliseconds(scanMs));
    Row("The same work by path in a plain loop, unguarded (floor)", Milliseconds(floorMs));
    Row("File calls alone, no probe", Milliseconds(filesMs));
    Row("cmd.exe batch of attrib -r -s -h and del", Milliseconds(batchMs));
    Row("Ratio scan / floor (the file-safety guards and the program's own work)",
        Ratio(scanMs / floorMs));
    Row("Share of the floor spent in the probe", Ratio((floorMs - filesMs) / floorMs));
    Row("Ratio cmd.exe batch / scan", Ratio(batchMs / scanMs));
    return 0;
}

} // namespace quenlith::bench
