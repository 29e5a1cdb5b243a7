#pragma once
// Registry, file and process helpers for the install services tests. They use Win32
// directly so that what the code under test wrote is read back independently of it.
#include "foundation/Platform.h"

#include <objbase.h>

#include <string>
#include <vector>

#include "foundation/WString.h"

namespace kztest {

extern const wchar_t kUninstallRoot[];    // "SOFTWARE\...\Uninstall\"

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

RegValue ReadValue(HKEY root, const std::wstring& key, const wchar_t* name);
// The key's unnamed value as text; "<missing>" when the key or value is absent.
std::wstring DefaultValue(HKEY root, const std::wstring& key);
bool KeyExists(HKEY root, const std::wstring& key);
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key);
std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& key);
void DeleteTree(HKEY root, const std::wstring& key);

std::wstring Std(const WString& text);
std::wstring Pid();
// Registry text of a new GUID.
std::wstring NewGuidText(GUID* guid);
// Folder of the running test executable, with a trailing backslash.
std::wstring TestDirectory();
// The system's text for an error code, as the error record stores it.
std::wstring SystemText(DWORD code);
// Error record: the error text, and the context lines.
std::wstring ErrorText();
std::vector<std::wstring> ContextLines();

bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Whole file as UTF-16 text.
std::wstring ReadTextFile(const std::wstring& path);

} // namespace kztest
