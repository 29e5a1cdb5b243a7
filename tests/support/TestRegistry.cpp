#include "tests/support/TestRegistry.h"

#include <cstring>

namespace kztest {

std::wstring RegValue::Text() const
{
    const wchar_t* units = reinterpret_cast<const wchar_t*>(data.data());
    const size_t count = size / sizeof(wchar_t);
    size_t n = 0;
    while (n < count && units[n] != 0)
        ++n;
    return std::wstring(units, n);
}

DWORD RegValue::Dword() const
{
    DWORD value = 0;
    if (size >= sizeof(value))
        memcpy(&value, data.data(), sizeof(value));
    return value;
}

bool RegValue::HoldsText(const std::wstring& text) const
{
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!found || type != REG_SZ)
        return false;
    if (size != bytes && size != bytes + sizeof(wchar_t))
        return false;
    if (memcmp(data.data(), text.data(), bytes) != 0)
        return false;
    return size == bytes || reinterpret_cast<const wchar_t*>(data.data())[text.size()] == 0;
}

bool ReadValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD* type, std::string* data, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        data->assign(size, '\0');
        status = RegQueryValueExW(key, name, nullptr, type, size ? reinterpret_cast<BYTE*>(&(*data)[0]) : nullptr,
                                  &size);
        data->resize(size);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

RegValue ReadValue(HKEY root, const std::wstring& path, const wchar_t* name)
{
    RegValue value;
    std::string data;
    value.found = ReadValue(root, path, name, &value.type, &data);
    if (value.found) {
        value.size = static_cast<DWORD>(data.size());
        // Room for a terminator that Text may read up to.
        value.data.assign(data.begin(), data.end());
        value.data.resize(data.size() + sizeof(wchar_t), 0);
    }
    return value;
}

bool ReadText(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text, DWORD* size, REGSAM view)
{
    DWORD type = 0;
    std::string data;
    text->clear();
    if (!ReadValue(root, path, name, &type, &data, view) || type != REG_SZ || data.size() % 2 != 0)
        return false;
    text->assign(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    if (!text->empty() && text->back() == L'\0')
        text->pop_back();
    if (size != nullptr)
        *size = static_cast<DWORD>(data.size());
    return true;
}

bool SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text, REGSAM view)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view)
{
    if (path.empty())
        return false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExW(root, path.c_str(), view, 0);
    return !KeyExists(root, path, view);
}

namespace {
std::vector<std::wstring> Names(HKEY root, const std::wstring& path, bool values)
{
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        const LONG status = values ? RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr)
                                   : RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}
} // namespace

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path)
{
    return Names(root, path, true);
}

std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path)
{
    return Names(root, path, false);
}

} // namespace kztest
