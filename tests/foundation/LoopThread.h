#pragma once
#include "foundation/KZ_EventListener.h"

// Runs KZ_EventListener::RunMainLoop on a thread of its own, as the program's main thread.
class LoopThread {
public:
    LoopThread();
    ~LoopThread();
    // Starts the loop and waits (bounded) until it is the main thread.
    bool Start();
    // Waits (bounded) for the loop to end by itself; false when it had to be stopped.
    bool WaitForEnd(DWORD milliseconds);
    // Asks the loop to end and waits for it.
    bool Quit();
    DWORD ThreadId() const { return threadId_; }

private:
    static DWORD WINAPI Proc(LPVOID parameter);
    HANDLE thread_;
    DWORD threadId_;
};
