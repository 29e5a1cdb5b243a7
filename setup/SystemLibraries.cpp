// setup.exe runs with administrator rights and is usually started from a download folder: a
// DLL left there under the name of a system library must never load. Before any code of the
// program runs, library search by name is restricted to the system folder, for the whole
// process, and the libraries the system loads by name later are loaded from there
// (foundation/SystemLibraries.h).
//
// What the imported DLLs load while they start is beyond the callback's reach: that is why the
// common controls, whose start-up loads the theme library, are loaded at run time and not
// imported (KZ_UIWindow). This file belongs to the executable only, never to a library that
// tests link.
#include "foundation/SystemLibraries.h"

// Sorted in among the C runtime's own TLS callbacks (".CRT$XLA" to ".CRT$XLZ").
extern "C" {
extern PIMAGE_TLS_CALLBACK kz_systemLibrariesOnly;
__attribute__((section(".CRT$XLB"), used)) PIMAGE_TLS_CALLBACK kz_systemLibrariesOnly = SystemLibraries::OnProcessAttach;
}
