/* The stack-protector's guard value and its failure handler. gcc's libssp would provide them,
 * but its start-up seeds the guard through CryptAcquireContext, which loads three crypto
 * libraries into every process before the first window: tens of milliseconds of start-up.
 * The guard here is made as Windows compilers make their security cookie, from values that
 * differ from one process start to the next (time, process and thread, counters and a stack
 * address under ASLR). This file itself is built without the protector: it changes the guard. */
#include <windows.h>

#include <stdint.h>

uintptr_t __stack_chk_guard = (uintptr_t)0x2B992DDFA232ULL;

static uintptr_t Mix(uintptr_t value, unsigned long long more)
{
    value ^= (uintptr_t)more;
    if (sizeof(uintptr_t) < sizeof(more))
        value ^= (uintptr_t)(more >> 32);
    return value * (uintptr_t)0x9E3779B97F4A7C15ULL + (value >> 7);
}

/* Runs before any constructor of the program's own code and before main: no protected frame of
 * the program is on the stack yet to see the guard change. */
__attribute__((constructor(101))) static void SeedStackGuard(void)
{
    FILETIME time;
    LARGE_INTEGER counter;
    uintptr_t guard = __stack_chk_guard;
    GetSystemTimeAsFileTime(&time);
    QueryPerformanceCounter(&counter);
    guard = Mix(guard, ((unsigned long long)time.dwHighDateTime << 32) | time.dwLowDateTime);
    guard = Mix(guard, (unsigned long long)counter.QuadPart);
    guard = Mix(guard, ((unsigned long long)GetCurrentProcessId() << 32) | GetCurrentThreadId());
    guard = Mix(guard, GetTickCount64());
    guard = Mix(guard, (uintptr_t)&time);
    /* A zero byte first stops string copies from reproducing the guard. */
    __stack_chk_guard = guard & ~(uintptr_t)0xFF;
}

/* A protected frame was overwritten: nothing of the process can be trusted any more, so it ends
 * at once without running any more of its code, as Windows ends a process whose cookie fails. */
__attribute__((noreturn)) void __stack_chk_fail(void)
{
    TerminateProcess(GetCurrentProcess(), 0xC0000409u /* STATUS_STACK_BUFFER_OVERRUN */);
    for (;;)
        ;
}
