#include "install/RegistryTree.h"

#include "foundation/PlatformError.h"

HRESULT DeleteRegistryTree(HKEY parent, const WString& name)
{
    // RegOpenKeyW with an empty name hands back parent itself, which would then be emptied
    // and deleted.
    LONG status = name.IsEmpty() ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    HKEY key = nullptr;
    if (status == ERROR_SUCCESS)
        status = RegOpenKeyW(parent, name.c_str(), &key);
    if (status != ERROR_SUCCESS) {
        PlatformError::SetSystemError(static_cast<DWORD>(status));
        PlatformError::AddContext(nullptr, L"MyRegOpenKey", name);
        return E_FAIL;
    }

    HRESULT result = S_OK;
    wchar_t child[260];
    // Always index 0: each deletion moves the remaining subkeys down.
    for (;;) {
        child[0] = 0;
        const LONG enumStatus = RegEnumKeyW(key, 0, child, 260);
        if (enumStatus != ERROR_SUCCESS && enumStatus != ERROR_MORE_DATA)
            break;
        child[259] = 0;
        if (DeleteRegistryTree(key, WString(child)) != S_OK) {
            result = E_FAIL;
            break;
        }
    }
    RegCloseKey(key);

    if (result == S_OK) {
        status = RegDeleteKeyW(parent, name.c_str());
        if (status != ERROR_SUCCESS) {
            PlatformError::SetSystemError(static_cast<DWORD>(status));
            PlatformError::AddContext(nullptr, L"RegDeleteKey", name);
            result = E_FAIL;
        }
    }
    return result;
}
