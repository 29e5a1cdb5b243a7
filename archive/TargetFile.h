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
    // may not exist yet) the bytes always go to a temporary file there.
    bool Open(const WString& target, const WString& stagingFolder = WString());
    bool Write(const void* data, long long size);
    // Ends the writing: a file that is to replace another is flushed first, so that after a
    // power cut the target is the old file or the new one.
    bool Finish();
    // Puts a finished file in place (nothing to do for one written in place).
    bool Commit();
    // Closes and removes what was written and not committed.
    void Discard();
    // Hands a finished file over to a later Commit (a large block's files wait for its
    // check): *written is the target itself when it was written in place.
    void Keep(WString* written);

    // Moves a finished temporary file over target, taking off a read-only attribute that
    // refuses it (put back if the move fails still). False with *error set otherwise.
    static bool Replace(const WString& temporary, const WString& target, DWORD* error);

    Step Failed() const { return failed_; }
    DWORD Error() const { return error_; }
    const WString& Target() const { return target_; }
    bool Replaces() const { return replaces_; }

private:
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    bool Fail(Step step, DWORD error);
    bool OpenTemporary(const WString& folder);

    ScopedFile file_;
    WString target_;
    WString written_;       // the file being written, empty once committed or discarded
    bool replaces_ = false;
    Step failed_ = kNone;
    DWORD error_ = ERROR_SUCCESS;
};

// Records a failure of file (the system's text, then the failed call naming the target).
void RecordTargetFailure(const TargetFile& file);
