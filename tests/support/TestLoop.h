#pragma once
// The product's main loop in a test, with a bound.
#include "foundation/Platform.h"

namespace kztest {

// Makes the calling thread the one posted events go to (with its message queue), so that
// events posted before the loop runs are kept.
void PrepareMainThread();
// KZ_EventListener::RunMainLoop until something posts WM_QUIT; false when the watchdog had to
// end it after timeoutMs. The thread stays the main thread for the next loop.
bool RunMainLoopFor(DWORD timeoutMs);

} // namespace kztest
