#pragma once
#include <windows.h>

// System functions as the code of this executable calls them, replaced at link time (-Wl,--wrap
// of their imports, set in tests/archive/CMakeLists.txt) for failures that cannot be provoked
// for real.

// A WriteFile that reports success without writing.
namespace ReplacedWriteFile {

typedef BOOL(WINAPI* Function)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);

// Every WriteFile call goes to function from now on; null restores the system's.
void Use(Function function);
// The system's WriteFile, for a replacement that writes after all.
BOOL WINAPI System(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
// A disk that fills up: writes go through until `bytes` more have been written, then every
// write fails with ERROR_DISK_FULL (the one that crosses the limit writes what still fits).
void FillDiskAfter(long long bytes);

} // namespace ReplacedWriteFile

// While one lives, CreateThread fails as it does when the system has no thread to give.
class NoNewThreads {
public:
    NoNewThreads();
    ~NoNewThreads();
    // Calls refused since it was made.
    int Refused() const;
    NoNewThreads(const NoNewThreads&) = delete;
    NoNewThreads& operator=(const NoNewThreads&) = delete;

private:
    int start_;
};

// As on Windows (Wine run as root writes anyway), writing or moving over a read-only file is
// refused, and so is CREATE_ALWAYS or TRUNCATE_EXISTING of a hidden or system file without
// those attributes.
// While closeFailsAt is n > 0, the n-th close of a disk file and each after it close and fail (a
// lasting write-behind error: the stager's failed close is tried again on the worker).
extern volatile LONG closeFailsAt;
// While flushFailsAt is n > 0, the n-th flush and each after it fail with ERROR_DISK_FULL (a
// delayed write that found no room).
extern volatile LONG flushFailsAt;
extern volatile LONG flushCalls;     // every flush, counted
