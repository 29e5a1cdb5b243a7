#pragma once
// Helpers of the payload tests: the built programs, temporary folders, files, processes and
// registry values, all through the real system.
#include <string>

#include "foundation/Platform.h"

namespace PayloadTest {

// Full path of a program the build staged in stage\bin.
std::wstring ProgramPath(const wchar_t* fileName);

// A new, empty folder below the temporary folder; its path has no trailing separator.
std::wstring MakeTempFolder(const wchar_t* prefix);
void RemoveTree(const std::wstring& path);
void MakeFolders(const std::wstring& path);

bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool ReadBytes(const std::wstring& path, std::string* bytes);
bool Exists(const std::wstring& path);

// Runs a program and waits at most timeoutMs. application may be empty (then the command
// line names the program). False when it could not start or did not end in time; a program
// that did not end is killed.
bool RunProgram(const std::wstring& application, const std::wstring& commandLine, DWORD timeoutMs,
                DWORD* exitCode);
// Starts a program; the caller closes both handles.
bool StartProgram(const std::wstring& application, const std::wstring& commandLine, PROCESS_INFORMATION* process);

// A REG_SZ value read back, ending at the returned byte count (and at an earlier NUL).
bool ReadRegistryText(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring* text);
bool KeyExists(HKEY root, const std::wstring& path);
// Creates the key and sets a REG_SZ value (name null: the default value) with its terminator.
bool SetRegistryText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text);
void DeleteKeyTree(HKEY root, const std::wstring& path);

// The uninstall data file format: count, then per name its length in code units and the units.
std::string UninstallDataBytes(const std::wstring* names, int count);

} // namespace PayloadTest
