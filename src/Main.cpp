// Quenlith: builds and shows the main window, then runs the message loop until it closes.
#include "ui/MainWindow.h"

#include <commctrl.h>
#include <cstdlib>

// No exception leaves wWinMain, so the standard library's verbose terminate handler, which
// names the exception on a console this program does not have, would only add its demangler
// (about 46 KiB) to the executable.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    try {
        const INITCOMMONCONTROLSEX commonControls = {sizeof commonControls, ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&commonControls);

        quenlith::frmremover window;
        window.Create(instance, showCommand);

        MSG message = {};
        BOOL got = FALSE;
        while ((got = ::GetMessageW(&message, nullptr, 0, 0)) != 0) {
            if (got == -1) {
                return 1;
            }
            // Tab, Space, Enter and the access keys work as in a dialog, while there is one.
            if (window.hwnd() == nullptr || !::IsDialogMessageW(window.hwnd(), &message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
        return static_cast<int>(message.wParam);
    } catch (const std::exception& failure) {
        ::MessageBoxA(nullptr, failure.what(), "Quenlith", MB_OK | MB_ICONERROR);
        return 1;
    }
}
