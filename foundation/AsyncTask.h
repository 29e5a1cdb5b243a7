#pragma once
#include "foundation/KZ_EventListener.h"

// One job run on a worker thread of below-normal priority; reports "Progress" and "End" to
// the main thread by posted events only.
class AsyncTask : public KZ_EventListener {
public:
    AsyncTask();
    ~AsyncTask() override;

    HRESULT Start();
    virtual int Run() = 0;
    int GetResult() const { return result_; }
    bool IsRunning() const { return thread_ != nullptr; }

    // Worker side: stores a private copy of step and posts "Progress".
    int SetProgress(int position, int range, const WString& step);
    // Main-thread side: private copies of the latest state.
    int GetProgress(int* position, int* range, WString* step);

private:
    static DWORD WINAPI WorkerProc(LPVOID parameter);

    HANDLE volatile thread_;
    int result_;
    CRITICAL_SECTION lock_;
    int position_;
    int range_;
    WString step_;
};
