#pragma once
// The running test program, system texts and child processes, for every test program.
#include <string>

#include "foundation/Platform.h"

namespace kztest {

// The system's text for an error code, as PlatformError records it.
std::wstring SystemText(DWORD code);
// Registry text of a GUID ("{...}").
std::wstring GuidText(const GUID& guid);
// The folder of the running test program (no trailing backslash).
std::wstring ProgramFolder();

// Starts a program; application may be empty (then the command line names it). The caller
// closes both handles.
bool StartProgram(const std::wstring& application, const std::wstring& commandLine, PROCESS_INFORMATION* process);
// Runs a program and waits at most timeoutMs. False when it could not start or did not end in
// time; a program that did not end is killed.
bool RunProgram(const std::wstring& application, const std::wstring& commandLine, DWORD timeoutMs,
                DWORD* exitCode);

} // namespace kztest
