#pragma once
#include "foundation/WString.h"

// What RegisterServers registers: the local server executable and the viewer control, both
// relative to the install directory; an empty path means there is none of that kind.
struct ServerRegistration {
    WString executable;
    WString programId;
    GUID serverClass;
    WString controlFile;
    WString controlProgramId;
    GUID controlClass;
};
