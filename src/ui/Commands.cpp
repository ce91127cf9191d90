#include "ui/Commands.h"

#include "scan/ScanRun.h"

#include <string>

namespace quenlith {

void cmdscan_Click(Platform& platform) noexcept {
    ScanAndRemove(platform);
}

void cmdclear_Click(Platform& platform) {
    platform.ClearItems();
    platform.AppendItem(std::wstring(kLogHeader));
}

void cmdabout_Click(Platform& platform) {
    platform.ShowMessageBox(std::wstring(kAboutText), MessageBoxStyle::OkOnly,
                            std::wstring(kProductName));
}

} // namespace quenlith
