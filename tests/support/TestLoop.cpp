#include "tests/support/TestLoop.h"

#include "foundation/KZ_EventListener.h"

namespace kztest {

namespace {

struct Watchdog {
    HANDLE done;
    DWORD thread;
    DWORD timeoutMs;
    volatile LONG fired;
};

DWORD WINAPI WatchdogProc(LPVOID parameter)
{
    Watchdog* dog = static_cast<Watchdog*>(parameter);
    if (WaitForSingleObject(dog->done, dog->timeoutMs) == WAIT_TIMEOUT) {
        InterlockedExchange(&dog->fired, 1);
        PostThreadMessageW(dog->thread, WM_QUIT, 0, 0);
    }
    return 0;
}

} // namespace

void PrepareMainThread()
{
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    KZ_EventListener::SetMainThread();
}

bool RunMainLoopFor(DWORD timeoutMs)
{
    Watchdog dog = {CreateEventW(nullptr, TRUE, FALSE, nullptr), GetCurrentThreadId(), timeoutMs, 0};
    HANDLE thread = CreateThread(nullptr, 0, WatchdogProc, &dog, 0, nullptr);
    KZ_EventListener::RunMainLoop();
    SetEvent(dog.done);
    if (thread != nullptr) {
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
    CloseHandle(dog.done);
    // The loop forgets the main thread when it ends; the next test posts to it again.
    KZ_EventListener::SetMainThread();
    return dog.fired == 0;
}

} // namespace kztest
