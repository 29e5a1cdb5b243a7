#include "setup/SetupLock.h"

const wchar_t SetupLock::kName[] = L"Global\\KZOrlixSetup.Running";

SetupLock::SetupLock() : mutex_(CreateMutexW(nullptr, FALSE, kName)), anotherRuns_(false)
{
    if (!mutex_) {
        // An elevated setup's mutex is closed to an unelevated one.
        anotherRuns_ = GetLastError() == ERROR_ACCESS_DENIED;
        return;
    }
    // Owned by the main thread until the process ends.
    const DWORD wait = WaitForSingleObject(mutex_.get(), 0);
    anotherRuns_ = wait == WAIT_TIMEOUT;
}
