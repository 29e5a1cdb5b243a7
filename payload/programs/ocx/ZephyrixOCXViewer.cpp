// ZephyrixOCXViewer.ocx: the viewer control's in-process server. It registers and removes its
// class key; it hands out no class objects.
#include <windows.h>
#include <olectl.h>
#include <utility>

#include "foundation/ScopedHandle.h"

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

// Creates parent\path and sets its default value when text is not null; created, when given,
// owns the key afterwards.
HRESULT CreateKey(HKEY parent, const wchar_t* path, const wchar_t* text, ScopedRegKey* created)
{
    HKEY raw = nullptr;
    const LONG status = RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_WRITE | KEY_READ, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS)
        return FromStatus(status);
    ScopedRegKey key(raw);
    const HRESULT result = text ? SetText(key.get(), nullptr, text) : S_OK;
    if (SUCCEEDED(result) && created)
        *created = std::move(key);
    return result;
}

HRESULT DeleteTree(HKEY parent, const wchar_t* name);

// Deletes every key below key, deepest first, and closes key.
HRESULT DeleteSubkeys(ScopedRegKey key)
{
    for (;;) {
        wchar_t child[256];
        DWORD length = 256;
        const LONG status = RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return S_OK;
        if (status != ERROR_SUCCESS)
            return FromStatus(status);
        const HRESULT result = DeleteTree(key.get(), child);
        if (FAILED(result))
            return result;
    }
}

// Deletes parent\name with everything below it, deepest keys first.
HRESULT DeleteTree(HKEY parent, const wchar_t* name)
{
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (status != ERROR_SUCCESS)
        return FromStatus(status);
    const HRESULT result = DeleteSubkeys(ScopedRegKey(key));
    return SUCCEEDED(result) ? FromStatus(RegDeleteKeyW(parent, name)) : result;
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

    ScopedRegKey classKey;
    ScopedRegKey server;
    HRESULT result = CreateKey(HKEY_CLASSES_ROOT, kClassKey, kDescription, &classKey);
    if (SUCCEEDED(result))
        result = CreateKey(classKey.get(), L"InprocServer32", path, &server);
    if (SUCCEEDED(result))
        result = SetText(server.get(), L"ThreadingModel", L"Apartment");
    if (SUCCEEDED(result))
        result = CreateKey(classKey.get(), L"ProgID", kProgId, nullptr);
    if (SUCCEEDED(result))
        result = CreateKey(classKey.get(), L"Control", nullptr, nullptr);
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
