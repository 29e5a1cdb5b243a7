#include "ImportSeams.h"

#include <string>

// Calls to an imported function go through its import pointer, __imp_Name (x86_64) or
// __imp__Name@bytes (i686); the linker sends them to the wrap and keeps the real one.
#ifdef _WIN64
#define KZ_WRAPPED_IMPORT(name, bytes) "__wrap___imp_" #name
#define KZ_REAL_IMPORT(name, bytes) "__real___imp_" #name
#else
#define KZ_WRAPPED_IMPORT(name, bytes) "___wrap__imp__" #name "@" #bytes
#define KZ_REAL_IMPORT(name, bytes) "___real__imp__" #name "@" #bytes
#endif

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

} // namespace

extern "C" {
extern ReplacedWriteFile::Function g_realWriteFile __asm__(KZ_REAL_IMPORT(WriteFile, 20));
ReplacedWriteFile::Function g_wrappedWriteFile __asm__(KZ_WRAPPED_IMPORT(WriteFile, 20)) = WriteFileCall;
extern CreateThreadFunction g_realCreateThread __asm__(KZ_REAL_IMPORT(CreateThread, 24));
CreateThreadFunction g_wrappedCreateThread __asm__(KZ_WRAPPED_IMPORT(CreateThread, 24)) = CreateThreadCall;
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

namespace {

volatile LONGLONG g_diskRoom = 0;

BOOL WINAPI FullDisk(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    const LONGLONG room = g_diskRoom;
    if (room <= 0) {
        *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    const DWORD part = room < size ? static_cast<DWORD>(room) : size;
    const BOOL done = System(file, data, part, written, overlapped);
    InterlockedExchangeAdd64(&g_diskRoom, -static_cast<LONGLONG>(*written));
    return done;
}

} // namespace

void FillDiskAfter(long long bytes)
{
    g_diskRoom = bytes;
    Use(FullDisk);
}

} // namespace ReplacedWriteFile

volatile LONG closeFailsAt = 0;
volatile LONG flushFailsAt = 0;
volatile LONG flushCalls = 0;
extern decltype(&CreateFileW) g_realCreateFile __asm__(KZ_REAL_IMPORT(CreateFileW, 28));
extern decltype(&SetFileInformationByHandle) g_realSetFileInformation __asm__(KZ_REAL_IMPORT(SetFileInformationByHandle, 16));
extern decltype(&CloseHandle) g_realCloseHandle __asm__(KZ_REAL_IMPORT(CloseHandle, 4));
extern decltype(&FlushFileBuffers) g_realFlushFileBuffers __asm__(KZ_REAL_IMPORT(FlushFileBuffers, 4));

static bool IsReadOnlyFile(LPCWSTR path)
{
    return (GetFileAttributesW(path) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == FILE_ATTRIBUTE_READONLY;
}

static HANDLE WINAPI CreateFileCall(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                    DWORD disposition, DWORD flags, HANDLE model)
{
    if ((access & GENERIC_WRITE) && disposition != CREATE_NEW && IsReadOnlyFile(path))
        return SetLastError(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    const DWORD hiding = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD attributes = GetFileAttributesW(path);
    if ((disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & hiding) & ~(flags & hiding))
        return SetLastError(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    return g_realCreateFile(path, access, share, security, disposition, flags, model);
}

static BOOL WINAPI SetFileInformationCall(HANDLE file, FILE_INFO_BY_HANDLE_CLASS type, LPVOID info, DWORD size)
{
    if (type == FileRenameInfo) {
        const FILE_RENAME_INFO* rename = static_cast<const FILE_RENAME_INFO*>(info);
        const std::wstring to(rename->FileName, rename->FileNameLength / sizeof(wchar_t));
        if (IsReadOnlyFile(to.c_str()))
            return SetLastError(ERROR_ACCESS_DENIED), FALSE;
    }
    return g_realSetFileInformation(file, type, info, size);
}

static BOOL WINAPI CloseHandleCall(HANDLE handle)
{
    const bool fail = closeFailsAt > 0 && GetFileType(handle) == FILE_TYPE_DISK &&
                      (closeFailsAt == 1 || InterlockedDecrement(&closeFailsAt) == 0);
    return g_realCloseHandle(handle) && (!fail || (SetLastError(ERROR_NETNAME_DELETED), FALSE));
}

static BOOL WINAPI FlushFileBuffersCall(HANDLE handle)
{
    InterlockedIncrement(&flushCalls);
    const bool fail = flushFailsAt > 0 && (flushFailsAt == 1 || InterlockedDecrement(&flushFailsAt) == 0);
    return fail ? (SetLastError(ERROR_DISK_FULL), FALSE) : g_realFlushFileBuffers(handle);
}

decltype(&CreateFileW) g_wrappedCreateFile __asm__(KZ_WRAPPED_IMPORT(CreateFileW, 28)) = CreateFileCall;
decltype(&SetFileInformationByHandle) g_wrappedSetFileInformation __asm__(KZ_WRAPPED_IMPORT(SetFileInformationByHandle, 16)) =
    SetFileInformationCall;
decltype(&CloseHandle) g_wrappedCloseHandle __asm__(KZ_WRAPPED_IMPORT(CloseHandle, 4)) = CloseHandleCall;
decltype(&FlushFileBuffers) g_wrappedFlushFileBuffers __asm__(KZ_WRAPPED_IMPORT(FlushFileBuffers, 4)) = FlushFileBuffersCall;

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
