#pragma once
// The toolkit's windows in a test.
#include "ui/KZ_UIWindow.h"

namespace kztest {

// Where a window sits in its native parent's client area.
RECT Placement(const KZ_UIWindow* window);

} // namespace kztest
