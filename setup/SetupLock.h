#pragma once
#include "foundation/ScopedHandle.h"

// One setup at a time. A second one would sweep the first one's staged files from the
// install folders and write over its files. Held through a named mutex of the whole machine
// (an elevated setup may run in another session), which the system releases when the holder
// ends, however it ends.
class SetupLock {
public:
    // Takes the lock when it is free; one left by a killed setup is free.
    SetupLock();

    // Whether another setup holds the lock. A lock that cannot be made for another reason
    // does not stop the install.
    bool AnotherSetupRuns() const { return anotherRuns_; }

    static const wchar_t kName[];

private:
    ScopedKernelHandle mutex_;
    bool anotherRuns_;
};
