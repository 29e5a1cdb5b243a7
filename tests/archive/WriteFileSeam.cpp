#include "WriteFileSeam.h"

namespace {

volatile ReplacedWriteFile::Function g_function = nullptr;

BOOL WINAPI Dispatch(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    const ReplacedWriteFile::Function function = g_function;
    return function != nullptr ? function(file, data, size, written, overlapped)
                               : ReplacedWriteFile::System(file, data, size, written, overlapped);
}

} // namespace

// The import's pointer: calls to WriteFile go through __imp_WriteFile (x86_64) or
// __imp__WriteFile@20 (i686); the linker sends them to the wrap and keeps the real one.
#ifdef _WIN64
#define KZ_WRAPPED_IMPORT "__wrap___imp_WriteFile"
#define KZ_REAL_IMPORT "__real___imp_WriteFile"
#else
#define KZ_WRAPPED_IMPORT "___wrap__imp__WriteFile@20"
#define KZ_REAL_IMPORT "___real__imp__WriteFile@20"
#endif
extern "C" {
extern ReplacedWriteFile::Function g_realWriteFile __asm__(KZ_REAL_IMPORT);
ReplacedWriteFile::Function g_wrappedWriteFile __asm__(KZ_WRAPPED_IMPORT) = Dispatch;
}

namespace ReplacedWriteFile {

void Use(Function function)
{
    g_function = function;
}

BOOL WINAPI System(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    return g_realWriteFile(file, data, size, written, overlapped);
}

} // namespace ReplacedWriteFile
