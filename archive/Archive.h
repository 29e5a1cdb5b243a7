#pragma once
#include "foundation/WString.h"

// The install archive read in caller-owned memory. Content from Get points into the one
// cached block: valid until a Get needs another block or the archive is destroyed.
class Archive {
public:
    Archive();
    virtual ~Archive();

    HRESULT Open(const void* data, int size);
    HRESULT Get(const WString& name, const void** content, int* length);

    int EntryCount() const { return entryCount_; }
    int CurrentBlock() const { return currentBlock_; }
    // Number of block decompressions so far (tests check the cache).
    int BlockLoads() const { return blockLoads_; }

private:
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    int mode_;
    unsigned char* directory_;
    int directorySize_;
    const unsigned char* source_;
    int sourceSize_;
    unsigned char* blockCache_;
    int currentBlock_;
    int entryCount_;
    int dataEnd_;            // end of the block part: start of D
    int blockCacheSize_;     // allocated size of the block cache (kept for the next block)
    int blockLoads_;
    int blockContent_;       // content size of the cached block
    // Name lookup table built at Open: directory positions + 1 of the first record of each
    // name (0 = free slot), so Get does not walk the whole directory for every file of a
    // long list. Without it (allocation failed) Get walks the records.
    int* nameIndex_;
    int nameIndexMask_;
    int indexedRecords_;     // records that decode before the directory ends

    void BuildNameIndex();
    bool FindRecord(const WString& name, int* position, bool* directoryCut) const;
};

// Version text of the product in the embedded archive (CR and LF dropped).
HRESULT GetPackagedVersion(WString* version);
// Extracts every file of the SETUP list resource listName below installFolder and writes
// installFolder\Uninstall.
HRESULT ExtractResourceArchive(const WString& installFolder, const WString& listName);
// Whether an entry name stays below the install folder (relative, no ":", no empty component,
// no component of dots and spaces alone such as "..", no device name; "/" and "\" both
// separators).
bool IsSafeEntryName(const WString& name);
