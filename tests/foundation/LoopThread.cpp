#include "LoopThread.h"

LoopThread::LoopThread() : thread_(nullptr), threadId_(0) {}

LoopThread::~LoopThread()
{
    if (thread_ != nullptr) {
        Quit();
        CloseHandle(thread_);
    }
}

DWORD WINAPI LoopThread::Proc(LPVOID)
{
    return static_cast<DWORD>(KZ_EventListener::RunMainLoop());
}

bool LoopThread::Start()
{
    thread_ = CreateThread(nullptr, 0, Proc, nullptr, 0, &threadId_);
    if (thread_ == nullptr)
        return false;
    for (int i = 0; i < 500; ++i) {
        if (KZ_EventListener::GetMainThread() == threadId_)
            return true;
        Sleep(10);
    }
    return false;
}

bool LoopThread::WaitForEnd(DWORD milliseconds)
{
    if (thread_ == nullptr)
        return true;
    if (WaitForSingleObject(thread_, milliseconds) == WAIT_OBJECT_0)
        return true;
    Quit();
    return false;
}

bool LoopThread::Quit()
{
    if (thread_ == nullptr)
        return true;
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    return WaitForSingleObject(thread_, 10000) == WAIT_OBJECT_0;
}
