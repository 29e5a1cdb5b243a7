#pragma once
// Files and folders for every test program, through Win32 directly, so that what the code under
// test wrote is read back independently of it.
#include <string>
#include <vector>

#include "foundation/Platform.h"

namespace kztest {

// Deletes path (a file, or a folder with everything below it), clearing read-only marks; quiet
// when absent. True when it is gone.
bool RemoveTree(const std::wstring& path);
// Creates the folder and those above it.
void MakeFolders(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// A file or a folder.
bool PathExists(const std::wstring& path);

// Whole file; false when it cannot be read.
bool ReadBytes(const std::wstring& path, std::string* bytes);
// Replaces the file (creating the folders above it) with the bytes and the attributes.
bool WriteBytes(const std::wstring& path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
// Whole file as UTF-16 text; empty when it cannot be read.
std::wstring ReadTextFile(const std::wstring& path);
// The uninstall data file for these names: count, then per name its length in units and the units.
std::string UninstallBytes(const std::vector<std::wstring>& names);

// The system's temporary folder, without a trailing backslash.
std::wstring TempPath();
// A new, empty folder below the temporary folder (no trailing backslash).
std::wstring MakeTempFolder(const wchar_t* prefix);

// A fresh folder below the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    explicit TempFolder(const wchar_t* prefix = L"kztest") : path_(MakeTempFolder(prefix)) {}
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

} // namespace kztest
