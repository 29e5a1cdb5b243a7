#include "CommandLine.h"

namespace CommandLine {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

const wchar_t* Arguments(const wchar_t* line)
{
    if (!line)
        return L"";
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"')
            ++line;
        return *line ? line + 1 : line;
    }
    if (IsBlank(*line))
        return line;

    wchar_t module[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length > 0 && length < MAX_PATH && lstrlenW(line) >= static_cast<int>(length) &&
        CompareStringOrdinal(line, static_cast<int>(length), module, static_cast<int>(length), TRUE) ==
            CSTR_EQUAL &&
        (line[length] == 0 || IsBlank(line[length])))
        return line + length;

    while (*line && !IsBlank(*line))
        ++line;
    return line;
}

int Split(wchar_t* text, wchar_t** arguments, int capacity)
{
    int count = 0;
    wchar_t* p = text;
    for (;;) {
        while (*p && IsBlank(*p))
            ++p;
        if (!*p)
            return count;
        if (count == capacity)
            return -1;
        if (*p == L'"') {
            ++p;
            arguments[count++] = p;
            while (*p && *p != L'"')
                ++p;
            if (!*p)
                return -1;
            *p++ = 0;
            if (*p && !IsBlank(*p))
                return -1;
        } else {
            arguments[count++] = p;
            while (*p && !IsBlank(*p))
                ++p;
            if (*p)
                *p++ = 0;
        }
    }
}

} // namespace CommandLine
