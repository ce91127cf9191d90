// Quenlith's figures under Wine, each beside its yardstick in the same run:
//   Bench scan       the scan over every ready drive, against the same platform calls made
//                    by a plain loop, the file calls alone, and a cmd.exe attrib/del batch
//   Bench startup    process start to window shown and idle, stage by stage, against a
//                    minimal window program
//   Bench footprint  memory and object counts after start and after 1,000 scans
// Each prints rows of a Markdown table.
#include "Bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace quenlith::bench {

using Clock = std::chrono::steady_clock;

void Row(const char* what, const std::string& figure) {
    std::printf("| %s | %s |\n", what, figure.c_str());
    std::fflush(stdout);
}

std::string Milliseconds(double value) {
    char text[32] = {};
    std::snprintf(text, sizeof text, "%.2f ms", value);
    return text;
}

std::string Ratio(double value) {
    char text[32] = {};
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TimeOnce(const std::function<void()>& prepare, const std::function<void()>& work) {
    prepare();
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

namespace {

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM lParam) {
    auto& launched = *reinterpret_cast<Launched*>(lParam);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == ::GetProcessId(launched.process) && ::IsWindowVisible(window)) {
        launched.window = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

Launched Launch(const std::wstring& command) {
    Launched launched;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::wstring line = command;
    const auto start = Clock::now();
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        return launched;
    }
    ::CloseHandle(info.hThread);
    launched.process = info.hProcess;
    ::WaitForInputIdle(info.hProcess, 30000);
    while (launched.window == nullptr) {
        ::EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&launched));
        if (launched.window == nullptr) {
            ::Sleep(1);
        }
    }
    launched.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return launched;
}

void Close(Launched& launched) {
    ::PostMessageW(launched.window, WM_CLOSE, 0, 0);
    ::WaitForSingleObject(launched.process, 10000);
    ::CloseHandle(launched.process);
}

} // namespace quenlith::bench

int wmain(int argc, wchar_t** argv) {
    using namespace quenlith::bench;
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"scan" && argc == 3) {
        return RunScan(_wtoi(argv[2]));
    }
    if (mode == L"startup" && argc == 5) {
        return RunStartup(argv[2], argv[3], _wtoi(argv[4]));
    }
    if (mode == L"footprint" && argc == 3) {
        return RunFootprint(argv[2]);
    }
    std::fprintf(stderr, "usage: Bench scan N | startup QUENLITH MINIMAL N | footprint QUENLITH\n");
    return 2;
}
