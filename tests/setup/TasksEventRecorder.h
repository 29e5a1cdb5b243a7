#pragma once
// Follows a task from the main loop the way the wizard does: records every "Progress" state
// read in its handler and every "End", and ends the loop after the expected number of ends.
#include "foundation/AsyncTask.h"

#include <functional>
#include <string>
#include <vector>

namespace tasks {

class EventRecorder : public KZ_EventListener {
public:
    explicit EventRecorder(AsyncTask* task, int endsBeforeQuit = 1) : task_(task), endsBeforeQuit_(endsBeforeQuit)
    {
        task->Subscribe("Progress", this, &EventRecorder::OnProgress);
        task->Subscribe("End", this, &EventRecorder::OnEnd);
    }

    void OnProgress(const char*, KZ_EventListener* publisher, void*)
    {
        int position = -1, range = -1;
        WString step;
        task_->GetProgress(&position, &range, &step);
        positions.push_back(position);
        ranges.push_back(range);
        steps.push_back(step.IsEmpty() ? std::wstring() : std::wstring(step.c_str()));
        publishers.push_back(publisher);
        if (onProgress)
            onProgress();
    }

    void OnEnd(const char*, KZ_EventListener* publisher, void*)
    {
        results.push_back(task_->GetResult());
        runningAtEnd.push_back(task_->IsRunning());
        publishers.push_back(publisher);
        if (onEnd)
            onEnd();
        if (static_cast<int>(results.size()) >= endsBeforeQuit_)
            PostQuitMessage(0);
    }

    // Positions posted so far with consecutive repeats folded (quick updates may repeat).
    std::vector<int> DistinctPositions() const
    {
        std::vector<int> distinct;
        for (int p : positions)
            if (distinct.empty() || distinct.back() != p)
                distinct.push_back(p);
        return distinct;
    }

    std::vector<int> positions;
    std::vector<int> ranges;
    std::vector<std::wstring> steps;
    std::vector<int> results;
    std::vector<bool> runningAtEnd;
    std::vector<KZ_EventListener*> publishers;
    std::function<void()> onProgress;
    std::function<void()> onEnd;

private:
    AsyncTask* task_;
    int endsBeforeQuit_;
};

// Waits (bounded) until a task's worker has finished, so that it may be deleted.
inline bool WaitUntilIdle(AsyncTask* task, DWORD timeoutMs = 30000)
{
    DWORD start = GetTickCount();
    while (task->IsRunning() && GetTickCount() - start < timeoutMs)
        Sleep(20);
    if (task->IsRunning())
        return false;
    // The worker posts "End" right after it stops naming its thread.
    Sleep(50);
    return true;
}

} // namespace tasks
