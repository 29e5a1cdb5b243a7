#include "install/RegistryTree.h"

#include "foundation/PlatformError.h"
#include "foundation/ScopedHandle.h"

void RecordRegistryError(LONG status, const wchar_t* context, const WString& name)
{
    PlatformError::SetSystemError(static_cast<DWORD>(status));
    PlatformError::AddContext(nullptr, context, name);
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
    LONG status = name.IsEmpty() ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    HKEY opened = nullptr;
    if (status == ERROR_SUCCESS)
        status = RegOpenKeyW(parent, name.c_str(), &opened);
    if (status != ERROR_SUCCESS) {
        RecordRegistryError(status, L"MyRegOpenKey", name);
        return E_FAIL;
    }
    // The key is closed before it is deleted.
    if (DeleteSubkeys(ScopedRegKey(opened)) != S_OK)
        return E_FAIL;
    status = RegDeleteKeyW(parent, name.c_str());
    if (status != ERROR_SUCCESS) {
        RecordRegistryError(status, L"RegDeleteKey", name);
        return E_FAIL;
    }
    return S_OK;
}
