#include "tests/e2e/FileProbe.h"

#include "foundation/Platform.h"
#include "foundation/TemporaryName.h"
#include <shlobj.h>

#include "tests/support/TestFiles.h"

std::wstring FileProbe::FromUtf8(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(size > 0 ? size : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &result[0], size);
    return result;
}

std::wstring FileProbe::FromHost(const std::string& path)
{
    std::wstring result = FromUtf8(path);
    if (!result.empty() && result[0] == L'/') {
        for (wchar_t& c : result) {
            if (c == L'/')
                c = L'\\';
        }
        result = L"Z:" + result;
    }
    return result;
}

bool FileProbe::IsFile(const std::wstring& path)
{
    return kztest::FileExists(path);
}

bool FileProbe::IsFolder(const std::wstring& path)
{
    return kztest::FolderExists(path);
}

bool FileProbe::Read(const std::wstring& path, std::vector<uint8_t>* content)
{
    std::string bytes;
    const bool ok = kztest::ReadBytes(path, &bytes);
    content->assign(bytes.begin(), bytes.end());
    return ok;
}

bool FileProbe::WriteBytes(const std::wstring& path, const std::string& content)
{
    return kztest::WriteBytes(path, content);
}

bool FileProbe::RemoveTree(const std::wstring& path)
{
    return kztest::RemoveTree(path);
}

std::wstring FileProbe::FolderOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FileProbe::SpecialFolder(int csidl)
{
    wchar_t buffer[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE))
        return std::wstring();
    return buffer;
}

std::wstring FileProbe::TempFolder()
{
    return kztest::TempPath();
}

std::vector<std::wstring> FileProbe::List(const std::wstring& folder, const wchar_t* pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool FileProbe::HasSetupTemporary(const std::wstring& folder, uint64_t minimum, bool recurse)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool seen = false;
    do {
        const std::wstring name = found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            seen = recurse && name != L"." && name != L".." && HasSetupTemporary(folder + L"\\" + name, minimum, true);
        else
            seen = TemporaryName::Matches(found.cFileName) &&
                   ((uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow) >= minimum;
    } while (!seen && FindNextFileW(find, &found));
    FindClose(find);
    return seen;
}
