#pragma once
#include <memory>

#include "archive/BlockStreamer.h"
#include "foundation/WString.h"

class ByteStream;
class ResourceBuffer;
namespace ArchiveFormat {
struct Record;
}

// The install archive read in caller-owned memory. Content from Get points into the one
// cached block: valid until a Get needs another block or the archive is destroyed.
class Archive {
public:
    Archive();

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
    // Writes the entry's content to out. A large block (IsLargeBlock) is never held
    // whole: it goes through the BlockStreamer, whose stream stays open for the entries that
    // follow in the block, so writing a block's entries in order inflates it once. *outFailed
    // tells a failure of out (its own error recorded) from one of the archive.
    HRESULT WriteEntry(const Entry& entry, ByteStream* out, bool* outFailed);
    // How WriteEntry will serve an entry, as PrepareEntry finds it.
    struct Preparation {
        bool streamed;      // a large block, whose check comes only at its stream's end
        bool endsBlock;     // streamed, and its last bytes are the block's: WriteEntry runs the check
    };
    // Before anything is written for an entry: a small block is inflated and checked into the
    // block cache now (its failure recorded), so a bad block is known before the target is
    // touched.
    HRESULT PrepareEntry(const Entry& entry, Preparation* preparation);
    // Inflates the rest of a block left open by WriteEntry, so every byte written from it has
    // passed the stream's check; "Archive.InvalidData" when it does not. WriteEntry does the
    // same before it opens another stream; an entry of a small block leaves the stream open.
    HRESULT FinishStream();
    int EntryCount() const { return entryCount_; }

private:
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool open_;
    std::unique_ptr<unsigned char[]> directory_;
    int directorySize_;
    const unsigned char* source_;
    int entryCount_;
    int dataEnd_;            // end of the block part: start of D
    std::unique_ptr<unsigned char[]> blockCache_;
    int blockCacheSize_;     // allocated size of the block cache (kept for the next block)
    int currentBlock_;       // block in the cache, -1 when none
    int blockContent_;       // content size of the cached block
    // Name lookup table built at Open: directory positions + 1 of the first record of each
    // name (0 = free slot), so Get does not walk the whole directory for every file of a
    // long list. Without it (allocation failed) Get walks the records.
    std::unique_ptr<int[]> nameIndex_;
    int nameIndexMask_;
    int indexedRecords_;     // records that decode before the directory ends
    BlockStreamer streamer_;

    void BuildNameIndex();
    HRESULT FindEntry(const WString& name, Entry* entry);
    bool FindRecord(const WString& name, int* position, bool* directoryCut) const;
    HRESULT LoadBlock(const ArchiveFormat::Record& record);
    // For an entry outside the cached block: whether its block is large (streamed).
    HRESULT LocateLarge(const Entry& entry, bool* large, BlockStreamer::Block* block);
    // PrepareEntry's work; *block is set when the entry is streamed.
    HRESULT Prepare(const Entry& entry, Preparation* preparation, BlockStreamer::Block* block);
};

// Opens archive over the install archive the executable carries (resource "RESOURCES" of
// type "KZ"), which resource holds; either failure is recorded. resource holds no data when
// the resource itself is missing.
HRESULT OpenEmbeddedArchive(ResourceBuffer& resource, Archive& archive);

// Version text of the product in the embedded archive (CR and LF dropped).
HRESULT GetPackagedVersion(WString* version);
