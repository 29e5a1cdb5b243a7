#include "archive/InflatePipeline.h"

#include <cstring>
#include <new>
#include <zlib.h>

#include "archive/ArchiveFormat.h"
#include "archive/BlockStager.h"
#include "archive/StreamInflate.h"

InflatePipeline::InflatePipeline()
    : source_(nullptr), dataEnd_(0), entries_(nullptr), count_(0), stop_(false), finished_(false),
      current_(0), head_(0), filled_(0), streamBlock_(-1), streamContent_(0),
      runCount_(0), targets_(nullptr), rootLength_(0), claimed_(0), stagerEnded_(true)
{
    InitializeCriticalSection(&lock_);
    InitializeConditionVariable(&changed_);
    InitializeConditionVariable(&stagerWake_);
    std::memset(slots_, 0, sizeof slots_);
    for (int i = 0; i < kSlots; ++i)
        states_[i] = kFree;
}

InflatePipeline::~InflatePipeline()
{
    Stop();
    DeleteCriticalSection(&lock_);
}

bool InflatePipeline::Start(const unsigned char* source, long long dataEnd, const Entry* entries, int count,
                           const WStringArray* targets, int rootLength)
{
    if (thread_)
        return false;
    if (!buffers_)
        buffers_.reset(new (std::nothrow) unsigned char[static_cast<size_t>(kSlots) * kInflateWindow]);
    if (!buffers_)
        return false;
    source_ = source;
    dataEnd_ = dataEnd;
    entries_ = entries;
    count_ = count;
    stop_ = false;
    finished_ = false;
    head_ = 0;
    filled_ = 0;
    for (int i = 0; i < kSlots; ++i)
        states_[i] = kFree;
    // The helper runs at the worker's priority: it is the worker's own work, done alongside.
    thread_.reset(CreateThread(nullptr, 0, HelperProc, this, CREATE_SUSPENDED, nullptr));
    if (!thread_)
        return false;
    SetThreadPriority(thread_.get(), GetThreadPriority(GetCurrentThread()));
    targets_ = targets;
    rootLength_ = rootLength;
    claimed_ = 0;
    stagerEnded_ = true;
    runCount_ = 0;
    // Without the stager's window, runs or thread the helper alone does the work, as before.
    if (targets != nullptr) {
        stagerWindow_.reset(new (std::nothrow) unsigned char[kInflateWindow]);
        runs_.reset(new (std::nothrow) StagedRun[static_cast<size_t>(count) + 1]);
    }
    if (targets != nullptr && stagerWindow_ && runs_) {
        stagerEnded_ = false;
        stager_.reset(CreateThread(nullptr, 0, StagerProc, this, CREATE_SUSPENDED, nullptr));
        if (stager_)
            SetThreadPriority(stager_.get(), GetThreadPriority(GetCurrentThread()));
        else
            stagerEnded_ = true;
    }
    ResumeThread(thread_.get());
    if (stager_)
        ResumeThread(stager_.get());
    return true;
}

const InflatePipeline::Piece& InflatePipeline::Take()
{
    EnterCriticalSection(&lock_);
    bool waited = false;
    for (;;) {
        // Once it has had to wait, the worker waits for two pieces (or the helper's end):
        // every wait costs a wake-up of each thread, and on a busy machine each wake-up waits
        // for a core.
        if (filled_ > 0 && states_[head_] == kReady &&
            (!waited || finished_ || (filled_ > 1 && states_[(head_ + 1) % kSlots] == kReady)))
            break;
        // Rather than wait, the worker inflates a small block itself: the next one it needs,
        // or one further on while the helper fills the next.
        if (InflateOnePending())
            continue;
        if (filled_ == 0 && finished_) {
            // The helper ended without a piece for this: never the case when it ran its course,
            // but the worker must not wait for ever. Served as a failure of the archive.
            Piece& slot = slots_[head_];
            slot.kind = kEnd;
            slot.status = kInvalidData;
            slot.entry = count_;
            states_[head_] = kReady;
            filled_ = 1;
            break;
        }
        SleepConditionVariableCS(&changed_, &lock_, INFINITE);
        waited = true;
    }
    const Piece& piece = slots_[head_];
    LeaveCriticalSection(&lock_);
    return piece;
}

void InflatePipeline::Release()
{
    EnterCriticalSection(&lock_);
    if (filled_ > 0) {
        if (slots_[head_].kind == kStaged)
            runs_[slots_[head_].block].temporaries.Clear();
        states_[head_] = kFree;
        head_ = (head_ + 1) % kSlots;
        --filled_;
    }
    WakeAllConditionVariable(&changed_);
    LeaveCriticalSection(&lock_);
}

bool InflatePipeline::InflateOnePending()
{
    for (int i = 0; i < filled_; ++i) {
        const int slot = (head_ + i) % kSlots;
        if (states_[slot] != kPending)
            continue;
        states_[slot] = kInflating;
        LeaveCriticalSection(&lock_);
        InflateBlock(slots_[slot]);
        EnterCriticalSection(&lock_);
        states_[slot] = kReady;
        WakeAllConditionVariable(&changed_);
        return true;
    }
    return false;
}

void InflatePipeline::InflateBlock(Piece& piece)
{
    uLongf produced = static_cast<uLongf>(piece.contentSize);
    const int result = uncompress(piece.data, &produced, piece.compressed, static_cast<uLong>(piece.compressedSize));
    piece.status = result == Z_OK && produced == static_cast<uLongf>(piece.contentSize) ? kOk : kInvalidData;
}

void InflatePipeline::Stop()
{
    if (!thread_)
        return;
    EnterCriticalSection(&lock_);
    stop_ = true;
    WakeAllConditionVariable(&changed_);
    WakeAllConditionVariable(&stagerWake_);
    LeaveCriticalSection(&lock_);
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    if (stager_)
        WaitForSingleObject(stager_.get(), INFINITE);
    stager_.reset();
    // Runs staged and never moved: the extraction stopped before them.
    for (int i = 0; i < runCount_; ++i) {
        for (int k = 0; k < runs_[i].temporaries.Count(); ++k)
            DeleteFileW(runs_[i].temporaries.At(k).c_str());
        runs_[i].temporaries.Clear();
    }
    runCount_ = 0;
}

int InflatePipeline::RunEnd(int i) const
{
    int end = i + 1;
    while (end < count_ && entries_[end].block == entries_[i].block)
        ++end;
    return end;
}

int InflatePipeline::Claim(int i, int* run)
{
    EnterCriticalSection(&lock_);
    *run = -1;
    int end = 0;
    for (int r = 0; r < runCount_; ++r) {
        if (runs_[r].first == i) {
            *run = r;
            end = runs_[r].end;
        }
    }
    if (*run < 0) {
        end = RunEnd(i);
        if (claimed_ < end) {
            claimed_ = end;
            WakeConditionVariable(&stagerWake_);
        }
    }
    LeaveCriticalSection(&lock_);
    return end;
}

DWORD WINAPI InflatePipeline::HelperProc(void* self)
{
    InflatePipeline* pipeline = static_cast<InflatePipeline*>(self);
    pipeline->Run();
    pipeline->CloseStream();
    EnterCriticalSection(&pipeline->lock_);
    // Small blocks still pending are inflated before the helper ends; the worker may take
    // some of them meanwhile.
    while (!pipeline->stop_ && pipeline->InflateOnePending()) {
    }
    pipeline->finished_ = true;
    WakeAllConditionVariable(&pipeline->changed_);
    LeaveCriticalSection(&pipeline->lock_);
    return 0;
}

InflatePipeline::Piece* InflatePipeline::BeginPiece(Kind kind, int entry)
{
    EnterCriticalSection(&lock_);
    // Once the buffers are full, the helper inflates pending small blocks, or waits until half
    // of the buffers are free: every wait costs a wake-up of each thread, and on a busy machine
    // each wake-up waits for a core.
    bool full = false;
    Piece* piece = nullptr;
    while (!stop_) {
        if (filled_ == kSlots)
            full = true;
        if (filled_ < (full ? kSlots - kBatch + 1 : kSlots)) {
            current_ = (head_ + filled_) % kSlots;
            states_[current_] = kFilling;
            ++filled_;
            piece = &slots_[current_];
            piece->data = buffers_.get() + static_cast<size_t>(current_) * kInflateWindow;
            break;
        }
        if (!InflateOnePending())
            SleepConditionVariableCS(&changed_, &lock_, INFINITE);
    }
    LeaveCriticalSection(&lock_);
    if (piece != nullptr) {
        piece->kind = kind;
        piece->status = kOk;
        piece->entry = entry;
        piece->block = -1;
        piece->contentSize = 0;
        piece->from = 0;
        piece->to = 0;
        piece->wanted = false;
        piece->compressed = nullptr;
        piece->compressedSize = 0;
    }
    return piece;
}

void InflatePipeline::Publish(bool pending)
{
    EnterCriticalSection(&lock_);
    states_[current_] = pending ? kPending : kReady;
    WakeAllConditionVariable(&changed_);
    LeaveCriticalSection(&lock_);
}

void InflatePipeline::CloseStream()
{
    stream_.stream.reset();
    streamBlock_ = -1;
}

// Runs the open stream to its end through the piece's own buffer, and publishes whether the
// block inflated whole to its size and passed its check. A failure names namedEntry.
bool InflatePipeline::CheckStream(int namedEntry)
{
    Piece* piece = BeginPiece(kCheck, namedEntry);
    if (piece == nullptr)
        return false;
    piece->block = streamBlock_;
    const bool whole = FinishStream(stream_, streamContent_, piece->data);
    piece->status = whole ? kOk : kInvalidData;
    CloseStream();
    Publish();
    return whole;
}

namespace {

// Each window of the stream is a piece of its own, published to the worker as it comes.
class PieceSink : public WindowSink {
public:
    PieceSink(InflatePipeline& pipeline, int entry, int block, int contentSize)
        : pipeline_(pipeline), entry_(entry), block_(block), contentSize_(contentSize), piece_(nullptr)
    {
    }
    unsigned char* Window() override
    {
        piece_ = pipeline_.BeginWindow(entry_);
        return piece_ != nullptr ? piece_->data : nullptr;
    }
    bool Take(long long from, int count, bool wanted) override
    {
        piece_->block = block_;
        piece_->contentSize = contentSize_;
        piece_->from = from;
        piece_->to = from + count;
        piece_->wanted = wanted;
        pipeline_.PublishWindow();
        piece_ = nullptr;
        return true;
    }
    // A window that failed to inflate: the entry's failure.
    void Failed()
    {
        if (piece_ == nullptr)
            return;
        piece_->status = InflatePipeline::kInvalidData;
        pipeline_.PublishWindow();
    }

private:
    InflatePipeline& pipeline_;
    int entry_;
    int block_;
    int contentSize_;
    InflatePipeline::Piece* piece_;
};

} // namespace

InflatePipeline::Piece* InflatePipeline::BeginWindow(int entry)
{
    return BeginPiece(kWindow, entry);
}

void InflatePipeline::PublishWindow()
{
    Publish();
}

// Publishes the stream's content up to `to` in pieces of at most kInflateWindow bytes: the
// gap before wantedFrom, then the entry's own bytes, which always get at least one piece.
bool InflatePipeline::EmitWindows(int entry, long long wantedFrom, long long to)
{
    PieceSink sink(*this, entry, streamBlock_, streamContent_);
    const WindowResult result = InflateWindows(stream_, wantedFrom, to, true, sink);
    if (result == kWindowsBadData) {
        sink.Failed();
        CloseStream();
    }
    return result == kWindowsDone;
}

void InflatePipeline::Run()
{
    int i = 0;
    int claimedEnd = 0;
    while (i < count_) {
        const Entry& entry = entries_[i];
        // Leaving a large block: its check comes before anything of the next block, and a
        // failure names the last entry written from it.
        if (stream_.stream && streamBlock_ != entry.block && !CheckStream(i - 1))
            return;
        if (i >= claimedEnd) {
            int run = -1;
            claimedEnd = Claim(i, &run);
            if (run >= 0) {
                // The stager's: the worker takes it from there, in its place in the list.
                Piece* piece = BeginPiece(kStaged, i);
                if (piece == nullptr)
                    return;
                piece->block = run;
                piece->to = claimedEnd;
                Publish();
                i = claimedEnd;
                continue;
            }
        }
        const ArchiveFormat::Record record = {nullptr, 0, entry.block, entry.offset, entry.storedLength};
        ArchiveFormat::BlockHeader header;
        const bool located = ArchiveFormat::LocateBlock(source_, dataEnd_, entry.block, &header);
        if (located && !IsLargeBlock(header.contentSize)) {
            // A small block whole, for this entry and those after it in the same block (the
            // worker checks that each lies inside it).
            Piece* piece = BeginPiece(kBlock, i);
            if (piece == nullptr)
                return;
            piece->block = entry.block;
            piece->contentSize = header.contentSize;
            piece->to = header.contentSize;
            piece->compressed = source_ + header.offset + ArchiveFormat::kBlockHeaderSize;
            piece->compressedSize = header.compressedSize;
            // Inflated by whichever thread comes to it first; a block that fails to inflate
            // stops the worker there, and what the helper put after it is never used.
            Publish(true);
            while (i < count_ && entries_[i].block == entry.block)
                ++i;
            continue;
        }
        if (!located || !ArchiveFormat::RecordFitsBlock(record, header.contentSize)) {
            Piece* piece = BeginPiece(kBlock, i);
            if (piece != nullptr) {
                piece->status = kInvalidData;
                Publish();
            }
            return;
        }
        const long long start = static_cast<long long>(entry.offset) + ArchiveFormat::kStoredPrefixSize;
        const long long end = static_cast<long long>(entry.offset) + entry.storedLength;
        // An entry before what the stream has passed: the stream is checked and read again.
        if (stream_.stream && stream_.produced > start && !CheckStream(i))
            return;
        if (!stream_.stream) {
            stream_.stream = OpenInflateStream(source_ + header.offset + ArchiveFormat::kBlockHeaderSize, header.compressedSize);
            if (!stream_.stream) {
                Piece* piece = BeginPiece(kWindow, i);
                if (piece != nullptr) {
                    piece->status = kOutOfMemory;
                    Publish();
                }
                return;
            }
            streamBlock_ = entry.block;
            streamContent_ = header.contentSize;
            stream_.produced = 0;
            stream_.ended = false;
        }
        if (!EmitWindows(i, start, end))
            return;
        // The block's last entry: its end is the stream's end, which holds the check.
        if (end == streamContent_ && !CheckStream(i))
            return;
        ++i;
    }
    if (stream_.stream && !CheckStream(count_ - 1))
        return;
    if (BeginPiece(kEnd, count_) != nullptr)
        Publish();
}
