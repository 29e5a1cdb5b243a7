// Stands in for the product's control: DllRegisterServer writes
// HKCU\Software\KZ Install Tests\Marker <pid> with the values
//   Called          DWORD 1
//   OleInitialised  DWORD 1 when the calling thread already had an OLE apartment
// and returns SELFREG_E_CLASS (0x80040201) when the variable KZ_TEST_REGISTER_FAIL is set, 0
// otherwise: a code of the module's own, with no system text.
#include <windows.h>
#include <ole2.h>

#include <cwchar>

#ifdef KZ_NEEDS_COMPANION
// Built so, it imports a library of its own that lies beside it.
extern "C" __declspec(dllimport) int KzCompanion();
#endif

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
#ifdef KZ_NEEDS_COMPANION
    if (KzCompanion() != 0)
        return E_UNEXPECTED;
#endif
    wchar_t path[128];
    swprintf(path, 128, L"Software\\KZ Install Tests\\Marker %lu",
             static_cast<unsigned long>(GetCurrentProcessId()));
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS)
        return E_UNEXPECTED;
    // S_FALSE: an apartment of the same kind was already there.
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(apartment))
        CoUninitialize();
    const DWORD called = 1;
    const DWORD oleInitialised = apartment == S_FALSE ? 1 : 0;
    RegSetValueExW(key, L"Called", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&called),
                   sizeof(called));
    RegSetValueExW(key, L"OleInitialised", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&oleInitialised), sizeof(oleInitialised));
    RegCloseKey(key);
    const HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040201);
    return GetEnvironmentVariableW(L"KZ_TEST_REGISTER_FAIL", nullptr, 0) != 0 ? kClassNotRegistered : S_OK;
}
