// Files and folders for the checks and the clean-up, and the host paths the driver is given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FileProbe {
public:
    // "/work/x" (a path of the Linux host) becomes "Z:\work\x"; Windows paths stay as they are.
    static std::wstring FromHost(const std::string& path);
    static std::wstring FromUtf8(const std::string& text);
    static bool IsFile(const std::wstring& path);
    static bool IsFolder(const std::wstring& path);
    static bool Read(const std::wstring& path, std::vector<uint8_t>* content);
    static bool WriteBytes(const std::wstring& path, const std::string& content);
    // Removes the folder and everything below it; true when it is gone.
    static bool RemoveTree(const std::wstring& path);
    static std::wstring FolderOf(const std::wstring& path);
    static std::wstring SpecialFolder(int csidl);
    static std::wstring TempFolder();
    // Names of the files in folder matching the pattern ("*.exe").
    static std::vector<std::wstring> List(const std::wstring& folder, const wchar_t* pattern);
    // Whether a file the setup writes before moving it over its target ("~kz<pid>-<n>.tmp"), of
    // at least minimum bytes, is in folder; with recurse, anywhere below it.
    static bool HasSetupTemporary(const std::wstring& folder, uint64_t minimum, bool recurse);
};
