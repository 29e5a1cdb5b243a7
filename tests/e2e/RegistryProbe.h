// Reads, writes and removes registry keys for the checks and the clean-up of the driver.
#pragma once

#include <string>

#include "foundation/Platform.h"

class RegistryProbe {
public:
    static bool KeyExists(HKEY root, const std::wstring& path);
    // name null: the default value. The text ends at the returned byte count; one trailing
    // NUL (which Wine may count in) is dropped.
    static bool ReadString(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text,
                           DWORD* type = nullptr);
    static bool ReadDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD* value);
    static bool WriteString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text);
    static bool DeleteValue(HKEY root, const std::wstring& path, const wchar_t* name);
    static bool DeleteTree(HKEY root, const std::wstring& path);
};
