#pragma once
#include "foundation/WString.h"

class ByteStream;
struct z_stream_s;
namespace ArchiveFormat {
struct Record;
struct BlockHeader;
}

// The install archive read in caller-owned memory. Content from Get points into the one
// cached block: valid until a Get needs another block or the archive is destroyed.
class Archive {
public:
    Archive();
    virtual ~Archive();

    HRESULT Open(const void* data, int size);
    HRESULT Get(const WString& name, const void** content, int* length);

    // Where an entry's content lies, as Find reports it for WriteEntry.
    struct Entry {
        int block;
        int offset;           // of the stored form in the block's content
        int storedLength;     // content length + 4
    };
    // Looks the name up as Get does ("Archive.NotFound", "Archive.InvalidData"), inflating nothing.
    HRESULT Find(const WString& name, Entry* entry);
    // Writes the entry's content to out. A block of more than kStreamWindow bytes is never held
    // whole: it is inflated piece by piece through a window of that size, the entry's bytes
    // written as they come out, and its stream stays open for the entries that follow in the
    // block, so writing a block's entries in order inflates it once. *outFailed tells a failure
    // of out (its own error recorded) from one of the archive.
    HRESULT WriteEntry(const Entry& entry, ByteStream* out, bool* outFailed);
    // Before anything is written for an entry: a small block is inflated and checked into the
    // block cache now (its failure recorded), so a bad block is known before the target is
    // touched. *streamed tells a large block, whose check comes only at its stream's end.
    HRESULT PrepareEntry(const Entry& entry, bool* streamed);
    // Inflates the rest of a block left open by WriteEntry, so every byte written from it has
    // passed the stream's check; "Archive.InvalidData" when it does not. WriteEntry does the
    // same before it opens another stream; an entry of a small block leaves the stream open.
    HRESULT FinishStream();
    static constexpr int kStreamWindow = 256 * 1024;
    // Block whose stream WriteEntry left open for the entries that follow, -1 when none.
    int OpenStreamBlock() const { return stream_ != nullptr ? streamBlock_ : -1; }

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

    // Piecewise inflation of one large block for WriteEntry; null when none is open.
    z_stream_s* stream_;
    int streamBlock_;
    // 64-bit: a block may claim up to INT_MAX bytes, and one byte more than it claims is
    // asked for to see a stream that runs over.
    long long streamContent_;      // content size of that block
    long long streamProduced_;     // content bytes inflated so far
    bool streamEnded_;       // the stream's end (and check) has been reached
    unsigned char* window_;  // kStreamWindow bytes, kept once allocated

    void BuildNameIndex();
    HRESULT LoadBlock(const ArchiveFormat::Record& record);
    HRESULT StreamEntry(const ArchiveFormat::Record& record, const ArchiveFormat::BlockHeader& header,
                        ByteStream* out, bool* outFailed);
    int InflateWindow(int count);
    void CloseStream();
    bool FindRecord(const WString& name, int* position, bool* directoryCut) const;
};

// Version text of the product in the embedded archive (CR and LF dropped).
HRESULT GetPackagedVersion(WString* version);
// Extracts every file of the SETUP list resource listName below installFolder and writes
// installFolder\Uninstall. A helper thread inflates the next blocks while the calling thread
// writes the files of the current one (and inflates a small block itself rather than wait);
// files are written in list order on the calling thread, which alone records errors, and the
// helper is joined before the function returns. A block that fails its check never replaces
// an existing file: a small block is checked before its target is opened, a large block's
// entries replace existing targets only once its check has passed.
HRESULT ExtractResourceArchive(const WString& installFolder, const WString& listName);
// Whether an entry name is one the setup extracts: the rule the packer applies too
// (SafeName::Check), so that a name stays below the install folder and names the file it says.
bool IsSafeEntryName(const WString& name);
