#include "install/RegistryTree.h"

#include <utility>

#include "foundation/PlatformError.h"

void RecordRegistryError(LONG status, const wchar_t* context, const WString& name)
{
    PlatformError::SetSystemError(static_cast<DWORD>(status));
    PlatformError::AddContext(nullptr, context, name);
}

LONG OpenRegistryKey(HKEY parent, const wchar_t* name, ScopedRegKey& key)
{
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyW(parent, name, &opened);
    if (status == ERROR_SUCCESS)
        key.reset(opened);
    return status;
}

LONG CreateRegistryKey(HKEY parent, const wchar_t* name, ScopedRegKey& key)
{
    HKEY created = nullptr;
    const LONG status = RegCreateKeyW(parent, name, &created);
    if (status == ERROR_SUCCESS)
        key.reset(created);
    return status;
}

namespace {

// Deletes every key below key, deepest first, and closes key.
HRESULT DeleteSubkeys(ScopedRegKey key)
{
    wchar_t child[260];
    // Always index 0: each deletion moves the remaining subkeys down.
    for (;;) {
        child[0] = 0;
        const LONG status = RegEnumKeyW(key.get(), 0, child, 260);
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
            return S_OK;
        child[259] = 0;
        if (DeleteRegistryTree(key.get(), WString(child)) != S_OK)
            return E_FAIL;
    }
}

} // namespace

HRESULT DeleteRegistryTree(HKEY parent, const WString& name)
{
    // RegOpenKeyW with an empty name hands back parent itself, which would then be emptied
    // and deleted.
    ScopedRegKey key;
    LONG status = name.IsEmpty() ? ERROR_INVALID_PARAMETER : OpenRegistryKey(parent, name.c_str(), key);
    if (status != ERROR_SUCCESS) {
        RecordRegistryError(status, L"MyRegOpenKey", name);
        return E_FAIL;
    }
    // The key is closed before it is deleted.
    if (DeleteSubkeys(std::move(key)) != S_OK)
        return E_FAIL;
    status = RegDeleteKeyW(parent, name.c_str());
    if (status != ERROR_SUCCESS) {
        RecordRegistryError(status, L"RegDeleteKey", name);
        return E_FAIL;
    }
    return S_OK;
}
