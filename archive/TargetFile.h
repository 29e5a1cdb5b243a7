#pragma once
#include "foundation/ScopedHandle.h"
#include "foundation/WString.h"

// The one way a file the setup writes reaches the disk. A target that does not exist is
// written in place, and removed if its writing fails. An existing one (read-only, hidden or
// system included) is written to a temporary file beside it ("~kz<pid>-<n>.tmp",
// archive/TemporaryFiles), flushed, and moved over it only once complete: a kill, a full disk
// or a failed write leaves the old file whole, and the moved file keeps none of the old
// attributes. It records nothing, so that any thread may write: the caller records Failed()
// and Error() (RecordTargetFailure), naming the file.
class TargetFile {
public:
    enum Step { kNone, kOpen, kWrite, kFlush, kClose, kMove };

    TargetFile() = default;
    // What was written and not committed is removed.
    ~TargetFile() { Discard(); }

    // Opens target for writing. With a staging folder (the stager's: the target's own folder
    // may not exist yet) the bytes always go to a temporary file there. likelyExists: look
    // for the target first rather than try to create it (the one call for a fresh install).
    bool Open(const WString& target, const WString& stagingFolder = WString(), bool likelyExists = false);
    bool Write(const void* data, long long size);
    // Ends the writing: a file that is to replace another is flushed first, so that after a
    // power cut the target is the old file or the new one; with flushLater, by Commit instead
    // (a large block's files wait for its check, and their flush need not hold up the worker).
    bool Finish(bool flushLater = false);
    // Puts the file in place: flushed first when it replaces one, then moved over the target
    // by its handle (a finished one is opened again for it). One written in place is closed.
    bool Commit();
    // Closes and removes what was written and not committed.
    void Discard();
    // Hands a finished file over to a later Commit (a large block's files wait for its
    // check): *written is the target itself when it was written in place.
    void Keep(WString* written);
    // Takes over other's file, open or finished, with its target and state; other is left empty.
    void TakeOver(TargetFile& other);
    // Stands for a finished temporary file that is to replace target (private copies of both),
    // flushed already or not.
    void Adopt(const WString& written, const WString& target, bool flushed);

    Step Failed() const { return failed_; }
    DWORD Error() const { return error_; }
    const WString& Target() const { return target_; }
    bool Replaces() const { return replaces_; }

private:
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    bool Fail(Step step, DWORD error);
    bool OpenTemporary(const WString& folder);
    // Moves the open temporary file over the target, taking off a read-only attribute that
    // refuses it (put back if the move fails still). ERROR_SUCCESS or the reason.
    DWORD MoveOver(HANDLE file);

    ScopedFile file_;
    WString target_;
    WString written_;       // the file being written, empty once committed or discarded
    bool replaces_ = false;
    bool flushed_ = false;      // a replacing file's flush is made (else Commit makes it)
    Step failed_ = kNone;
    DWORD error_ = ERROR_SUCCESS;
};

// Records a failure of file (the system's text, then the failed call naming the target).
void RecordTargetFailure(const TargetFile& file);
