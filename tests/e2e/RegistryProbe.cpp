#include "tests/e2e/RegistryProbe.h"

#include "tests/support/TestRegistry.h"

bool RegistryProbe::KeyExists(REGSAM view, HKEY root, const std::wstring& path)
{
    return kztest::KeyExists(root, path, view);
}

bool RegistryProbe::ReadString(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text,
                               DWORD* type)
{
    DWORD valueType = 0;
    std::string data;
    const bool ok = kztest::ReadValue(root, path, name, &valueType, &data, view);
    text->assign(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    if (!text->empty() && text->back() == L'\0')
        text->pop_back();
    if (type != nullptr)
        *type = valueType;
    return ok;
}

bool RegistryProbe::ReadDword(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, DWORD* value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD bytes = sizeof(DWORD);
    LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD && bytes == sizeof(DWORD);
}

bool RegistryProbe::WriteString(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text)
{
    return kztest::SetText(root, path, name, text, view);
}

bool RegistryProbe::DeleteValue(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_WRITE | view, &key) != ERROR_SUCCESS)
        return false;
    LONG status = RegDeleteValueW(key, name);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool RegistryProbe::DeleteTree(REGSAM view, HKEY root, const std::wstring& path)
{
    return kztest::DeleteKeyTree(root, path, view);
}
