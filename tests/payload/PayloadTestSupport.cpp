#include "PayloadTestSupport.h"

#include <vector>

namespace PayloadTest {

std::wstring ProgramPath(const wchar_t* fileName)
{
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path(module);
    path.erase(path.find_last_of(L"\\/") + 1);
    for (const char* p = KZ_STAGE_BIN_RELATIVE; *p; ++p)
        path.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
    path += L"\\";
    path += fileName;
    wchar_t full[MAX_PATH];
    GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::wstring MakeTempFolder(const wchar_t* prefix)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    for (;;) {
        wchar_t name[MAX_PATH];
        wsprintfW(name, L"%s%s-%lu-%d", temp, prefix, GetCurrentProcessId(), ++serial);
        if (CreateDirectoryW(name, nullptr))
            return name;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::wstring();
    }
}

void RemoveTree(const std::wstring& path)
{
    if (path.empty())
        return;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

void MakeFolders(const std::wstring& path)
{
    for (size_t cut = path.find(L'\\', 3); cut != std::wstring::npos; cut = path.find(L'\\', cut + 1))
        CreateDirectoryW(path.substr(0, cut).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    const size_t cut = path.find_last_of(L'\\');
    if (cut != std::wstring::npos)
        MakeFolders(path.substr(0, cut));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool ReadBytes(const std::wstring& path, std::string* bytes)
{
    bytes->clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char buffer[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &read, nullptr) != 0) && read > 0)
        bytes->append(buffer, read);
    CloseHandle(file);
    return ok;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool StartProgram(const std::wstring& application, const std::wstring& commandLine, PROCESS_INFORMATION* process)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    return CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr, nullptr, FALSE,
                          0, nullptr, nullptr, &startup, process) != 0;
}

bool RunProgram(const std::wstring& application, const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode)
{
    PROCESS_INFORMATION process;
    if (!StartProgram(application, commandLine, &process))
        return false;
    bool ended = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

bool ReadRegistryText(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text)
{
    text->clear();
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[1024];
    DWORD bytes = sizeof buffer;
    DWORD type = 0;
    const LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return false;
    text->assign(buffer, bytes / sizeof(wchar_t));
    const size_t nul = text->find(L'\0');
    if (nul != std::wstring::npos)
        text->erase(nul);
    return true;
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool SetRegistryText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void DeleteKeyTree(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    wchar_t child[256];
    for (;;) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DeleteKeyTree(root, path + L"\\" + child);
        if (KeyExists(root, path + L"\\" + child))
            break;
    }
    RegCloseKey(key);
    RegDeleteKeyW(root, path.c_str());
}

std::string UninstallDataBytes(const std::wstring* names, int count)
{
    std::string bytes;
    auto put32 = [&bytes](unsigned value) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    put32(static_cast<unsigned>(count));
    for (int i = 0; i < count; ++i) {
        put32(static_cast<unsigned>(names[i].size()));
        for (wchar_t unit : names[i]) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
        }
    }
    return bytes;
}

} // namespace PayloadTest
