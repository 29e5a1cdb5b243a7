#include "foundation/AsyncTask.h"

#include "foundation/PlatformError.h"

#include <utility>

AsyncTask::AsyncTask()
    : running_(false), result_(0), position_(0), range_(1)
{
    InitializeCriticalSection(&lock_);
}

AsyncTask::~AsyncTask()
{
    // A task is destroyed only while no worker runs (after its "End", or after a failed
    // Start), so nothing waits here; the worker no longer needs its handle.
    DeleteCriticalSection(&lock_);
}

HRESULT AsyncTask::Start()
{
    if (IsRunning()) {
        PlatformError::SetError(nullptr, L"AsyncTask.AlreadyStarted");
        return E_FAIL;
    }
    thread_.reset();
    // Created suspended so that the task is marked running before the worker can end.
    ScopedKernelHandle thread(CreateThread(nullptr, 0, WorkerProc, this, CREATE_SUSPENDED, nullptr));
    if (!thread) {
        PlatformError::SetSystemError();
        PlatformError::AddContext(nullptr, L"CreateThread");
        return E_FAIL;
    }
    running_.store(true, std::memory_order_release);
    // A worker at normal priority still works: a refused priority change is not a failure.
    SetThreadPriority(thread.get(), THREAD_PRIORITY_BELOW_NORMAL);
    if (ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        PlatformError::SetSystemError();
        PlatformError::AddContext(nullptr, L"ResumeThread");
        // The worker never ran a single instruction of ours.
        TerminateThread(thread.get(), 1);
        running_.store(false, std::memory_order_release);
        return E_FAIL;
    }
    thread_ = std::move(thread);
    return S_OK;
}

DWORD WINAPI AsyncTask::WorkerProc(LPVOID parameter)
{
    AsyncTask* task = static_cast<AsyncTask*>(parameter);
    if (task == nullptr)
        return 1;
    task->result_ = task->Run();
    // The last touch of the task: from here on the main thread may delete it.
    task->running_.store(false, std::memory_order_release);
    KZ_EventListener::PostFor(task, "End");
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
