// A fixture for scans over the sandbox drives with the real Win32 platform and a hidden log.
#pragma once

#include "WineSupport.h"
#include "scan/ScanRun.h"

#include <gtest/gtest.h>

namespace quenlith::testing {

class SandboxScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSandboxTargets();
        Require(::SetCurrentDirectoryW(L"C:\\tests") != FALSE, "SetCurrentDirectoryW");
    }
    std::vector<std::wstring> LogItems() const { return ListItems(controls.get().log); }

    ComApartment apartment;
    HiddenControls controls;
    Win32Platform platform{controls.get()};
};

} // namespace quenlith::testing
