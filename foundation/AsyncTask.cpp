#include "foundation/AsyncTask.h"

#include "foundation/PlatformError.h"

AsyncTask::AsyncTask()
    : thread_(nullptr), result_(0), position_(0), range_(1)
{
    InitializeCriticalSection(&lock_);
}

AsyncTask::~AsyncTask()
{
    // A task is destroyed only while no worker runs (in its own "End" handler or after a
    // failed Start), so nothing waits here.
    DeleteCriticalSection(&lock_);
}

HRESULT AsyncTask::Start()
{
    if (thread_ != nullptr) {
        PlatformError::SetError(nullptr, L"AsyncTask.AlreadyStarted");
        return E_FAIL;
    }
    // Created suspended so that the handle is stored before the worker can clear it.
    HANDLE thread = CreateThread(nullptr, 0, WorkerProc, this, CREATE_SUSPENDED, nullptr);
    if (thread == nullptr) {
        PlatformError::SetSystemError();
        PlatformError::AddContext(nullptr, L"CreateThread");
        return E_FAIL;
    }
    thread_ = thread;
    // A worker at normal priority still works: a refused priority change is not a failure.
    SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL);
    if (ResumeThread(thread) == static_cast<DWORD>(-1)) {
        PlatformError::SetSystemError();
        PlatformError::AddContext(nullptr, L"ResumeThread");
        // The worker never ran a single instruction of ours.
        TerminateThread(thread, 1);
        CloseHandle(thread);
        thread_ = nullptr;
        return E_FAIL;
    }
    return S_OK;
}

DWORD WINAPI AsyncTask::WorkerProc(LPVOID parameter)
{
    AsyncTask* task = static_cast<AsyncTask*>(parameter);
    if (task == nullptr)
        return 1;
    int result = task->Run();
    // Nobody waits on the worker: it closes its own handle once the task no longer names it.
    HANDLE thread = task->thread_;
    task->thread_ = nullptr;
    task->result_ = result;
    if (thread != nullptr)
        CloseHandle(thread);
    // After this post the main thread may delete the task: nothing of it is touched again.
    task->Post("End");
    return 0;
}

int AsyncTask::SetProgress(int position, int range, const WString& step)
{
    EnterCriticalSection(&lock_);
    position_ = position;
    range_ = range;
    // A private block: reference counts are not shared across threads.
    step_ = WString(step.c_str(), step.Length());
    LeaveCriticalSection(&lock_);
    Post("Progress");
    return 0;
}

int AsyncTask::GetProgress(int* position, int* range, WString* step)
{
    EnterCriticalSection(&lock_);
    if (position != nullptr)
        *position = position_;
    if (range != nullptr)
        *range = range_;
    if (step != nullptr)
        *step = WString(step_.c_str(), step_.Length());
    LeaveCriticalSection(&lock_);
    return 0;
}
