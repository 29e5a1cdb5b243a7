#pragma once
#include "archive/Archive.h"
#include "archive/EntryWriter.h"

// The extraction without a helper thread, and of a run the stager could not write: the worker
// inflates and writes each entry in turn, through the archive's block cache (small blocks,
// checked before their target is opened) or its block streamer (large blocks, whose files
// wait for the block's check).
class SerialExtraction {
public:
    SerialExtraction(Archive& archive, EntryWriter& writer) : archive_(archive), writer_(writer), streamBlock_(-1) {}

    HRESULT Extract(const WString& name);
    // Runs a large block left open to its check, which decides for the files written from it;
    // a failure names the last of them.
    HRESULT FinishOpenBlock();

private:
    SerialExtraction(const SerialExtraction&) = delete;
    SerialExtraction& operator=(const SerialExtraction&) = delete;

    Archive& archive_;
    EntryWriter& writer_;
    // The last file written from the large block whose stream is still open (-1: none).
    WString streamedName_;
    int streamBlock_;
};
