// What the benchmarks share: rows of the Markdown table they print, medians, and launching a
// window program the way a user does.
#pragma once

#include "platform/Win32.h"

#include <functional>
#include <string>
#include <vector>

namespace quenlith::bench {

void Row(const char* what, const std::string& figure);
std::string Milliseconds(double value);
std::string Ratio(double value);
double Median(std::vector<double> values);
// Times one call, with untimed preparation before it.
double TimeOnce(const std::function<void()>& prepare, const std::function<void()>& work);

struct Launched {
    HANDLE process = nullptr;
    HWND window = nullptr;
    double milliseconds = 0;
};
// Starts a program (a command line) and waits until its window is shown and it is idle.
Launched Launch(const std::wstring& command);
void Close(Launched& launched);

// The three benchmarks, each printing its rows.
int RunScan(int repetitions);
int RunStartup(const std::wstring& quenlith, const std::wstring& minimal, int repetitions);
int RunFootprint(const std::wstring& quenlith);

} // namespace quenlith::bench
