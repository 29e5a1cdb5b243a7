#pragma once
// The one rule for the files the setup writes beside a target before moving them over it:
// "~kz<process id>-<n>.tmp", both numbers in decimal. Header-only and built on the system
// headers alone, so that the product's uninstaller removes exactly what the setup would.
#include <windows.h>

#include "foundation/PathText.h"
#include "foundation/ScopedHandle.h"

namespace TemporaryName {

// Skips one or more decimal digits; null when there is none.
inline const wchar_t* SkipDigits(const wchar_t* text)
{
    const wchar_t* start = text;
    while (*text >= L'0' && *text <= L'9')
        ++text;
    return text != start ? text : nullptr;
}

// Whether a file name (without its folder) has exactly that form.
inline bool Matches(const wchar_t* name)
{
    if (name[0] != L'~' || name[1] != L'k' || name[2] != L'z')
        return false;
    const wchar_t* next = SkipDigits(name + 3);
    if (next == nullptr || *next != L'-')
        return false;
    next = SkipDigits(next + 1);
    return next != nullptr && lstrcmpW(next, L".tmp") == 0;
}

// Removes the files of that form in folder (no trailing separator), and nothing else: what a
// killed setup left. Best effort; a file still open stays.
inline void RemoveIn(const wchar_t* folder)
{
    const int kCapacity = 2048;
    wchar_t path[kCapacity];
    path[0] = 0;
    // The pattern also matches by the short names; each long name is checked exactly.
    if (!PathText::Append(path, kCapacity, folder) || !PathText::Append(path, kCapacity, L"\\~kz*"))
        return;
    WIN32_FIND_DATAW found;
    const ScopedFind find(FindFirstFileW(path, &found));
    if (!find)
        return;
    const int folderLength = lstrlenW(path) - 4;
    do {
        path[folderLength] = 0;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && Matches(found.cFileName) &&
            PathText::Append(path, kCapacity, found.cFileName))
            DeleteFileW(path);
    } while (FindNextFileW(find.get(), &found));
}

} // namespace TemporaryName
