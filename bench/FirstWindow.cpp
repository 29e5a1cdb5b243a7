// bench_firstwindow: time from starting a program to its first window being visible and
// painted.
//
//   bench_firstwindow PROGRAM CLASS CAPTION [CHILD]
//
// Starts PROGRAM (CreateProcessW), polls in a bounded loop for a visible top-level window of
// that process with the window class CLASS and the caption CAPTION, and, when CHILD is given,
// for that window's direct child of the same class named CHILD to be visible too (the
// wizard's "Welcome" page); both with nothing left to paint (GetUpdateRect). Then it asks
// the window to close (WM_CLOSE) and waits for the program to end. Prints "window_s=..." (seconds from just before CreateProcessW) and
// "exit_s=..." (until the process had ended after the close request).
#include "foundation/Platform.h"

#include "bench/Clock.h"
#include "foundation/ScopedHandle.h"

#include <cstdio>
#include <cwchar>

namespace {

const DWORD kFindLimitMs = 60000;
const DWORD kExitLimitMs = 15000;

struct Search {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* caption;
    const wchar_t* child;
    HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter)
{
    Search* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    wchar_t text[256];
    if (GetClassNameW(window, text, 256) == 0 || std::wcscmp(text, search->className) != 0)
        return TRUE;
    text[0] = 0;
    GetWindowTextW(window, text, 256);
    if (std::wcscmp(text, search->caption) != 0)
        return TRUE;
    // Painted as well: a window shown while its thread is still busy stays blank until then.
    if (GetUpdateRect(window, nullptr, FALSE))
        return TRUE;
    if (search->child != nullptr) {
        HWND page = FindWindowExW(window, nullptr, search->className, search->child);
        if (page == nullptr || !IsWindowVisible(page) || GetUpdateRect(page, nullptr, FALSE))
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: bench_firstwindow PROGRAM CLASS CAPTION [CHILD]\n");
        return 2;
    }
    // CreateProcessW may write into the command line.
    wchar_t commandLine[1024];
    if (std::swprintf(commandLine, 1024, L"\"%ls\"", argv[1]) < 0) {
        std::fprintf(stderr, "bench_firstwindow: program path too long\n");
        return 2;
    }
    Search search = {0, argv[2], argv[3], argc == 5 ? argv[4] : nullptr, nullptr};

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const double start = Now();
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "bench_firstwindow: CreateProcessW failed (%lu)\n", GetLastError());
        return 1;
    }
    const ScopedKernelHandle program(process.hProcess);
    const ScopedKernelHandle mainThread(process.hThread);
    search.processId = process.dwProcessId;

    int result = 1;
    double found = 0;
    const DWORD began = GetTickCount();
    while (GetTickCount() - began < kFindLimitMs) {
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            found = Now();
            break;
        }
        if (WaitForSingleObject(program.get(), 1) == WAIT_OBJECT_0)
            break;     // ended without showing the window
    }

    if (search.found != nullptr) {
        PostMessageW(search.found, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(program.get(), kExitLimitMs) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(program.get(), &code);
            std::printf("window_s=%.6f\nexit_s=%.6f\nexit_code=%lu\n", found - start, Now() - start, code);
            result = 0;
        } else {
            std::fprintf(stderr, "bench_firstwindow: the program did not end after WM_CLOSE\n");
        }
    } else {
        std::fprintf(stderr, "bench_firstwindow: no visible window found\n");
    }
    // A program that did not end on its own within the limits is stopped, so no run hangs.
    if (WaitForSingleObject(program.get(), 0) != WAIT_OBJECT_0) {
        TerminateProcess(program.get(), 1);
        WaitForSingleObject(program.get(), kExitLimitMs);
    }
    std::fflush(stdout);
    return result;
}
