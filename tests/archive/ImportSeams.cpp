#include "ImportSeams.h"

#include <cwchar>

// Calls to an imported function go through its import pointer, __imp_Name (x86_64) or
// __imp__Name@bytes (i686); the linker sends them to the wrap and keeps the real one.
#ifdef _WIN64
#define KZ_WRAPPED_IMPORT(name, bytes) "__wrap___imp_" #name
#define KZ_REAL_IMPORT(name, bytes) "__real___imp_" #name
#else
#define KZ_WRAPPED_IMPORT(name, bytes) "___wrap__imp__" #name "@" #bytes
#define KZ_REAL_IMPORT(name, bytes) "___real__imp__" #name "@" #bytes
#endif

typedef HANDLE(WINAPI* CreateFileFunction)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
typedef BOOL(WINAPI* MoveFileExFunction)(LPCWSTR, LPCWSTR, DWORD);
typedef BOOL(WINAPI* CloseHandleFunction)(HANDLE);
typedef HANDLE(WINAPI* CreateThreadFunction)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                              LPDWORD);

namespace {

volatile ReplacedWriteFile::Function g_writeFile = nullptr;
volatile LONG g_noNewThreads = 0;
volatile LONG g_refusedThreads = 0;

BOOL WINAPI WriteFileCall(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    const ReplacedWriteFile::Function function = g_writeFile;
    return function != nullptr ? function(file, data, size, written, overlapped)
                               : ReplacedWriteFile::System(file, data, size, written, overlapped);
}

HANDLE WINAPI CreateThreadCall(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);
HANDLE WINAPI CreateFileCall(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
BOOL WINAPI MoveFileExCall(LPCWSTR, LPCWSTR, DWORD);
BOOL WINAPI CloseHandleCall(HANDLE);
const wchar_t* volatile g_failClose = nullptr;

bool IsReadOnlyFile(LPCWSTR path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

extern "C" {
extern ReplacedWriteFile::Function g_realWriteFile __asm__(KZ_REAL_IMPORT(WriteFile, 20));
ReplacedWriteFile::Function g_wrappedWriteFile __asm__(KZ_WRAPPED_IMPORT(WriteFile, 20)) = WriteFileCall;
extern CreateThreadFunction g_realCreateThread __asm__(KZ_REAL_IMPORT(CreateThread, 24));
CreateThreadFunction g_wrappedCreateThread __asm__(KZ_WRAPPED_IMPORT(CreateThread, 24)) = CreateThreadCall;
extern CreateFileFunction g_realCreateFile __asm__(KZ_REAL_IMPORT(CreateFileW, 28));
CreateFileFunction g_wrappedCreateFile __asm__(KZ_WRAPPED_IMPORT(CreateFileW, 28)) = CreateFileCall;
extern MoveFileExFunction g_realMoveFileEx __asm__(KZ_REAL_IMPORT(MoveFileExW, 12));
MoveFileExFunction g_wrappedMoveFileEx __asm__(KZ_WRAPPED_IMPORT(MoveFileExW, 12)) = MoveFileExCall;
extern CloseHandleFunction g_realCloseHandle __asm__(KZ_REAL_IMPORT(CloseHandle, 4));
CloseHandleFunction g_wrappedCloseHandle __asm__(KZ_WRAPPED_IMPORT(CloseHandle, 4)) = CloseHandleCall;
}

namespace {

HANDLE WINAPI CreateThreadCall(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                               LPVOID parameter, DWORD flags, LPDWORD id)
{
    if (g_noNewThreads > 0) {
        InterlockedIncrement(&g_refusedThreads);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return g_realCreateThread(security, stack, start, parameter, flags, id);
}

HANDLE WINAPI CreateFileCall(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                             DWORD flags, HANDLE model)
{
    if ((access & GENERIC_WRITE) && disposition != CREATE_NEW && IsReadOnlyFile(path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return g_realCreateFile(path, access, share, security, disposition, flags, model);
}

BOOL WINAPI MoveFileExCall(LPCWSTR from, LPCWSTR to, DWORD flags)
{
    if (IsReadOnlyFile(to)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return g_realMoveFileEx(from, to, flags);
}

BOOL WINAPI CloseHandleCall(HANDLE handle)
{
    wchar_t path[MAX_PATH];
    const wchar_t* fragment = g_failClose;
    const DWORD length = fragment != nullptr ? GetFinalPathNameByHandleW(handle, path, MAX_PATH, 0) : 0;
    if (!g_realCloseHandle(handle))
        return FALSE;
    if (length == 0 || length >= MAX_PATH || wcsstr(path, fragment) == nullptr)
        return TRUE;
    SetLastError(ERROR_NETNAME_DELETED);
    return FALSE;
}

} // namespace

namespace ReplacedWriteFile {

void Use(Function function)
{
    g_writeFile = function;
}

BOOL WINAPI System(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    return g_realWriteFile(file, data, size, written, overlapped);
}

} // namespace ReplacedWriteFile

NoNewThreads::NoNewThreads() : start_(g_refusedThreads)
{
    InterlockedIncrement(&g_noNewThreads);
}

int NoNewThreads::Refused() const
{
    return g_refusedThreads - start_;
}

NoNewThreads::~NoNewThreads()
{
    InterlockedDecrement(&g_noNewThreads);
}

FailingClose::FailingClose(const wchar_t* fragment)
{
    g_failClose = fragment;
}

FailingClose::~FailingClose()
{
    g_failClose = nullptr;
}
