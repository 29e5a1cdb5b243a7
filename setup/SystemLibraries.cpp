// setup.exe runs with administrator rights and is usually started from a download folder: a
// DLL left there under the name of a system library must never load. Before any code of the
// program runs, library search by name is restricted to the system folder, for the whole
// process: the system's own loads by name follow it too (the common controls load the theme
// library when the first window is made).
//
// A TLS callback of the executable runs at process attach, after the imported system DLLs are
// initialised and before the C runtime starts: ahead of every static initialiser and of
// wWinMain. What the imported DLLs load while they start is beyond its reach: that is why the
// common controls, whose start-up loads the theme library, are loaded at run time and not
// imported (KZ_UIWindow). This file belongs to the executable only, never to a library that
// tests link.
#include "foundation/Platform.h"

namespace {

void NTAPI SystemLibrariesOnly(PVOID, DWORD reason, PVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return;
    // Looked up at run time: a system without it (Windows 7 lacking its update) must still
    // start the program.
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesProc)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC entry = kernel != nullptr ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (entry != nullptr) {
        SetDefaultDllDirectoriesProc restrict =
            reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void (*)()>(entry));
        if (restrict(LOAD_LIBRARY_SEARCH_SYSTEM32))
            return;
    }
    // At least the current folder leaves the search; the libraries the program loads itself
    // are named by full path.
    SetDllDirectoryW(L"");
}

} // namespace

// Sorted in among the C runtime's own TLS callbacks (".CRT$XLA" to ".CRT$XLZ").
extern "C" {
extern PIMAGE_TLS_CALLBACK kz_systemLibrariesOnly;
__attribute__((section(".CRT$XLB"), used)) PIMAGE_TLS_CALLBACK kz_systemLibrariesOnly = SystemLibrariesOnly;
}
