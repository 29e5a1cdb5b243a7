#pragma once
#include "archive/InflatePipeline.h"
#include "foundation/WString.h"
#include "foundation/WStringArray.h"

// Inflates one large block on a thread of its own and writes a run of its entries to new
// temporary files, each in the nearest folder of its target that already exists below the
// install folder; the extraction moves them over their targets in list order once the run is
// done. Nothing is recorded in the error record: a run that fails removes what it wrote and
// the extraction writes it again itself, recording what fails as it would have anyway.
class BlockStager {
public:
    struct Block {
        const unsigned char* compressed;
        long long compressedSize;
        int contentSize;
    };
    typedef bool (*StopTest)(void* context);

    // window: kInflateWindow bytes, the stager's own. rootLength: length of the install
    // folder at the start of every target, which the temporary files never go above.
    BlockStager(unsigned char* window, int rootLength, StopTest stopping, void* context);

    // A folder below the install folder that exists already holds the target's temporary file.
    bool HasFolder(const WString& target) const;
    // Writes entries[first..end) (ascending, inside the block) to new temporary files for
    // targets[first..end), appended to *temporaries in order, and runs the stream to its check.
    // False, with every file of the run removed and *temporaries left empty, when anything
    // failed or a stop was asked for.
    bool Stage(const Block& block, const InflatePipeline::Entry* entries, const WStringArray& targets, int first,
               int end, WStringArray* temporaries);

private:
    BlockStager(const BlockStager&) = delete;
    BlockStager& operator=(const BlockStager&) = delete;

    // The folder part of target for its temporary file; empty when none exists.
    WString StagingFolder(const WString& target) const;
    bool Run(const Block& block, const InflatePipeline::Entry* entries, const WStringArray& targets, int first,
             int end, WStringArray* temporaries);

    unsigned char* window_;
    int rootLength_;
    StopTest stopping_;
    void* context_;
};
