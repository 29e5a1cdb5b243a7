#include "tests/e2e/RegistryProbe.h"

#include <vector>

bool RegistryProbe::KeyExists(REGSAM view, HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool RegistryProbe::ReadString(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text,
                               DWORD* type)
{
    text->clear();
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    DWORD valueType = 0;
    DWORD bytes = 0;
    bool ok = false;
    if (RegQueryValueExW(key, name, nullptr, &valueType, nullptr, &bytes) == ERROR_SUCCESS) {
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, 0);
        if (RegQueryValueExW(key, name, nullptr, &valueType, reinterpret_cast<BYTE*>(buffer.data()), &bytes) ==
            ERROR_SUCCESS) {
            size_t length = bytes / sizeof(wchar_t);
            if (length > 0 && buffer[length - 1] == 0)
                --length;
            text->assign(buffer.data(), length);
            ok = true;
        }
    }
    RegCloseKey(key);
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
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
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
    if (!KeyExists(view, root, path))
        return true;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS)
        return false;
    for (;;) {
        wchar_t child[260];
        DWORD length = 260;
        if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!DeleteTree(view, key, child)) {
            RegCloseKey(key);
            return false;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyExW(root, path.c_str(), view, 0) == ERROR_SUCCESS;
}
