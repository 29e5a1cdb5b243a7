#pragma once
#include <memory>

#include "archive/StreamInflate.h"
#include "foundation/Platform.h"
#include "foundation/WStringArray.h"

// Inflates the blocks of an extraction on a helper thread, one step ahead of the worker that
// writes the files: while the worker writes the files of one block, the helper inflates the
// next block (or the next window of a large block) into a bounded set of buffers. A small
// block's slot is handed out in list order before it is inflated, so whichever thread is free
// first inflates it: the worker too, instead of waiting for the helper. A large block's
// windows come from one stream, on the helper only. Neither side records an error while
// inflating: each piece carries a status that the worker records when it comes to it, so the
// first failure is reported as the serial extraction would report it.
//
// A second thread, the stager, takes the large blocks from the end of the list backwards
// until it meets the helper: it inflates one and writes the run of its entries to temporary
// files, while the helper streams the list from the front to the worker. When the worker
// comes to a staged run it moves the files over their targets in list order (by then the
// stager is long done with it, save where the two met); a run the stager could not write is
// written by the worker itself, serially. Once they have met, the stager inflates pending
// small blocks too.
class InflatePipeline {
public:
    // One entry of the list, as Archive::Find reports it.
    struct Entry {
        int block;
        int offset;
        int storedLength;
    };
    enum Status { kOk, kInvalidData, kOutOfMemory };
    enum Kind {
        kBlock,     // a small block's whole content, for `entry` and the entries after it in that block
        kWindow,    // [from, to) of a large block's content while `entry` is written; `wanted` when
                    // those are the entry's bytes rather than a gap before it
        kCheck,     // a large block's stream was run to its end: status tells whether it passed
        kStaged,    // entries [entry, to) are the stager's run number `block`: see AwaitStaged
        kEnd,       // nothing follows
    };
    struct Piece {
        Kind kind;
        Status status;
        int entry;          // index of the entry the piece serves (kCheck: the entry a failure names)
        int block;
        int contentSize;    // of the block
        long long from;
        long long to;
        bool wanted;
        unsigned char* data;    // content from offset `from` (kBlock: from 0)
        const unsigned char* compressed;    // kBlock: the block's stream, until inflated
        long long compressedSize;
    };
    static const int kSlots = 4;
    static const int kBatch = 2;        // pieces a waiting thread waits for at once

    InflatePipeline();
    // Stops and joins the helper if it still runs.
    ~InflatePipeline();

    // Starts the helper on the entries (the array stays the caller's until Stop). False when
    // the buffers or the thread cannot be had; nothing is recorded then (the caller extracts
    // without a helper). With targets (each entry's target path, private copies for the
    // stager, the first rootLength characters the install folder) a stager starts too, when
    // it can be had.
    bool Start(const unsigned char* source, long long dataEnd, const Entry* entries, int count,
               const WStringArray* targets = nullptr, int rootLength = 0);
    // Next piece in order; waits for it. The piece stays the caller's until Release.
    const Piece& Take();
    void Release();
    // For a kStaged piece: waits for the stager's run. True when it is staged: *temporaries
    // then holds a temporary file for each of its entries, in order, to be moved over the
    // targets (what is not moved is removed at Stop). False: nothing of it is left on disk.
    bool AwaitStaged(const Piece& piece, const WStringArray** temporaries);
    // The helper's side of a window of a large block (PieceSink): a slot to fill, null when
    // stopped, then handed to the worker.
    Piece* BeginWindow(int entry);
    void PublishWindow();
    // Makes the helper and the stager stop at their next step, waits for them to end and
    // removes the temporary files of runs still held.
    void Stop();

private:
    InflatePipeline(const InflatePipeline&) = delete;
    InflatePipeline& operator=(const InflatePipeline&) = delete;

    static DWORD WINAPI HelperProc(void* self);
    void Run();
    static DWORD WINAPI StagerProc(void* self);
    void Stage();
    static bool Stopping(void* self);
    // First entry after the run of entries of entry i's block that starts at i.
    int RunEnd(int i) const;
    // Helper side, at the start of a run: the end of the stager's run starting at i (its index
    // in *run), else claims the run for the helper and returns its end (*run -1).
    int Claim(int i, int* run);
    // Stager side, without the lock: whether it can take [first, end), a large block's entries
    // in order inside it; *ready when each target has a folder already.
    bool Stageable(int first, int end, bool* ready) const;
    // A slot from its reservation in list order until the worker releases it.
    enum SlotState { kFree, kFilling, kPending, kInflating, kReady };

    // Helper side: a free slot to fill, null when stopped; Publish hands it to the worker, or
    // to whichever thread inflates it first when pending.
    Piece* BeginPiece(Kind kind, int entry);
    void Publish(bool pending = false);
    // With the lock held: claims a pending slot, inflates it without the lock, marks it ready.
    // False when no slot is pending.
    bool InflateOnePending();
    static void InflateBlock(Piece& piece);
    bool CheckStream(int namedEntry);
    bool EmitWindows(int entry, long long wantedFrom, long long to);
    void CloseStream();

    const unsigned char* source_;
    long long dataEnd_;
    const Entry* entries_;
    int count_;
    ScopedKernelHandle thread_;
    CRITICAL_SECTION lock_;
    CONDITION_VARIABLE changed_;
    bool stop_;
    bool finished_;     // the helper has returned
    Piece slots_[kSlots];
    SlotState states_[kSlots];
    int current_;   // the helper's slot between BeginPiece and Publish
    std::unique_ptr<unsigned char[]> buffers_;
    int head_;      // first piece not yet released
    int filled_;    // slots reserved and not released
    // Helper-only state of the large block being streamed.
    BlockStream stream_;
    int streamBlock_;
    int streamContent_;
    // The stager's runs in the order it took them; their files until the worker moves them.
    enum RunState { kStaging, kRunStaged, kUnstaged };
    struct StagedRun {
        int first;
        int end;
        RunState state;
        WStringArray temporaries;
    };
    std::unique_ptr<StagedRun[]> runs_;     // room for one per list entry
    int runCount_;
    ScopedKernelHandle stager_;
    // The stager waits on its own: only a claim or the stop wakes it, not every piece.
    CONDITION_VARIABLE stagerWake_;
    const WStringArray* targets_;
    int rootLength_;
    int claimed_;       // entries before this are the helper's: the stager stops there
    bool stagerEnded_;
    std::unique_ptr<unsigned char[]> stagerWindow_;
};
