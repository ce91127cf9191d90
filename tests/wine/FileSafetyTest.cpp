// Run over drives that seed-links.sh laid out: autorun.inf names that are links, a hard link,
// an immutable file and a read-only mount. Two scans, then each case checks its own drive:
// nothing but the root autorun.inf may change, and the log says only what really happened.
// A short 8.3 name is made as Windows makes it; with QUENLITH_UNNAMED_DRIVES set, the drives
// name their files as Windows' unnamed drives do.
#include "WineSupport.h"
#include "scan/ScanRun.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace quenlith::testing {
namespace {

using Log = std::vector<std::wstring>;

// What Windows answers for a DOS or volume GUID name on drives that the mount manager does not
// name: RAM disks and mounted images (1), Dokan (2), DefineDosDevice letters (3), WinFsp (1005).
// ERROR_ACCESS_DENIED: an SMB home drive whose server folder above may not be read, which
// answers no normalized name at all. Wine names every drive, so for these it is made to answer
// so; every other drive, and every handle on no drive (a link Wine followed), is Wine's own.
struct UnnamedDrive {
    wchar_t letter;
    DWORD error;
};
constexpr UnnamedDrive kUnnamedDrives[] = {
    {L'd', ERROR_INVALID_FUNCTION},    {L'i', ERROR_INVALID_FUNCTION},
    {L'm', ERROR_INVALID_FUNCTION},    {L's', ERROR_INVALID_FUNCTION},
    {L'j', ERROR_FILE_NOT_FOUND},      {L'n', ERROR_FILE_NOT_FOUND},
    {L'q', ERROR_FILE_NOT_FOUND},      {L'v', ERROR_FILE_NOT_FOUND},
    {L'f', ERROR_PATH_NOT_FOUND},      {L'k', ERROR_PATH_NOT_FOUND},
    {L'o', ERROR_PATH_NOT_FOUND},      {L'x', ERROR_PATH_NOT_FOUND},
    {L'l', ERROR_UNRECOGNIZED_VOLUME}, {L'p', ERROR_UNRECOGNIZED_VOLUME},
    {L'r', ERROR_UNRECOGNIZED_VOLUME}, {L't', ERROR_UNRECOGNIZED_VOLUME},
    {L'u', ERROR_UNRECOGNIZED_VOLUME}, {L'c', ERROR_ACCESS_DENIED},
    {L'e', ERROR_ACCESS_DENIED},       {L'w', ERROR_ACCESS_DENIED},
    {L'y', ERROR_ACCESS_DENIED},       {L'z', ERROR_ACCESS_DENIED},
    {L'b', ERROR_ACCESS_DENIED},
};

// A hidden, read-only notes.txt whose short 8.3 name is AUTORUN.INF (SetFileShortNameW, or a
// worm writing the FAT entry itself): Windows opens and lists notes.txt for x:\autorun.inf,
// names the handle notes.txt when asked for its normalized name, and x:\autorun.inf, the name
// as opened, when asked for that. Wine makes no such name, so it is made to answer so here.
// a: names its folder; b: answers no normalized name, as an SMB home drive does.
constexpr std::array kShortNamed = {L"a:", L"b:"};

using CreateFileFunction = HANDLE WINAPI(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                         HANDLE);
using FindFirstFileFunction = HANDLE WINAPI(LPCWSTR, LPWIN32_FIND_DATAW);
using FinalPathName = DWORD WINAPI(HANDLE, LPWSTR, DWORD, DWORD);
CreateFileFunction* wineCreateFile = nullptr;
FindFirstFileFunction* wineFindFirstFile = nullptr;
FinalPathName* wineFinalPathName = nullptr;
bool unnamedDrives = false;
std::map<HANDLE, std::wstring> openedByShortName;

// The file that path reaches by its short name; none where it names no such file.
std::optional<std::wstring> LongNameOf(LPCWSTR path) {
    for (const std::wstring drive : kShortNamed) {
        if (::_wcsicmp(path, (drive + L"\\autorun.inf").c_str()) == 0) {
            return drive + L"\\notes.txt";
        }
    }
    return std::nullopt;
}

HANDLE WINAPI CreateFileAsWindows(LPCWSTR path, DWORD access, DWORD share,
                                  LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                  HANDLE model) {
    const std::optional<std::wstring> longName = LongNameOf(path);
    const HANDLE file = wineCreateFile(longName ? longName->c_str() : path, access, share, security,
                                       disposition, flags, model);
    if (file != INVALID_HANDLE_VALUE) {
        if (longName) {
            openedByShortName[file] = path;
        } else {
            openedByShortName.erase(file); // a handle value used again
        }
    }
    return file;
}

HANDLE WINAPI FindFirstFileAsWindows(LPCWSTR path, LPWIN32_FIND_DATAW data) {
    const std::optional<std::wstring> longName = LongNameOf(path);
    const HANDLE find = wineFindFirstFile(longName ? longName->c_str() : path, data);
    if (longName && find != INVALID_HANDLE_VALUE) {
        ::lstrcpynW(data->cAlternateFileName, L"AUTORUN.INF", 14);
    }
    return find;
}

bool Refuses(const UnnamedDrive& drive, DWORD flags) {
    if (drive.error == ERROR_ACCESS_DENIED) {
        return (flags & FILE_NAME_OPENED) == 0;
    }
    const DWORD volume = flags & (VOLUME_NAME_GUID | VOLUME_NAME_NT | VOLUME_NAME_NONE);
    return volume == VOLUME_NAME_DOS || volume == VOLUME_NAME_GUID;
}

DWORD WINAPI FinalPathNameAsWindows(HANDLE file, LPWSTR buffer, DWORD size, DWORD flags) {
    wchar_t name[MAX_PATH] = {}; // \\?\D:\... where Wine puts the handle on a drive
    if (unnamedDrives && wineFinalPathName(file, name, MAX_PATH, VOLUME_NAME_DOS) > 6 &&
        name[5] == L':') {
        for (const UnnamedDrive& drive : kUnnamedDrives) {
            if (drive.letter == std::towlower(name[4]) && Refuses(drive, flags)) {
                ::SetLastError(drive.error);
                return 0;
            }
        }
    }
    const auto opened = openedByShortName.find(file);
    if (flags == (FILE_NAME_OPENED | VOLUME_NAME_DOS) && opened != openedByShortName.end()) {
        const std::wstring asOpened = L"\\\\?\\" + opened->second;
        if (size <= asOpened.size()) {
            return static_cast<DWORD>(asOpened.size() + 1);
        }
        ::lstrcpynW(buffer, asOpened.c_str(), static_cast<int>(size));
        return static_cast<DWORD>(asOpened.size());
    }
    return wineFinalPathName(file, buffer, size, flags);
}

// This program's own import slot for a function, found by name among all its imports.
void** ImportSlot(const char* function) {
    const auto base = reinterpret_cast<const BYTE*>(::GetModuleHandleW(nullptr));
    const auto& nt = *reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports =
        nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports);
         dll->Name != 0; ++dll) {
        auto name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto slot = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) {
                continue;
            }
            const auto& byName =
                *reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName.Name), function) == 0) {
                return reinterpret_cast<void**>(const_cast<IMAGE_THUNK_DATA*>(slot));
            }
        }
    }
    return nullptr;
}

// While it lives, this program's own calls of one function (the code under test is linked into
// it) go to a stand-in, which reaches Wine's own through original.
class StandIn {
public:
    template <typename Function>
    StandIn(const char* function, Function* standIn, Function*& original)
        : slot_(ImportSlot(function)) {
        Require(slot_ != nullptr, function);
        saved_ = *slot_;
        original = reinterpret_cast<Function*>(saved_);
        Swap(reinterpret_cast<void*>(standIn));
    }
    ~StandIn() { Swap(saved_); }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

private:
    void Swap(void* function) {
        DWORD protection = 0;
        Require(::VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection) != FALSE,
                "VirtualProtect");
        *slot_ = function;
        ::VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    }
    void** slot_;
    void* saved_ = nullptr;
};

// Windows' answers where Wine's differ, while it lives.
struct AsWindows {
    StandIn createFile{"CreateFileW", CreateFileAsWindows, wineCreateFile};
    StandIn findFirstFile{"FindFirstFileW", FindFirstFileAsWindows, wineFindFirstFile};
    StandIn finalPathName{"GetFinalPathNameByHandleW", FinalPathNameAsWindows, wineFinalPathName};
};

class FileSafetyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Attributes belong to the file, so these twins share them with a root autorun.inf.
        for (const auto& [twin, attributes] : kTwins) {
            SetAttributes(SandboxPath(twin), attributes);
            Require((AttributesOf(SandboxPath(twin)) & kWellHidden) == attributes,
                    "the twin's attributes to read back");
        }
        // What Wine shows of the media's flags, before any scan.
        for (const wchar_t* flagged : kFlaggedMedia) {
            shownBefore_.push_back(AttributesOf(std::wstring(flagged) + L"\\autorun.inf"));
        }
        for (const std::wstring drive : kShortNamed) {
            SetAttributes(drive + L"\\notes.txt", kWellHidden);
            Require((AttributesOf(drive + L"\\notes.txt") & kWellHidden) == kWellHidden,
                    "the attributes of notes.txt to read back");
        }
        CreateFileWith(L"c:\\autorun.inf", kWellHidden);
        unnamedDrives = std::getenv("QUENLITH_UNNAMED_DRIVES") != nullptr;
        if (unnamedDrives) {
            for (const UnnamedDrive& drive : kUnnamedDrives) {
                std::printf("%lc: answers as a drive with no %s name: error %lu\n", drive.letter,
                            drive.error == ERROR_ACCESS_DENIED ? "normalized" : "DOS or GUID",
                            drive.error);
            }
        }
        const AsWindows asWindows;
        const ComApartment apartment;
        const HiddenControls controls;
        Win32Platform platform{controls.get()};
        for (Log& log : logs_) {
            ScanAndRemove(platform);
            log = ListItems(controls.get().log);
            platform.ClearItems();
        }
    }

    // What each scan logged about one drive.
    static std::vector<Log> LinesAbout(const std::wstring& drive) {
        std::vector<Log> scans;
        for (const Log& log : logs_) {
            Log& lines = scans.emplace_back();
            for (const std::wstring& line : log) {
                if (line.ends_with(L" : " + drive + L"\\autorun.inf")) {
                    lines.push_back(line.substr(0, line.find(L" : ")));
                }
            }
        }
        return scans;
    }

    static bool Exists(const std::wstring& path) {
        return AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
    }

    // Nothing where the seed made the fixture; where this machine lacks what it needs, what.
    // A fixture neither made nor excused fails the test.
    static std::optional<std::string> Lacking(const std::wstring& fixture) {
        if (Exists(SandboxPath(L"outside/made-" + fixture))) {
            return std::nullopt;
        }
        std::string why = FirstLine(SandboxPath(L"outside/lacks-" + fixture));
        if (why.empty()) {
            ADD_FAILURE() << "the seed neither made nor excused the fixture " << fixture;
            why = "not made";
        }
        return why;
    }

    // Under Wine a link cannot be opened without being followed, so it is left alone and only
    // found; where the link itself can be opened (Windows), it goes and only it.
    static void ExpectLinkFoundAndLeftOrDeleted(const std::wstring& drive) {
        EXPECT_EQ(LinesAbout(drive), Exists(drive + L"\\autorun.inf") ? kFoundTwice : kDeleted)
            << drive;
    }

    // Other names of k:\autorun.inf and o:\autorun.inf: read-only, and not (as a user may reset).
    static constexpr std::array kTwins = {
        std::pair{L"outside/twin.txt", kWellHidden},
        std::pair{L"outside/twin-kept.txt", kWellHidden & ~FILE_ATTRIBUTE_READONLY}};
    static inline const std::vector<Log> kFoundTwice = {{L"Autorun Found"}, {L"Autorun Found"}};
    static inline const std::vector<Log> kDeleted = {{L"Autorun Found", L"Autorun Deleted"},
                                                     {L"Autorun Not Found"}};
    static inline std::array<Log, 2> logs_;
    // FAT32, the read-only FAT32 image, exFAT and NTFS: each seeded read-only, hidden and system
    // where a tool can write its medium's flags.
    static constexpr std::array kFlaggedMedia = {L"s:", L"u:", L"v:", L"x:"};
    static inline std::vector<DWORD> shownBefore_;
};

TEST_F(FileSafetyTest, AWellHiddenFileIsFoundAndDeleted) {
    EXPECT_EQ(LinesAbout(L"c:"), kDeleted);
    EXPECT_FALSE(Exists(L"c:\\autorun.inf"));
}

TEST_F(FileSafetyTest, ALinkNeverChangesOrDeletesWhatItPointsTo) {
    ExpectLinkFoundAndLeftOrDeleted(L"d:");
    ExpectLinkFoundAndLeftOrDeleted(L"e:");
    ExpectLinkFoundAndLeftOrDeleted(L"f:");
    // Named autorun.inf outside every drive, on the same drive, and of another name: all kept,
    // the read-only ones still read-only.
    for (const std::wstring& target :
         {SandboxPath(L"outside/autorun.inf"), SandboxPath(L"outside/notes.txt"),
          std::wstring(L"e:\\sub\\autorun.inf")}) {
        EXPECT_EQ(FirstLine(target), "keep me") << target;
    }
    EXPECT_NE(AttributesOf(SandboxPath(L"outside/autorun.inf")) & FILE_ATTRIBUTE_READONLY, 0U);
    EXPECT_NE(AttributesOf(SandboxPath(L"outside/notes.txt")) & FILE_ATTRIBUTE_READONLY, 0U);
}

TEST_F(FileSafetyTest, ALinkToAFolderOrToNothingIsNoFileAndStays) {
    EXPECT_EQ(LinesAbout(L"i:"),
              (std::vector<Log>{{L"Autorun Not Found"}, {L"Autorun Not Found"}}));
    EXPECT_EQ(FirstLine(L"i:\\folder\\keep.txt"), "keep me");
    EXPECT_EQ(LinesAbout(L"j:"),
              (std::vector<Log>{{L"Autorun Not Found"}, {L"Autorun Not Found"}}));
    EXPECT_FALSE(Exists(SandboxPath(L"nothing"))) << "a reset made the link's target";
}

TEST_F(FileSafetyTest, ANameThatCannotBeReadIsPassedOverNotReportedMissing) {
    // A link to itself: listed in its folder, yet every look at it fails.
    EXPECT_EQ(LinesAbout(L"l:"), (std::vector<Log>{{}, {}}));
    // A root the user may not search: nothing in it can be looked at, nor reported missing.
    if (const auto why = Lacking(L"foreign")) {
        GTEST_SKIP() << *why;
    }
    EXPECT_EQ(LinesAbout(L"z:"), (std::vector<Log>{{}, {}}));
    const HANDLE twin =
        ::CreateFileW(SandboxPath(L"outside/unsearched.txt").c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info = {};
    EXPECT_TRUE(::GetFileInformationByHandle(twin, &info));
    ::CloseHandle(twin);
    EXPECT_EQ(info.nNumberOfLinks, 2U) << "z:\\autorun.inf is gone";
}

TEST_F(FileSafetyTest, AHardLinkLosesAtMostItsRootNameAndNeverItsTwinsAttributes) {
    // The root name goes only where the system deletes without touching the attributes; a
    // system that cannot (Wine 8) refuses the read-only file, and it stays found.
    const bool gone = !Exists(L"k:\\autorun.inf");
    EXPECT_EQ(LinesAbout(L"k:"), gone ? kDeleted : kFoundTwice);
    EXPECT_EQ(gone, TakesPosixDelete());
    for (const auto& [twin, attributes] : kTwins) {
        EXPECT_EQ(FirstLine(SandboxPath(twin)), "keep me") << twin;
        EXPECT_EQ(AttributesOf(SandboxPath(twin)) & kWellHidden, attributes) << twin;
    }
}

TEST_F(FileSafetyTest, AFileTheSystemWillNotUnlinkIsNeverReportedDeleted) {
    // An immutable file, a read-only mount, and a hard link in a root that refuses the unlink.
    int checked = 0;
    for (const auto& [drive, fixture] : {std::pair{L"m:", L"immutable"}, std::pair{L"n:", L"mount"},
                                         std::pair{L"o:", L"immutable"}}) {
        if (const auto why = Lacking(fixture)) {
            std::printf("%ls not checked: %s\n", drive, why->c_str());
            continue;
        }
        ++checked;
        EXPECT_EQ(LinesAbout(drive), kFoundTwice) << drive;
        EXPECT_TRUE(Exists(std::wstring(drive) + L"\\autorun.inf")) << drive;
    }
    if (checked == 0) {
        GTEST_SKIP() << "no file the system keeps could be made here";
    }
}

TEST_F(FileSafetyTest, AFileReachedByItsShortNameIsOnlyFound) {
    // The search matches the short name, so notes.txt is found; nothing proves it autorun.inf.
    for (const std::wstring drive : kShortNamed) {
        EXPECT_EQ(LinesAbout(drive), kFoundTwice) << drive;
        EXPECT_EQ(FirstLine(drive + L"\\notes.txt"), "keep me") << drive;
        EXPECT_EQ(AttributesOf(drive + L"\\notes.txt") & kWellHidden, kWellHidden) << drive;
    }
}

TEST_F(FileSafetyTest, AFileOnAPassThroughFuseDriveIsDeleted) {
    // Such a file system numbers its files itself, as many user-space mounts do.
    if (const auto why = Lacking(L"fuse")) {
        GTEST_SKIP() << *why;
    }
    EXPECT_EQ(LinesAbout(L"r:"), kDeleted);
    EXPECT_FALSE(Exists(SandboxPath(L"outside/fuse/autorun.inf")));
}

TEST_F(FileSafetyTest, WhatAnOrdinaryUserMayNotChangeIsOnlyFound) {
    // Root's read-only file in a sticky root, and the user's own file in a root it may not write.
    if (const auto why = Lacking(L"foreign")) {
        GTEST_SKIP() << *why;
    }
    for (const std::wstring drive : {L"p:", L"q:"}) {
        EXPECT_EQ(LinesAbout(drive), kFoundTwice) << drive;
        EXPECT_TRUE(Exists(drive + L"\\autorun.inf")) << drive;
    }
    EXPECT_NE(AttributesOf(L"p:\\autorun.inf") & FILE_ATTRIBUTE_READONLY, 0U);
}

TEST_F(FileSafetyTest, TheMediaPeoplePlugInLoseTheirAutorunFileAndNothingElse) {
    if (const auto why = Lacking(L"media")) {
        GTEST_SKIP() << *why;
    }
    for (std::size_t i = 0; i < kFlaggedMedia.size(); ++i) {
        std::printf("%ls\\autorun.inf as Wine shows it before the scan: 0x%lx\n", kFlaggedMedia[i],
                    shownBefore_[i]);
    }
    // FAT32, exFAT and NTFS, each beside a drive of its kind with a folder of that name.
    for (const auto& [file, folder] :
         {std::pair{L"s:", L"t:"}, std::pair{L"v:", L"w:"}, std::pair{L"x:", L"y:"}}) {
        EXPECT_EQ(LinesAbout(file), kDeleted) << file;
        EXPECT_FALSE(Exists(std::wstring(file) + L"\\autorun.inf")) << file;
        EXPECT_EQ(LinesAbout(folder),
                  (std::vector<Log>{{L"Autorun Not Found"}, {L"Autorun Not Found"}}))
            << folder;
        EXPECT_NE(AttributesOf(std::wstring(folder) + L"\\autorun.inf") & FILE_ATTRIBUTE_DIRECTORY,
                  0U)
            << folder;
    }
    // A write-protected stick: found, and kept.
    EXPECT_EQ(LinesAbout(L"u:"), kFoundTwice);
    EXPECT_TRUE(Exists(L"u:\\autorun.inf"));
}

} // namespace
} // namespace quenlith::testing
