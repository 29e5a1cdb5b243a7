// CreateDirectoryW and CopyFileW of this executable, wrapped at link time (CMakeLists.txt): Wine
// keeps no security descriptor of a file (it reports one made from the Unix mode bits), so the
// one a folder is made with is read where it is handed over; a failing copy cannot be provoked.
#include <windows.h>
#include <sddl.h>

#include <string>

#ifdef _WIN64
#define KZ_IMPORT(prefix, name, bytes) prefix "__imp_" #name
#else
#define KZ_IMPORT(prefix, name, bytes) "_" prefix "_imp__" #name "@" #bytes
#endif

std::wstring g_folderDescriptor;    // DACL (SDDL) of the last CreateDirectoryW given one
bool g_failCopy = false;            // CopyFileW fails while set

extern "C" BOOL(WINAPI* g_createDirectory)(LPCWSTR, LPSECURITY_ATTRIBUTES) __asm__(KZ_IMPORT("__real_", CreateDirectoryW, 8));
extern "C" BOOL(WINAPI* g_copyFile)(LPCWSTR, LPCWSTR, BOOL) __asm__(KZ_IMPORT("__real_", CopyFileW, 12));

static BOOL WINAPI CreateDirectoryCall(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes)
{
    wchar_t* text = nullptr;
    if (attributes != nullptr && ConvertSecurityDescriptorToStringSecurityDescriptorW(
                                     attributes->lpSecurityDescriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                     nullptr))
        g_folderDescriptor = text;
    LocalFree(text);
    return g_createDirectory(path, attributes);
}

static BOOL WINAPI CopyFileCall(LPCWSTR source, LPCWSTR target, BOOL failIfExists)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return !g_failCopy && g_copyFile(source, target, failIfExists);
}

extern "C" {
BOOL(WINAPI* g_wrapCreateDirectory)(LPCWSTR, LPSECURITY_ATTRIBUTES) __asm__(KZ_IMPORT("__wrap_", CreateDirectoryW, 8)) =
    CreateDirectoryCall;
BOOL(WINAPI* g_wrapCopyFile)(LPCWSTR, LPCWSTR, BOOL) __asm__(KZ_IMPORT("__wrap_", CopyFileW, 12)) = CopyFileCall;
}
