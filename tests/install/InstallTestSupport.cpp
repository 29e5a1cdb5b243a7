#include "InstallTestSupport.h"

#include <cwchar>

#include "foundation/PlatformError.h"

namespace kztest {

const wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring RegValue::Text() const
{
    const wchar_t* units = reinterpret_cast<const wchar_t*>(data.data());
    size_t count = size / sizeof(wchar_t);
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

RegValue ReadValue(HKEY root, const std::wstring& key, const wchar_t* name)
{
    RegValue value;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return value;
    value.data.resize(4096);
    DWORD size = static_cast<DWORD>(value.data.size());
    if (RegQueryValueExW(handle, name, nullptr, &value.type, value.data.data(), &size) ==
        ERROR_SUCCESS) {
        value.found = true;
        value.size = size;
    }
    RegCloseKey(handle);
    return value;
}

std::wstring DefaultValue(HKEY root, const std::wstring& key)
{
    RegValue value = ReadValue(root, key, nullptr);
    return value.found ? value.Text() : L"<missing>";
}

bool KeyExists(HKEY root, const std::wstring& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key)
{
    std::vector<std::wstring> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumValueW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(handle);
    return names;
}

std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& key)
{
    std::vector<std::wstring> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(handle);
    return names;
}

void DeleteTree(HKEY root, const std::wstring& key)
{
    if (!key.empty())
        RegDeleteTreeW(root, key.c_str());
    if (!key.empty())
        RegDeleteKeyW(root, key.c_str());
}

std::wstring Std(const WString& text)
{
    return std::wstring(text.c_str(), static_cast<size_t>(text.Length()));
}

std::wstring Pid()
{
    return std::to_wstring(GetCurrentProcessId());
}

std::wstring NewGuidText(GUID* guid)
{
    CoCreateGuid(guid);
    wchar_t text[64];
    StringFromGUID2(*guid, text, 64);
    return text;
}

std::wstring TestDirectory()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring SystemText(DWORD code)
{
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                  nullptr, code, 0x400, reinterpret_cast<LPWSTR>(&buffer), 0,
                                  nullptr);
    std::wstring text = length != 0 ? std::wstring(buffer, length) : std::wstring();
    if (buffer != nullptr)
        LocalFree(buffer);
    return text;
}

std::wstring ErrorText()
{
    return Std(PlatformError::GetErrorText());
}

std::vector<std::wstring> ContextLines()
{
    std::vector<std::wstring> lines;
    WStringArray context = PlatformError::GetContext();
    for (int i = 0; i < context.Count(); ++i)
        lines.push_back(Std(context.At(i)));
    return lines;
}

bool FileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ReadTextFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::wstring();
    std::wstring text;
    wchar_t buffer[1024];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read / sizeof(wchar_t));
    CloseHandle(file);
    return text;
}

} // namespace kztest
