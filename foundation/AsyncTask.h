#pragma once
#include "foundation/KZ_EventListener.h"
#include "foundation/ScopedHandle.h"

#include <atomic>

// One job run on a worker thread of below-normal priority; reports "Progress" and "End" to
// the main thread by posted events only.
//
// Once IsRunning() has turned false the worker touches the task no more, and its "End" is
// posted after that with the task's address as a value only. A task may therefore be deleted
// once it is not running and its "End" has been delivered (or after a failed Start); deleting
// it before "End" arrives would leave that event naming a freed publisher.
class AsyncTask : public KZ_EventListener {
public:
    AsyncTask();
    ~AsyncTask() override;

    HRESULT Start();
    virtual int Run() = 0;
    // Meaningful once IsRunning() is false after a run: stored before the running state ends.
    int GetResult() const { return result_; }
    bool IsRunning() const { return running_.load(std::memory_order_acquire); }

    // Worker side: stores a private copy of step and posts "Progress".
    int SetProgress(int position, int range, const WString& step);
    // Main-thread side: private copies of the latest state.
    int GetProgress(int* position, int* range, WString* step);

private:
    static DWORD WINAPI WorkerProc(LPVOID parameter);

    // The last run's worker; owned by the main thread's side, closed by the next Start or the
    // destructor (nobody waits on it).
    ScopedKernelHandle thread_;
    std::atomic<bool> running_;
    int result_;
    CRITICAL_SECTION lock_;
    int position_;
    int range_;
    WString step_;
};
