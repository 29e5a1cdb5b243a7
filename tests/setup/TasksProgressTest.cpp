// The generic install task followed from a real main loop: its progress steps, its end, and
// starting it again.
#include "setup/KZOrlixSetupTask.h"

#include "foundation/PlatformError.h"
#include "foundation/ProductDefinition.h"
#include "tests/ProductDefinitionReset.h"

#include "TasksEventRecorder.h"
#include "TasksTestSupport.h"

#include <gtest/gtest.h>

using namespace tasks;

namespace {

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProductDefinition();
        ProductDefinition::SetDisplayName(L"Kaze Mar Orlix Player");
        ProductDefinition::SetRegistryKeyName(L"Kaze-Mar Orlix Player");
        ProductDefinition::SetVersionFile(L"resources\\Zephyrix\\versions\\PlayerVersion.txt");
        PrepareMainThread();
        target_ = MakeTempFolder(L"progress");
        task_ = new KZOrlixSetupTask(target_.c_str(), nullptr, 0);
        task_->SetCatalog("KZOrlixPlayerSetup");
    }
    void TearDown() override
    {
        // A task whose worker still runs after a time-out is left alone rather than freed
        // under it.
        if (WaitUntilIdle(task_))
            delete task_;
        RemoveTree(target_);
    }

    std::wstring target_;
    KZOrlixSetupTask* task_ = nullptr;
};

TEST_F(ProgressTest, TheGenericTaskReportsItsStepsThenEnds)
{
    EventRecorder recorder(task_);
    ASSERT_EQ(S_OK, task_->Start());
    ASSERT_TRUE(RunMainLoopFor(30000));

    ASSERT_EQ(1u, recorder.results.size());
    EXPECT_EQ(0, recorder.results[0]);
    EXPECT_FALSE(recorder.runningAtEnd[0]);
    EXPECT_EQ((std::vector<int>{0, 1, 3}), recorder.DistinctPositions());
    for (int range : recorder.ranges)
        EXPECT_EQ(3, range);
    EXPECT_EQ(L"Prepare", recorder.steps.front());
    EXPECT_EQ(L"Complete", recorder.steps.back());
    for (KZ_EventListener* publisher : recorder.publishers)
        EXPECT_EQ(static_cast<KZ_EventListener*>(task_), publisher);
    // Every step name has its status text in the window's catalogs.
    for (const std::wstring& step : recorder.steps)
        EXPECT_NE(L"Progress." + step, std::wstring(task_->GetMessage((L"Progress." + step).c_str()).c_str()));
    // The files are there and so is the uninstall data file.
    EXPECT_TRUE(FileExists(target_ + L"\\intel_a\\Uninstall"));
}

TEST_F(ProgressTest, StartingARunningTaskFailsAndLeavesItRunning)
{
    EventRecorder recorder(task_);
    HRESULT second = S_OK;
    bool runningAfter = false;
    recorder.onProgress = [&] {
        if (recorder.positions.size() == 1) {
            second = task_->Start();
            runningAfter = task_->IsRunning();
        }
    };
    ASSERT_EQ(S_OK, task_->Start());
    ASSERT_TRUE(RunMainLoopFor(30000));

    EXPECT_EQ(E_FAIL, second);
    EXPECT_TRUE(runningAfter);
    EXPECT_EQ(L"AsyncTask.AlreadyStarted", std::wstring(PlatformError::GetErrorText().c_str()));
    // The running worker went on to its one end.
    ASSERT_EQ(1u, recorder.results.size());
    EXPECT_EQ(0, recorder.results[0]);
    EXPECT_EQ(3, recorder.positions.back());
}

TEST_F(ProgressTest, ARestartedTaskRunsAgainAndEndsTwice)
{
    EventRecorder recorder(task_, 2);
    HRESULT restart = E_FAIL;
    recorder.onEnd = [&] {
        if (recorder.results.size() == 1)
            restart = task_->Start();
    };
    ASSERT_EQ(S_OK, task_->Start());
    ASSERT_TRUE(RunMainLoopFor(60000));

    EXPECT_EQ(S_OK, restart);
    ASSERT_EQ(2u, recorder.results.size());
    EXPECT_EQ(0, recorder.results[0]);
    EXPECT_EQ(0, recorder.results[1]);
    // The second run starts again at "Prepare" over the same install directory.
    EXPECT_EQ((std::vector<int>{0, 1, 3, 0, 1, 3}), recorder.DistinctPositions());
}

} // namespace
