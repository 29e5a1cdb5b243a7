#pragma once
#include <windows.h>

// WriteFile as the code of this executable calls it, replaced at link time (-Wl,--wrap of its
// import, set in tests/archive/CMakeLists.txt): a WriteFile that reports success without
// writing cannot be provoked on a real file.
namespace ReplacedWriteFile {

typedef BOOL(WINAPI* Function)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);

// Every WriteFile call goes to function from now on; null restores the system's.
void Use(Function function);
// The system's WriteFile, for a replacement that writes after all.
BOOL WINAPI System(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);

} // namespace ReplacedWriteFile
