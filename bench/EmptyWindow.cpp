// bench_emptywindow: the smallest GUI program that shows one window ("KZBenchEmpty",
// caption "Empty window") and ends when it is closed. The baseline of the first-window time.
//
// Built with KZ_BENCH_BUTTON as bench_buttonwindow: the same window ("Window with a button")
// holding one push button, under a manifest that asks for the common controls 6 as the setup
// program does. Creating the button loads them: the least that any window with themed
// controls pays before its first paint.
#include "foundation/Platform.h"

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"KZBenchEmpty";
    if (RegisterClassW(&windowClass) == 0)
        return 1;
#ifdef KZ_BENCH_BUTTON
    const wchar_t* const caption = L"Window with a button";
#else
    const wchar_t* const caption = L"Empty window";
#endif
    HWND window = CreateWindowExW(0, L"KZBenchEmpty", caption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 500, 400, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
#ifdef KZ_BENCH_BUTTON
    if (CreateWindowExW(0, L"BUTTON", L"Next >", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 320, 330, 75, 23,
                        window, nullptr, instance, nullptr) == nullptr)
        return 1;
#endif
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
