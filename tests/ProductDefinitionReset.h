#pragma once
// Puts the process-wide product definition back to its start-up state between tests, through
// the setters the product itself uses.
#include "foundation/ProductDefinition.h"

inline void ResetProductDefinition()
{
    // An empty display name leaves the key name alone: it is cleared after it.
    ProductDefinition::SetDisplayName(WString());
    ProductDefinition::SetRegistryKeyName(WString());
    ProductDefinition::SetVersionFile(WString());
    ProductDefinition::SetInstance(nullptr);
}
