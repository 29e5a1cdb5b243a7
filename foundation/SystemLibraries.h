#pragma once
// Library search for a program that runs with administrator rights (setup.exe, and the
// product's uninstaller, which asks for them too): such a program is often started from a
// folder others can write, a download folder or an installation folder chosen by the user,
// and a DLL left there under the name of a system library must never load. Header-only and
// built on the system headers alone, so that the payload's programs use it too.
//
// Each program calls OnProcessAttach from a TLS callback of its own executable, which runs at
// process attach, after the imported system DLLs are initialised and before the C runtime
// starts: ahead of every static initialiser and of the program's entry point. What the
// imported DLLs load while they start is beyond its reach.
#include <windows.h>

namespace SystemLibraries {

// Libraries that the system's own libraries load by name later, found with WINEDEBUG=+loaddll
// over a whole install: the common controls 6 load msimg32 for AlphaBlend and TransparentBlt
// when they first draw (a delayed load that Wine, with native-first overrides, took from
// beside the program despite the restriction), and the theme library comes with the first
// window. The others loaded then (oleaut32, usp10 as riched20's import) are known DLLs of
// Windows, always taken from the system folder. Loaded now by full path, each is found loaded
// already when its name is asked for: the only defence where SetDefaultDllDirectories is
// missing and the program's folder stays searched.
const wchar_t* const kLoadedLater[] = {L"msimg32.dll", L"uxtheme.dll"};

// Restricts library search by name to the system folder for the whole process (the system's
// own loads by name follow it too), then loads kLoadedLater from there.
inline void RestrictToSystemFolder()
{
    // Looked up at run time: a system without it (Windows 7 lacking its update) must still
    // start the program.
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesProc)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC entry = kernel != nullptr ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    const bool restricted =
        entry != nullptr &&
        reinterpret_cast<SetDefaultDllDirectoriesProc>(reinterpret_cast<void (*)()>(entry))(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Otherwise at least the current folder leaves the search; the libraries the program loads
    // itself are named by full path.
    if (!restricted)
        SetDllDirectoryW(L"");

    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 20)
        return;
    path[length] = L'\\';
    for (const wchar_t* name : kLoadedLater) {
        lstrcpyW(path + length + 1, name);
        // Kept for the life of the process.
        LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
}

// The TLS callback: registered by the executable (see setup/SystemLibraries.cpp).
inline void NTAPI OnProcessAttach(PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        RestrictToSystemFolder();
}

} // namespace SystemLibraries
