#pragma once
#include "archive/TargetFile.h"
#include "foundation/WStringArray.h"

// The worker's side of writing the extracted files, whichever way their bytes come: each file
// through the one writer (TargetFile), and every failure recorded here, naming the file. A
// small block's file is complete once written; a large block's files wait for the block's
// check (Keep), then replace their targets in list order (CommitKept) or are removed.
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

    // The target of an entry name; its folder made sure of.
    WString TargetOf(const WString& name);

private:
    EntryWriter(const EntryWriter&) = delete;
    EntryWriter& operator=(const EntryWriter&) = delete;

    HRESULT Fail();
    HRESULT FailMove(DWORD error, const WString& target, const WString& name);

    const WString& installFolder_;
    // The folder made sure of for the previous file: a list runs folder by folder, so most
    // files need no look at the disk for their folder.
    WString madeFolder_;
    TargetFile file_;
    WString name_;
    WStringArray kept_;         // files written (temporary, or the target itself when it was new)
    WStringArray keptTargets_;
    WStringArray keptNames_;
};
