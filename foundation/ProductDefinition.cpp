#include "foundation/ProductDefinition.h"

namespace {

struct Definition {
    WString displayName;
    WString registryKeyName;
    WString versionFile;
    HINSTANCE instance = nullptr;
};

Definition& Values()
{
    static Definition definition;
    return definition;
}

} // namespace

void ProductDefinition::SetDisplayName(const WString& text)
{
    Definition& values = Values();
    values.displayName = text;
    if (values.registryKeyName.IsEmpty())
        values.registryKeyName = text;
}

void ProductDefinition::SetRegistryKeyName(const WString& text)
{
    Values().registryKeyName = text;
}

void ProductDefinition::SetVersionFile(const WString& path)
{
    Values().versionFile = path;
}

// Both threads read the definition (the install worker too): the getters hand out private
// copies so the stored blocks' reference counts are only ever touched on the main thread.
WString ProductDefinition::GetDisplayName()
{
    return PrivateCopy(Values().displayName);
}

WString ProductDefinition::GetRegistryKeyName()
{
    return PrivateCopy(Values().registryKeyName);
}

WString ProductDefinition::GetVersionFile()
{
    return PrivateCopy(Values().versionFile);
}

void ProductDefinition::SetInstance(HINSTANCE instance)
{
    Values().instance = instance;
}

HINSTANCE ProductDefinition::GetInstance()
{
    HINSTANCE instance = Values().instance;
    return instance != nullptr ? instance : GetModuleHandleW(nullptr);
}
