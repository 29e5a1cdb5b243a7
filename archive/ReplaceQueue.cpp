#include "archive/ReplaceQueue.h"

ReplaceQueue::ReplaceQueue() : head_(0), count_(0), failed_(false), stop_(false), tried_(false)
{
    InitializeCriticalSection(&lock_);
    InitializeConditionVariable(&changed_);
}

ReplaceQueue::~ReplaceQueue()
{
    Stop();
    DeleteCriticalSection(&lock_);
}

bool ReplaceQueue::Start()
{
    if (!tried_) {
        tried_ = true;
        thread_.reset(CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, nullptr));
        if (thread_) {
            SetThreadPriority(thread_.get(), GetThreadPriority(GetCurrentThread()));
            ResumeThread(thread_.get());
        }
    }
    return static_cast<bool>(thread_);
}

DWORD WINAPI ReplaceQueue::ThreadProc(void* self)
{
    static_cast<ReplaceQueue*>(self)->Run();
    return 0;
}

void ReplaceQueue::Run()
{
    EnterCriticalSection(&lock_);
    for (;;) {
        while (!stop_ && (count_ == 0 || failed_))
            SleepConditionVariableCS(&changed_, &lock_, INFINITE);
        if (stop_)
            break;
        // The worker fills only free slots: the head is this thread's until it is released.
        TargetFile& file = files_[head_];
        LeaveCriticalSection(&lock_);
        const bool done = file.Commit();
        EnterCriticalSection(&lock_);
        if (done) {
            head_ = (head_ + 1) % kSlots;
            --count_;
        } else {
            failed_ = true;
        }
        WakeAllConditionVariable(&changed_);
    }
    LeaveCriticalSection(&lock_);
}

bool ReplaceQueue::Push(TargetFile& file, const WString& name)
{
    EnterCriticalSection(&lock_);
    while (count_ == kSlots && !failed_)
        SleepConditionVariableCS(&changed_, &lock_, INFINITE);
    const bool open = !failed_;
    if (open) {
        const int slot = (head_ + count_) % kSlots;
        files_[slot].TakeOver(file);
        names_[slot] = name;
        ++count_;
        WakeAllConditionVariable(&changed_);
    }
    LeaveCriticalSection(&lock_);
    if (!open)
        file.Discard();
    return open;
}

bool ReplaceQueue::Drain()
{
    EnterCriticalSection(&lock_);
    while (count_ > 0 && !failed_)
        SleepConditionVariableCS(&changed_, &lock_, INFINITE);
    const bool done = !failed_;
    LeaveCriticalSection(&lock_);
    return done;
}

bool ReplaceQueue::Failed()
{
    EnterCriticalSection(&lock_);
    const bool failed = failed_;
    LeaveCriticalSection(&lock_);
    return failed;
}

void ReplaceQueue::Stop()
{
    if (thread_) {
        EnterCriticalSection(&lock_);
        stop_ = true;
        WakeAllConditionVariable(&changed_);
        LeaveCriticalSection(&lock_);
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
    }
    tried_ = true;
    // What was given and not put in place: its temporary files go, the targets stay as they were.
    for (int i = failed_ ? 1 : 0; i < count_; ++i)
        files_[(head_ + i) % kSlots].Discard();
    count_ = failed_ ? 1 : 0;
}
