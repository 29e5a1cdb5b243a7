#include "tests/support/TestWindows.h"

namespace kztest {

RECT Placement(const KZ_UIWindow* window)
{
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window->GetWindow(), &rect);
    MapWindowPoints(HWND_DESKTOP, ::GetParent(window->GetWindow()), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace kztest
