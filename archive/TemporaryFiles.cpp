#include "archive/TemporaryFiles.h"

#include <cwchar>

#include "foundation/ScopedHandle.h"

namespace {

// Skips one or more decimal digits; null when there is none.
const wchar_t* SkipDigits(const wchar_t* text)
{
    const wchar_t* start = text;
    while (*text >= L'0' && *text <= L'9')
        ++text;
    return text != start ? text : nullptr;
}

} // namespace

namespace TemporaryFiles {

WString Name(const WString& folder, unsigned int n)
{
    wchar_t name[40];
    wsprintfW(name, L"\\~kz%lu-%u.tmp", GetCurrentProcessId(), n);
    return folder + name;
}

bool IsTemporaryName(const wchar_t* name)
{
    if (wcsncmp(name, L"~kz", 3) != 0)
        return false;
    const wchar_t* next = SkipDigits(name + 3);
    if (next == nullptr || *next != L'-')
        return false;
    next = SkipDigits(next + 1);
    return next != nullptr && wcscmp(next, L".tmp") == 0;
}

void RemoveLeftovers(const WString& folder)
{
    WIN32_FIND_DATAW found;
    // The pattern also matches by the short names; each long name is checked exactly.
    const ScopedFind find(FindFirstFileW((folder + L"\\~kz*").c_str(), &found));
    if (!find)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsTemporaryName(found.cFileName))
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(find.get(), &found));
}

} // namespace TemporaryFiles
