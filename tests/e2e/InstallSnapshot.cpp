#include "tests/e2e/InstallSnapshot.h"

#include "foundation/Platform.h"

#include "tests/e2e/InstallCheck.h"
#include "tests/e2e/ProductFacts.h"
#include "tests/e2e/SetupView.h"

namespace {

void DescribeKey(HKEY root, const std::wstring& path, std::wstring* out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | SetupView::Registry(), &key) != ERROR_SUCCESS)
        return;
    *out += L"[" + path + L"]\n";
    for (DWORD i = 0;; ++i) {
        wchar_t name[260];
        DWORD nameLength = 260;
        BYTE data[2048];
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        *out += std::wstring(name, nameLength) + L"=" + std::to_wstring(type) + L":";
        for (DWORD b = 0; b < size; ++b)
            *out += std::to_wstring(data[b]) + L",";
        *out += L"\n";
    }
    for (DWORD i = 0;; ++i) {
        wchar_t child[260];
        DWORD length = 260;
        if (RegEnumKeyExW(key, i, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DescribeKey(root, path + L"\\" + child, out);
    }
    RegCloseKey(key);
}

void DescribeFolder(const std::wstring& folder, std::wstring* out)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            *out += path + L"\\\n";
            DescribeFolder(path, out);
        } else {
            *out += path + L" " + std::to_wstring(found.nFileSizeLow) + L" " +
                    std::to_wstring(found.ftLastWriteTime.dwLowDateTime) + L"\n";
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

} // namespace

std::wstring InstallSnapshot::Take()
{
    std::wstring out;
    DescribeKey(HKEY_LOCAL_MACHINE, ProductFacts::kUninstallKey, &out);
    DescribeKey(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + ProductFacts::kServerClass, &out);
    DescribeKey(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + ProductFacts::kControlClass, &out);
    DescribeKey(HKEY_CLASSES_ROOT, ProductFacts::kProgId, &out);
    DescribeKey(HKEY_CLASSES_ROOT, L".orlix", &out);
    DescribeKey(HKEY_CLASSES_ROOT, L".orx", &out);
    DescribeFolder(InstallCheck::DefaultTarget(), &out);
    DescribeFolder(InstallCheck::StartMenuFolder(), &out);
    return out;
}
