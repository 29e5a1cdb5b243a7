// keep_desktop: one hidden window for the whole test run. Wine ends its desktop process when
// the last program using it exits and starts a new one for the next: with a program per test,
// that happens between every two tests, and a program that starts while the old desktop is
// still going away can be held back for many seconds. This keeps one desktop for the run.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"KZKeepDesktop";
    if (RegisterClassW(&windowClass) == 0)
        return 1;
    // Never shown: it appears in no screenshot and takes no input.
    if (CreateWindowExW(0, L"KZKeepDesktop", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr) == nullptr)
        return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
