#pragma once
// Helpers of the install services tests: the error record read back, and the common helpers
// (tests/support) under the names these tests know.
#include "foundation/Platform.h"

#include <objbase.h>

#include <string>
#include <vector>

#include "foundation/WString.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestRegistry.h"
#include "tests/support/TestSystem.h"

namespace kztest {

extern const wchar_t kUninstallRoot[];    // "SOFTWARE\...\Uninstall\"

// The key's unnamed value as text; "<missing>" when the key or value is absent.
std::wstring DefaultValue(HKEY root, const std::wstring& key);
inline void DeleteTree(HKEY root, const std::wstring& key) { DeleteKeyTree(root, key); }

std::wstring Std(const WString& text);
std::wstring Pid();
// Registry text of a new GUID.
std::wstring NewGuidText(GUID* guid);
// Folder of the running test executable, with a trailing backslash.
inline std::wstring TestDirectory() { return ProgramFolder() + L"\\"; }
// Error record: the error text, and the context lines.
std::wstring ErrorText();
std::vector<std::wstring> ContextLines();

inline bool DirectoryExists(const std::wstring& path) { return FolderExists(path); }

} // namespace kztest
