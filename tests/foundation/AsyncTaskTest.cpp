#include "foundation/AsyncTask.h"
#include "foundation/PlatformError.h"

#include "LoopThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

class StepTask : public AsyncTask {
public:
    StepTask() : gate(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~StepTask() override { CloseHandle(gate); }

    int Run() override
    {
        ++runs;
        priority = GetThreadPriority(GetCurrentThread());
        workerThread = GetCurrentThreadId();
        SetProgress(0, 3, L"Prepare");
        if (waitForGate)
            WaitForSingleObject(gate, 10000);
        SetProgress(1, 3, WString(L"Extract"));
        SetProgress(3, 3, L"Complete");
        return 40 + runs;
    }

    HANDLE gate;
    bool waitForGate = false;
    int runs = 0;
    int priority = 0;
    DWORD workerThread = 0;
};

struct Reading {
    std::string event;
    int position;
    int range;
    std::wstring step;
    int result;
    bool running;
};

// Lives on the loop thread: starts the task there and follows its events.
class Driver : public KZ_EventListener {
public:
    explicit Driver(StepTask* task) : task_(task)
    {
        Subscribe("Go", this, &Driver::OnGo);
        task->Subscribe("Progress", this, &Driver::OnProgress);
        task->Subscribe("End", this, &Driver::OnEnd);
    }

    void OnGo(const char*, KZ_EventListener*, void*)
    {
        firstStart = task_->Start();
        if (tryStartWhileRunning) {
            secondStart = task_->Start();
            errorAfterSecond = PlatformError::GetErrorText();
            runningAfterSecond = task_->IsRunning();
            SetEvent(task_->gate);
        }
    }
    void OnProgress(const char* eventName, KZ_EventListener* publisher, void*)
    {
        EXPECT_EQ(task_, publisher);
        int position = -1, range = -1;
        WString step(L"stale");
        EXPECT_EQ(0, task_->GetProgress(&position, &range, &step));
        readings.push_back({eventName, position, range, step.c_str(), 0, task_->IsRunning()});
    }
    void OnEnd(const char* eventName, KZ_EventListener*, void*)
    {
        readings.push_back({eventName, 0, 0, L"", task_->GetResult(), task_->IsRunning()});
        if (++ends < endsWanted)
            restart = task_->Start();
        else
            PostQuitMessage(0);
    }

    StepTask* task_;
    bool tryStartWhileRunning = false;
    int endsWanted = 1;
    int ends = 0;
    HRESULT firstStart = -1;
    HRESULT secondStart = -1;
    HRESULT restart = -1;
    WString errorAfterSecond;
    bool runningAfterSecond = false;
    std::vector<Reading> readings;
};

TEST(AsyncTask, NeverStartedReportsInitialState)
{
    StepTask task;
    int position = -1, range = -1;
    WString step(L"x");
    EXPECT_EQ(0, task.GetProgress(&position, &range, &step));
    EXPECT_EQ(0, position);
    EXPECT_EQ(1, range);
    EXPECT_TRUE(step.IsEmpty());
    EXPECT_FALSE(task.IsRunning());
    EXPECT_EQ(0, task.GetResult());
    EXPECT_TRUE(task.IsKindOf("KZ_EventListener"));
}

// Checks one run's readings starting at *at: three "Progress", then "End".
void ExpectRun(const std::vector<Reading>& readings, size_t* at, int result)
{
    ASSERT_GE(readings.size(), *at + 4);
    int last = -1;
    for (int i = 0; i < 3; ++i) {
        const Reading& r = readings[*at + i];
        EXPECT_EQ("Progress", r.event);
        EXPECT_EQ(3, r.range);
        EXPECT_GE(r.position, last);      // every handler reads the newest state
        last = r.position;
    }
    // The last "Progress" was posted after the last update: it reads the final state.
    EXPECT_EQ(3, readings[*at + 2].position);
    EXPECT_EQ(L"Complete", readings[*at + 2].step);
    const Reading& end = readings[*at + 3];
    EXPECT_EQ("End", end.event);
    EXPECT_EQ(result, end.result);
    EXPECT_FALSE(end.running);
    *at += 4;
}

TEST(AsyncTask, ProgressThenEndInsideTheMainLoop)
{
    StepTask task;
    Driver driver(&task);
    LoopThread loop;
    ASSERT_TRUE(loop.Start());
    ASSERT_TRUE(driver.Post("Go"));
    EXPECT_TRUE(loop.WaitForEnd(20000));
    EXPECT_EQ(S_OK, driver.firstStart);
    EXPECT_EQ(1, task.runs);
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, task.priority);
    EXPECT_NE(loop.ThreadId(), task.workerThread);
    size_t at = 0;
    ExpectRun(driver.readings, &at, 41);
    EXPECT_EQ(at, driver.readings.size());
}

TEST(AsyncTask, StartWhileRunningFailsAndRestartAfterEndRunsAgain)
{
    StepTask task;
    task.waitForGate = true;
    Driver driver(&task);
    driver.tryStartWhileRunning = true;
    driver.endsWanted = 2;
    LoopThread loop;
    ASSERT_TRUE(loop.Start());
    ASSERT_TRUE(driver.Post("Go"));
    EXPECT_TRUE(loop.WaitForEnd(30000));

    EXPECT_EQ(S_OK, driver.firstStart);
    EXPECT_EQ(E_FAIL, driver.secondStart);
    EXPECT_TRUE(driver.errorAfterSecond == L"AsyncTask.AlreadyStarted");
    EXPECT_TRUE(driver.runningAfterSecond);
    EXPECT_EQ(S_OK, driver.restart);
    EXPECT_EQ(2, task.runs);
    size_t at = 0;
    ExpectRun(driver.readings, &at, 41);
    ExpectRun(driver.readings, &at, 42);
    EXPECT_EQ(at, driver.readings.size());
    EXPECT_EQ(42, task.GetResult());
    EXPECT_FALSE(task.IsRunning());
}

// Lives in pages of its own; a deleted task's pages are decommitted, never reused, so any
// late touch of it faults (and the fault report names the test).
class PoisonedTask : public AsyncTask {
public:
    explicit PoisonedTask(int spin) : spin_(spin) { ++live; }
    ~PoisonedTask() override { --live; }
    int Run() override
    {
        volatile int sink = 0;
        for (int i = 0; i < spin_; ++i)
            sink = sink + i;
        return 1000 + spin_;
    }
    static void* operator new(size_t size)
    {
        return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    }
    static void operator delete(void* block, size_t size)
    {
        VirtualFree(block, size, MEM_DECOMMIT);
    }
    static std::atomic<int> live;

private:
    int spin_;
};
std::atomic<int> PoisonedTask::live(0);

// On the loop thread: each task runs twice (the second start from its first "End", as Retry
// does) and is deleted in its second "End" handler; then the next task.
class Cycler : public KZ_EventListener {
public:
    Cycler() { Subscribe("Go", this, &Cycler::OnGo); }
    void OnGo(const char*, KZ_EventListener*, void*) { Next(); }
    void Next()
    {
        if (made == cycles) {
            PostQuitMessage(0);
            return;
        }
        PoisonedTask* task = new PoisonedTask(made++ % 97 * 50);
        task->Subscribe("End", this, &Cycler::OnEnd);
        if (FAILED(task->Start()))
            ++failures;
        runsOfCurrent = 1;
    }
    void OnEnd(const char*, KZ_EventListener* publisher, void*)
    {
        PoisonedTask* task = static_cast<PoisonedTask*>(publisher);
        ++ends;
        if (task->IsRunning() || task->GetResult() < 1000)
            ++failures;
        if (runsOfCurrent++ == 1) {
            if (FAILED(task->Start()))
                ++failures;
            return;
        }
        delete task;
        Next();
    }
    int cycles = 0;
    int made = 0;
    int ends = 0;
    int failures = 0;
    int runsOfCurrent = 0;
};

TEST(AsyncTask, NoTouchOfATaskOnceItIsSeenEndedOrItsEndDelivered)
{
    DWORD started = GetTickCount();
    // Without a main thread no event is queued: the main thread's side deletes each task as
    // soon as it sees it no longer running, as an owner that lets go of a task does.
    ASSERT_EQ(0u, KZ_EventListener::GetMainThread());
    for (int i = 0; i < 1000; ++i) {
        PoisonedTask* task = new PoisonedTask(i % 13 * 40);
        ASSERT_EQ(S_OK, task->Start());
        DWORD waitStart = GetTickCount();
        while (task->IsRunning()) {
            ASSERT_LT(GetTickCount() - waitStart, 10000u) << "cycle " << i;
            SwitchToThread();
        }
        // The result was stored before the running state ended.
        ASSERT_EQ(1000 + i % 13 * 40, task->GetResult()) << "cycle " << i;
        delete task;
    }

    // With a main loop: 500 tasks, each started again from its first "End" and deleted in its
    // second.
    Cycler cycler;
    cycler.cycles = 500;
    LoopThread loop;
    ASSERT_TRUE(loop.Start());
    ASSERT_TRUE(cycler.Post("Go"));
    ASSERT_TRUE(loop.WaitForEnd(60000));
    EXPECT_EQ(500, cycler.made);
    EXPECT_EQ(1000, cycler.ends);
    EXPECT_EQ(0, cycler.failures);
    // Let the last workers leave their procedure, then count.
    Sleep(100);
    EXPECT_EQ(0, PoisonedTask::live.load());
    EXPECT_LT(GetTickCount() - started, 90000u);
}

} // namespace
