#pragma once
// Registry reads and writes for every test program, in the view asked for (0: the program's
// own, or KEY_WOW64_32KEY / KEY_WOW64_64KEY).
#include <string>
#include <vector>

#include "foundation/Platform.h"

namespace kztest {

struct RegValue {
    bool found = false;
    DWORD type = 0;
    DWORD size = 0;                        // byte count the system returned
    std::vector<BYTE> data;
    // Text ending at the byte count (cut at an earlier NUL).
    std::wstring Text() const;
    DWORD Dword() const;
    // True when the data is exactly the text, optionally followed by one NUL unit (the
    // system adds it when the writer's buffer was terminated).
    bool HoldsText(const std::wstring& text) const;
};

// Raw value: type and bytes exactly as the system returns them.
bool ReadValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD* type, std::string* data,
               REGSAM view = 0);
RegValue ReadValue(HKEY root, const std::wstring& path, const wchar_t* name);
// Text of a REG_SZ value ended at the returned byte count; a terminator that the system
// counted into the data is dropped. size receives the byte count.
bool ReadText(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text, DWORD* size = nullptr,
              REGSAM view = 0);
// Creates the key and sets a REG_SZ value (name null: the default value) with its terminator.
bool SetText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text, REGSAM view = 0);
bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
// Deletes root\path with everything below it; true when it is gone (also when it was absent).
bool DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view = 0);
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& path);
std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path);

} // namespace kztest
