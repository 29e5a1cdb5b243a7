// ZephyrixOCXViewer.ocx: the viewer control's in-process server. It registers and removes its
// class key; it hands out no class objects.
#include <windows.h>
#include <olectl.h>

namespace {

HMODULE g_module = nullptr;

const wchar_t kClassKey[] = L"CLSID\\{A3F0D7E1-52C4-4B8A-8E6D-1C9B2F47E305}";
const wchar_t kDescription[] = L"Kaze Mar Orlix Player Control";
const wchar_t kProgId[] = L"OrlixPlayer.ocx";

HRESULT FromStatus(LONG status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

// Sets a REG_SZ value from a terminated text (the terminator is stored too).
HRESULT SetText(HKEY key, const wchar_t* name, const wchar_t* text)
{
    const DWORD bytes = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t));
    return FromStatus(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes));
}

// Creates parent\path and sets its default value when text is not null.
HRESULT CreateKey(HKEY parent, const wchar_t* path, const wchar_t* text, HKEY* created)
{
    HKEY key = nullptr;
    HRESULT result = FromStatus(RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_WRITE | KEY_READ,
                                                nullptr, &key, nullptr));
    if (SUCCEEDED(result) && text)
        result = SetText(key, nullptr, text);
    if (SUCCEEDED(result) && created) {
        *created = key;
        key = nullptr;
    }
    if (key)
        RegCloseKey(key);
    return result;
}

// Deletes parent\name with everything below it, deepest keys first.
HRESULT DeleteTree(HKEY parent, const wchar_t* name)
{
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (status != ERROR_SUCCESS)
        return FromStatus(status);
    HRESULT result = S_OK;
    for (;;) {
        wchar_t child[256];
        DWORD length = 256;
        status = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            result = FromStatus(status);
            break;
        }
        result = DeleteTree(key, child);
        if (FAILED(result))
            break;
    }
    RegCloseKey(key);
    if (SUCCEEDED(result))
        result = FromStatus(RegDeleteKeyW(parent, name));
    return result;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return SELFREG_E_CLASS;

    HKEY classKey = nullptr;
    HKEY server = nullptr;
    HRESULT result = CreateKey(HKEY_CLASSES_ROOT, kClassKey, kDescription, &classKey);
    if (SUCCEEDED(result))
        result = CreateKey(classKey, L"InprocServer32", path, &server);
    if (SUCCEEDED(result))
        result = SetText(server, L"ThreadingModel", L"Apartment");
    if (SUCCEEDED(result))
        result = CreateKey(classKey, L"ProgID", kProgId, nullptr);
    if (SUCCEEDED(result))
        result = CreateKey(classKey, L"Control", nullptr, nullptr);
    if (server)
        RegCloseKey(server);
    if (classKey)
        RegCloseKey(classKey);
    return SUCCEEDED(result) ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer()
{
    return SUCCEEDED(DeleteTree(HKEY_CLASSES_ROOT, kClassKey)) ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* object)
{
    if (object)
        *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    return S_OK;
}
