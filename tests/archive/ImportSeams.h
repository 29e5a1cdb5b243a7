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

// Always: CreateFileW for writing over a read-only file, and MoveFileExW over one, are refused
// with ERROR_ACCESS_DENIED, as Windows refuses them (Wine run as root writes anyway).

// While one lives, closing a file whose path holds fragment closes it and then fails, as a
// close fails on a write-behind error.
class FailingClose {
public:
    explicit FailingClose(const wchar_t* fragment);
    ~FailingClose();
    FailingClose(const FailingClose&) = delete;
    FailingClose& operator=(const FailingClose&) = delete;
};
