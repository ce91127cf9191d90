// Memory and object counts after start, after the first scan and after 1,000 scans.
#include "../tests/wine/WineSupport.h"
#include "Bench.h"

#include <psapi.h>

#include <cstdio>
#include <string>

namespace quenlith::bench {
namespace {

// Wine leaves private bytes, GDI and USER counters at 0; its commit charge (PagefileUsage),
// a count of open handles and of windows stand in for them there.
std::string Counts(HANDLE process) {
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(process, &memory, sizeof memory);
    char text[200] = {};
    std::snprintf(text, sizeof text,
                  "working set %llu KiB, committed %llu KiB, %lu handles, %lu windows, "
                  "GDI %lu, USER %lu",
                  static_cast<unsigned long long>(memory.WorkingSetSize / 1024),
                  static_cast<unsigned long long>(memory.PagefileUsage / 1024),
                  quenlith::testing::CountHandles(process),
                  quenlith::testing::CountWindows(::GetProcessId(process)),
                  ::GetGuiResources(process, GR_GDIOBJECTS),
                  ::GetGuiResources(process, GR_USEROBJECTS));
    return text;
}

std::size_t Committed(HANDLE process) {
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(process, &memory, sizeof memory);
    return memory.PagefileUsage;
}

} // namespace

int RunFootprint(const std::wstring& quenlith) {
    Launched app = Launch(quenlith);
    constexpr int kScanId = 103; // the scan button's control id
    const HWND scan = ::GetDlgItem(app.window, kScanId);
    const HWND log = ::FindWindowExW(app.window, nullptr, L"ListBox", nullptr);
    const auto press = [&] {
        ::SendMessageW(app.window, WM_COMMAND, MAKEWPARAM(kScanId, BN_CLICKED),
                       reinterpret_cast<LPARAM>(scan));
    };
    Row("After start", Counts(app.process));
    press(); // the first scan loads the file-system service, which stays loaded
    Row("After the first scan", Counts(app.process));
    const std::size_t before = Committed(app.process);
    const auto entriesBefore = static_cast<WPARAM>(::SendMessageW(log, LB_GETCOUNT, 0, 0));
    for (int i = 1; i < 1000; ++i) {
        press();
    }
    Row("After 1,000 scans, log not cleared", Counts(app.process));

    // What the log's own strings take: each new entry's UTF-16 text and its terminator.
    const auto entries = static_cast<WPARAM>(::SendMessageW(log, LB_GETCOUNT, 0, 0));
    std::size_t text = 0;
    for (WPARAM i = entriesBefore; i < entries; ++i) {
        text += (static_cast<std::size_t>(::SendMessageW(log, LB_GETTEXTLEN, i, 0)) + 1) * 2;
    }
    const auto growth =
        static_cast<long long>(Committed(app.process)) - static_cast<long long>(before);
    char figure[120] = {};
    std::snprintf(figure, sizeof figure, "%+lld KiB for %llu new entries holding %llu KiB of text",
                  growth / 1024, static_cast<unsigned long long>(entries - entriesBefore),
                  static_cast<unsigned long long>(text / 1024));
    Row("Committed memory growth, scans 2 to 1,000", figure);
    Close(app);
    return 0;
}

} // namespace quenlith::bench
