#pragma once
// Reading a text value of the registry. Header-only and built on the system headers alone, so
// that the payload's standalone programs use it too.
#include <windows.h>

// Reads the value name of key into text, which holds capacity units and comes back terminated.
// A text value (REG_SZ, or REG_EXPAND_SZ left unexpanded) need not carry its terminator: the
// text ends at the value's byte count, or at an earlier NUL. ERROR_MORE_DATA when it does not
// fit in capacity - 1 units, ERROR_INVALID_DATATYPE for a value of another type; text is
// empty on any failure.
inline LONG ReadRegistryText(HKEY key, const wchar_t* name, wchar_t* text, int capacity)
{
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(capacity - 1) * sizeof(wchar_t);
    LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes);
    if (status == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ)
        status = ERROR_INVALID_DATATYPE;
    text[status == ERROR_SUCCESS ? bytes / sizeof(wchar_t) : 0] = 0;
    return status;
}
