// Reads, writes and removes registry keys for the checks and the clean-up of the driver, each
// in the registry view named (KEY_WOW64_32KEY or KEY_WOW64_64KEY, SetupView).
#pragma once

#include <string>

#include "foundation/Platform.h"

class RegistryProbe {
public:
    static bool KeyExists(REGSAM view, HKEY root, const std::wstring& path);
    // name null: the default value. The text ends at the returned byte count; one trailing
    // NUL (which Wine may count in) is dropped.
    static bool ReadString(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text,
                           DWORD* type = nullptr);
    static bool ReadDword(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, DWORD* value);
    static bool WriteString(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text);
    static bool DeleteValue(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name);
    static bool DeleteTree(REGSAM view, HKEY root, const std::wstring& path);
};
