#pragma once
#include "archive/TargetFile.h"

// Puts the files that replace earlier ones in place on a thread of its own, in the order they
// are given: each is flushed and moved over its target there, while the worker goes
// on writing the next files. A flush waits on the disk, and an install over an earlier one
// has one for every file. The first failure stops the queue; what follows it is removed, and
// the worker records the failure (it comes before anything the worker met after giving it).
class ReplaceQueue {
public:
    ReplaceQueue();
    // Removes what was not put in place and joins the thread.
    ~ReplaceQueue();

    // Starts the thread once; false when it runs not (the caller then commits each file itself).
    bool Start();
    bool Running() const { return static_cast<bool>(thread_); }
    // Takes over file (written, or finished by Adopt), with its entry's name. Waits while the
    // queue is full. False when a file given earlier failed: the given one is removed.
    bool Push(TargetFile& file, const WString& name);
    // Waits until every file given is in place (true) or one failed (false).
    bool Drain();
    // Whether a file given failed, without waiting.
    bool Failed();
    // After a false Drain or Push: the file that failed, and its entry's name.
    const TargetFile& Failure() const { return files_[head_]; }
    const WString& FailedName() const { return names_[head_]; }
    // Removes what was not put in place and joins the thread; Start may not follow.
    void Stop();

private:
    ReplaceQueue(const ReplaceQueue&) = delete;
    ReplaceQueue& operator=(const ReplaceQueue&) = delete;

    static DWORD WINAPI ThreadProc(void* self);
    void Run();

    static const int kSlots = 32;
    TargetFile files_[kSlots];
    WString names_[kSlots];     // touched by the worker only
    int head_;                  // the file being put in place, or the failed one
    int count_;                 // files given and not yet in place
    bool failed_;
    bool stop_;
    bool tried_;
    ScopedKernelHandle thread_;
    CRITICAL_SECTION lock_;
    CONDITION_VARIABLE changed_;
};
