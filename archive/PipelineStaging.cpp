#include "archive/InflatePipeline.h"

#include <new>

#include "archive/ArchiveFormat.h"
#include "archive/BlockStager.h"

// The stager's side of the pipeline: it takes the large blocks from the end of the list
// backwards until it meets the helper, each run written to temporary files that the worker
// moves over their targets in list order.

bool InflatePipeline::AwaitStaged(const Piece& piece, const WStringArray** temporaries)
{
    StagedRun& run = runs_[piece.block];
    EnterCriticalSection(&lock_);
    // The worker inflates pending small blocks meanwhile rather than wait.
    while (run.state == kStaging && !stagerEnded_) {
        if (!InflateOnePending())
            SleepConditionVariableCS(&changed_, &lock_, INFINITE);
    }
    const bool staged = run.state == kRunStaged;
    LeaveCriticalSection(&lock_);
    *temporaries = &run.temporaries;
    return staged;
}

bool InflatePipeline::Stopping(void* self)
{
    InflatePipeline* pipeline = static_cast<InflatePipeline*>(self);
    EnterCriticalSection(&pipeline->lock_);
    const bool stop = pipeline->stop_;
    LeaveCriticalSection(&pipeline->lock_);
    return stop;
}

bool InflatePipeline::Stageable(int first, int end, bool* ready) const
{
    ArchiveFormat::BlockHeader header;
    if (!ArchiveFormat::LocateBlock(source_, dataEnd_, entries_[first].block, &header) ||
        !IsLargeBlock(header.contentSize))
        return false;
    for (int i = first + 1; i < end; ++i) {
        if (entries_[i].offset < entries_[i - 1].offset + entries_[i - 1].storedLength)
            return false;
    }
    // The stager makes no folder: folders come in list order, from the worker.
    const BlockStager probe(nullptr, rootLength_, nullptr, nullptr);
    *ready = true;
    for (int i = first; i < end && *ready; ++i)
        *ready = probe.HasFolder(targets_->At(i));
    return true;
}

DWORD WINAPI InflatePipeline::StagerProc(void* self)
{
    InflatePipeline* pipeline = static_cast<InflatePipeline*>(self);
    pipeline->Stage();
    EnterCriticalSection(&pipeline->lock_);
    // Met the helper: the rest of the list is the worker's files, small blocks mostly, and
    // their inflating is taken off the worker here as on the helper.
    while (!pipeline->stop_ && !pipeline->finished_) {
        if (!pipeline->InflateOnePending())
            SleepConditionVariableCS(&pipeline->changed_, &pipeline->lock_, INFINITE);
    }
    pipeline->stagerEnded_ = true;
    WakeAllConditionVariable(&pipeline->changed_);
    LeaveCriticalSection(&pipeline->lock_);
    return 0;
}

void InflatePipeline::Stage()
{
    // The runs' starts, found from the front; the stager takes them from the back, so that the
    // worker, coming from the front, finds them done.
    const std::unique_ptr<int[]> starts(new (std::nothrow) int[static_cast<size_t>(count_) + 1]);
    if (!starts)
        return;
    int runs = 0;
    for (int i = 0; i < count_; i = RunEnd(i))
        starts[runs++] = i;
    starts[runs] = count_;
    BlockStager stager(stagerWindow_.get(), rootLength_, Stopping, this);
    int r = runs - 1;
    EnterCriticalSection(&lock_);
    // Until it meets the helper: what the helper has claimed is the helper's.
    while (!stop_ && r >= 0 && starts[r] >= claimed_) {
        const int first = starts[r];
        const int end = starts[r + 1];
        const int seen = claimed_;
        LeaveCriticalSection(&lock_);
        bool ready = false;
        const bool takes = Stageable(first, end, &ready);
        EnterCriticalSection(&lock_);
        if (!takes || claimed_ > first) {
            --r;
            continue;
        }
        if (!ready) {
            // The install folder comes with the first file: looked at again once the helper
            // moves on.
            while (!stop_ && claimed_ == seen)
                SleepConditionVariableCS(&stagerWake_, &lock_, INFINITE);
            continue;
        }
        StagedRun& run = runs_[runCount_++];
        run.first = first;
        run.end = end;
        run.state = kStaging;
        LeaveCriticalSection(&lock_);
        ArchiveFormat::BlockHeader header;
        ArchiveFormat::LocateBlock(source_, dataEnd_, entries_[first].block, &header);
        const BlockStager::Block block = {source_ + header.offset + ArchiveFormat::kBlockHeaderSize,
                                          header.compressedSize, header.contentSize};
        const bool staged = stager.Stage(block, entries_, *targets_, first, end, &run.temporaries);
        EnterCriticalSection(&lock_);
        run.state = staged ? kRunStaged : kUnstaged;
        WakeAllConditionVariable(&changed_);
        --r;
    }
    LeaveCriticalSection(&lock_);
}

