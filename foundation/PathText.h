#pragma once
// The one separator test, and path text in fixed buffers. Header-only and built on the system
// headers alone, so that the payload's standalone programs use it too.
#include <windows.h>

namespace PathText {

// "/" separates folders like "\".
inline bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// Index of the last separator in path, or -1.
inline int LastSeparator(const wchar_t* path)
{
    int last = -1;
    for (int i = 0; path[i]; ++i) {
        if (IsSeparator(path[i]))
            last = i;
    }
    return last;
}

// Appends text to the terminated text in buffer (capacity characters). False, buffer
// unchanged, when the result would not fit.
inline bool Append(wchar_t* buffer, int capacity, const wchar_t* text)
{
    const int used = lstrlenW(buffer);
    const int add = lstrlenW(text);
    if (used + add >= capacity)
        return false;
    CopyMemory(buffer + used, text, (add + 1) * sizeof(wchar_t));
    return true;
}

// The program of a registered command line, in place: the text between the quotation marks
// when command starts with one ("C:\My Apps\Uninstall.exe" /x), else the whole text (a bare
// path, as earlier installations registered it). Cuts command at the program's end and
// returns where it begins.
inline wchar_t* CommandProgram(wchar_t* command)
{
    if (command[0] != L'"')
        return command;
    int end = 1;
    while (command[end] && command[end] != L'"')
        ++end;
    command[end] = 0;
    return command + 1;
}

} // namespace PathText
