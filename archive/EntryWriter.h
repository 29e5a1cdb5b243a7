#pragma once
#include "archive/ReplaceQueue.h"
#include "archive/TargetFile.h"
#include "foundation/WStringArray.h"

// The worker's side of writing the extracted files, whichever way their bytes come: each file
// through the one writer (TargetFile), and every failure recorded here, naming the file. A
// small block's file is complete once written; a large block's files wait for the block's
// check (Keep), then replace their targets in list order (CommitKept) or are removed. A file
// that replaces another, and a staged or kept one, is put in place through the queue, in list
// order, while the next files are written (at once when the queue's thread cannot be had).
class EntryWriter {
public:
    explicit EntryWriter(const WString& installFolder);
    // Files kept and not committed are removed.
    ~EntryWriter();

    // Opens the target of an entry name, making its folder first.
    HRESULT Open(const WString& name);
    HRESULT Write(const void* data, long long size);
    // Puts a small block's file in place.
    HRESULT Commit();
    // Ends a large block's file, to be committed once the block's check has passed.
    HRESULT Keep();
    // Removes the file being written (its block failed).
    void Abandon() { file_.Discard(); }
    // The block's check has passed: each kept file replaces its target, in list order.
    HRESULT CommitKept();
    // The check failed, or the extraction stopped before it: no unchecked byte replaces a file.
    void DiscardKept();
    // Moves a file the stager wrote and finished over the target of name.
    HRESULT Place(const WString& staged, const WString& name);
    // Waits for the queue's files and joins its thread: a failure among them comes first in
    // list order, so it replaces whatever was recorded after it. Call it on every path.
    HRESULT Settle();

    // The target of an entry name; its folder made sure of.
    WString TargetOf(const WString& name);

private:
    EntryWriter(const EntryWriter&) = delete;
    EntryWriter& operator=(const EntryWriter&) = delete;

    HRESULT Fail() { return Fail(file_, name_); }
    HRESULT Fail(const TargetFile& file, const WString& name);
    // Puts file in place after the files before it; the queue's failure is recorded if it has
    // one. Only a file still to be flushed (`flushes`) is worth starting the queue for.
    HRESULT Put(TargetFile& file, const WString& name, bool flushes);

    const WString& installFolder_;
    // The folder made sure of for the previous file: a list runs folder by folder, so most
    // files need no look at the disk for their folder.
    WString madeFolder_;
    TargetFile file_;
    WString name_;
    bool replacedLast_ = false;  // the previous file replaced one
    WStringArray kept_;         // files written (temporary, or the target itself when it was new)
    WStringArray keptTargets_;
    WStringArray keptNames_;
    ReplaceQueue queue_;
};
