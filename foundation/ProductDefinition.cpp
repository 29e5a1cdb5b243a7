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

WString ProductDefinition::GetDisplayName()
{
    return Values().displayName;
}

WString ProductDefinition::GetRegistryKeyName()
{
    return Values().registryKeyName;
}

WString ProductDefinition::GetVersionFile()
{
    return Values().versionFile;
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

void ProductDefinition::Reset()
{
    Definition& values = Values();
    values.displayName.Clear();
    values.registryKeyName.Clear();
    values.versionFile.Clear();
    values.instance = nullptr;
}
