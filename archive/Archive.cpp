#include "archive/Archive.h"

#include <cstring>
#include <new>
#include <zlib.h>

#include "archive/ArchiveFormat.h"
#include "archive/ByteStream.h"
#include "archive/ResourceBuffer.h"
#include "foundation/PlatformError.h"
#include "foundation/ProductDefinition.h"

namespace {

HRESULT Fail(const wchar_t* key)
{
    PlatformError::SetError(nullptr, key);
    return E_FAIL;
}

} // namespace

Archive::Archive()
    : open_(false), directorySize_(0), source_(nullptr), entryCount_(0), dataEnd_(0), blockCacheSize_(0),
      currentBlock_(-1), blockContent_(0), nameIndexMask_(-1), indexedRecords_(0)
{
}

namespace {

// FNV-1a over the UTF-16LE bytes of a name.
unsigned int HashName(const unsigned char* bytes, size_t count)
{
    unsigned int hash = 2166136261u;
    for (size_t i = 0; i < count; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

} // namespace

void Archive::BuildNameIndex()
{
    ArchiveFormat::Record record;
    int64_t position = 0;
    int records = 0;
    while (records < entryCount_ && ArchiveFormat::DecodeRecord(directory_.get(), directorySize_, &position, &record))
        ++records;
    indexedRecords_ = records;

    // At most half full, so every probe ends at a free slot soon.
    int64_t slots = 16;
    while (slots < 2 * static_cast<int64_t>(records))
        slots *= 2;
    nameIndex_.reset(new (std::nothrow) int[static_cast<size_t>(slots)]);
    if (!nameIndex_)
        return;     // Get walks the directory instead
    std::memset(nameIndex_.get(), 0, static_cast<size_t>(slots) * sizeof(int));
    nameIndexMask_ = static_cast<int>(slots - 1);

    position = 0;
    for (int k = 0; k < records; ++k) {
        const int start = static_cast<int>(position);
        ArchiveFormat::DecodeRecord(directory_.get(), directorySize_, &position, &record);
        const size_t bytes = static_cast<size_t>(record.nameUnits) * 2;
        for (unsigned int slot = HashName(record.name, bytes) & nameIndexMask_;; slot = (slot + 1) & nameIndexMask_) {
            if (nameIndex_[slot] == 0) {
                nameIndex_[slot] = start + 1;
                break;
            }
            int64_t other = nameIndex_[slot] - 1;
            ArchiveFormat::Record existing;
            ArchiveFormat::DecodeRecord(directory_.get(), directorySize_, &other, &existing);
            if (existing.nameUnits == record.nameUnits && std::memcmp(existing.name, record.name, bytes) == 0)
                break;      // an earlier record of the same name wins
        }
    }
}

bool Archive::FindRecord(const WString& name, int* position, bool* directoryCut) const
{
    const int units = name.Length();
    const size_t bytes = static_cast<size_t>(units) * 2;
    // wchar_t is a UTF-16LE unit on Windows, so the stored bytes compare directly.
    const unsigned char* wanted = reinterpret_cast<const unsigned char*>(name.c_str());
    ArchiveFormat::Record record;
    *directoryCut = indexedRecords_ < entryCount_;
    if (nameIndex_) {
        for (unsigned int slot = HashName(wanted, bytes) & nameIndexMask_; nameIndex_[slot] != 0;
             slot = (slot + 1) & nameIndexMask_) {
            int64_t at = nameIndex_[slot] - 1;
            ArchiveFormat::DecodeRecord(directory_.get(), directorySize_, &at, &record);
            if (record.nameUnits == units && std::memcmp(record.name, wanted, bytes) == 0) {
                *position = nameIndex_[slot] - 1;
                return true;
            }
        }
        return false;
    }
    int64_t at = 0;
    for (int k = 0; k < indexedRecords_; ++k) {
        const int start = static_cast<int>(at);
        ArchiveFormat::DecodeRecord(directory_.get(), directorySize_, &at, &record);
        if (record.nameUnits == units && std::memcmp(record.name, wanted, bytes) == 0) {
            *position = start;
            return true;
        }
    }
    return false;
}

HRESULT Archive::Open(const void* data, int size)
{
    if (open_)
        return Fail(L"Archive.AlreadyOpen");
    if (data == nullptr || size == 0)
        return Fail(L"Archive.EmptyBuffer");

    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    ArchiveFormat::Trailer trailer;
    if (size < 0 || !ArchiveFormat::DecodeTrailer(bytes, size, &trailer))
        return Fail(L"Archive.InvalidData");
    // A directory size no stream of Z bytes can reach is refused before it is allocated.
    if (!ArchiveFormat::PlausibleInflatedSize(trailer.streamSize, trailer.directorySize))
        return Fail(L"Archive.InvalidData");

    std::unique_ptr<unsigned char[]> directory(new (std::nothrow) unsigned char[static_cast<size_t>(trailer.directorySize)]);
    if (!directory)
        return Fail(L"OutOfMemory");
    uLongf produced = static_cast<uLongf>(trailer.directorySize);
    const int result = uncompress(directory.get(), &produced, bytes + trailer.streamOffset,
                                  static_cast<uLong>(trailer.streamSize));
    if (result != Z_OK || produced != static_cast<uLongf>(trailer.directorySize))
        return Fail(L"Archive.InvalidData");

    directory_ = std::move(directory);
    directorySize_ = trailer.directorySize;
    entryCount_ = trailer.entryCount;
    source_ = bytes;
    dataEnd_ = static_cast<int>(trailer.streamOffset - 8);
    BuildNameIndex();
    open_ = true;
    return S_OK;
}

HRESULT Archive::FindEntry(const WString& name, Entry* entry)
{
    int position = 0;
    bool directoryCut = false;
    if (!FindRecord(name, &position, &directoryCut)) {
        // A name not among the records before the directory ends may be in the part cut off.
        return Fail(directoryCut ? L"Archive.InvalidData" : L"Archive.NotFound");
    }
    ArchiveFormat::Record record;
    int64_t at = position;
    ArchiveFormat::DecodeRecord(directory_.get(), directorySize_, &at, &record);
    if (record.block < 0)
        return Fail(L"Archive.NotFound");
    entry->block = record.block;
    entry->offset = record.offset;
    entry->storedLength = record.storedLength;
    return S_OK;
}

HRESULT Archive::Get(const WString& name, const void** content, int* length)
{
    if (content != nullptr)
        *content = nullptr;
    if (length != nullptr)
        *length = 0;
    if (!open_)
        return Fail(L"Archive.NotOpen");
    Entry entry;
    if (FindEntry(name, &entry) != S_OK)
        return E_FAIL;
    const ArchiveFormat::Record record = {nullptr, 0, entry.block, entry.offset, entry.storedLength};
    if (LoadBlock(record) != S_OK)
        return E_FAIL;
    if (content != nullptr)
        *content = blockCache_.get() + record.offset + ArchiveFormat::kStoredPrefixSize;
    if (length != nullptr)
        *length = record.storedLength - ArchiveFormat::kStoredPrefixSize;
    return S_OK;
}

// Brings the record's block into the block cache whole, unless it is there already.
HRESULT Archive::LoadBlock(const ArchiveFormat::Record& record)
{
    if (record.block == currentBlock_)
        return ArchiveFormat::RecordFitsBlock(record, blockContent_) ? S_OK : Fail(L"Archive.InvalidData");
    ArchiveFormat::BlockHeader header;
    if (!ArchiveFormat::LocateBlock(source_, dataEnd_, record.block, &header) ||
        !ArchiveFormat::RecordFitsBlock(record, header.contentSize))
        return Fail(L"Archive.InvalidData");
    currentBlock_ = -1;
    if (header.contentSize > blockCacheSize_) {
        blockCacheSize_ = 0;
        blockCache_.reset();    // freed first: two large blocks are never held at once
        blockCache_.reset(new (std::nothrow) unsigned char[static_cast<size_t>(header.contentSize)]);
        if (!blockCache_)
            return Fail(L"OutOfMemory");
        blockCacheSize_ = header.contentSize;
    }
    uLongf produced = static_cast<uLongf>(header.contentSize);
    const int result = uncompress(blockCache_.get(), &produced, source_ + header.offset + ArchiveFormat::kBlockHeaderSize,
                                  static_cast<uLong>(header.compressedSize));
    if (result != Z_OK || produced != static_cast<uLongf>(header.contentSize))
        return Fail(L"Archive.InvalidData");
    currentBlock_ = record.block;
    blockContent_ = header.contentSize;
    return S_OK;
}

HRESULT Archive::Find(const WString& name, Entry* entry)
{
    entry->block = -1;
    entry->offset = 0;
    entry->storedLength = 0;
    if (!open_)
        return Fail(L"Archive.NotOpen");
    return FindEntry(name, entry);
}

HRESULT Archive::LocateLarge(const Entry& entry, bool* large, BlockStreamer::Block* block)
{
    const ArchiveFormat::Record record = {nullptr, 0, entry.block, entry.offset, entry.storedLength};
    ArchiveFormat::BlockHeader header;
    if (!ArchiveFormat::LocateBlock(source_, dataEnd_, entry.block, &header) ||
        !ArchiveFormat::RecordFitsBlock(record, header.contentSize))
        return Fail(L"Archive.InvalidData");
    *large = IsLargeBlock(header.contentSize);
    block->index = entry.block;
    block->compressed = source_ + header.offset + ArchiveFormat::kBlockHeaderSize;
    block->compressedSize = header.compressedSize;
    block->contentSize = header.contentSize;
    return S_OK;
}

HRESULT Archive::WriteEntry(const Entry& entry, ByteStream* out, bool* outFailed)
{
    *outFailed = false;
    Preparation preparation;
    BlockStreamer::Block block;
    if (Prepare(entry, &preparation, &block) != S_OK)
        return E_FAIL;
    // RecordFitsBlock held: both ends lie inside the block's content, so they fit an int.
    if (preparation.streamed)
        return streamer_.Write(block, entry.offset + ArchiveFormat::kStoredPrefixSize,
                               entry.offset + entry.storedLength, out, outFailed);
    // A small block, or one cached already: written from the block cache as Get serves it.
    if (out->WriteBuffer(blockCache_.get() + entry.offset + ArchiveFormat::kStoredPrefixSize,
                         entry.storedLength - ArchiveFormat::kStoredPrefixSize) != S_OK) {
        *outFailed = true;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT Archive::PrepareEntry(const Entry& entry, Preparation* preparation)
{
    BlockStreamer::Block block;
    return Prepare(entry, preparation, &block);
}

HRESULT Archive::Prepare(const Entry& entry, Preparation* preparation, BlockStreamer::Block* block)
{
    preparation->streamed = false;
    preparation->endsBlock = false;
    if (!open_)
        return Fail(L"Archive.NotOpen");
    if (entry.block != currentBlock_) {
        bool large = false;
        if (LocateLarge(entry, &large, block) != S_OK)
            return E_FAIL;
        if (large) {
            preparation->streamed = true;
            preparation->endsBlock = entry.offset + entry.storedLength == block->contentSize;
            return S_OK;
        }
    }
    const ArchiveFormat::Record record = {nullptr, 0, entry.block, entry.offset, entry.storedLength};
    return LoadBlock(record);
}

HRESULT Archive::FinishStream()
{
    return streamer_.Finish();
}

HRESULT OpenEmbeddedArchive(ResourceBuffer& resource, Archive& archive)
{
    if (resource.Open(L"RESOURCES", L"KZ") != S_OK)
        return E_FAIL;
    return archive.Open(resource.Data(), resource.Remaining());
}

HRESULT GetPackagedVersion(WString* version)
{
    if (version == nullptr)
        return E_FAIL;
    version->Clear();

    ResourceBuffer resource;
    Archive archive;
    if (OpenEmbeddedArchive(resource, archive) != S_OK)
        return E_FAIL;
    const WString path = ProductDefinition::GetVersionFile();
    if (path.IsEmpty())
        return E_FAIL;
    const void* content = nullptr;
    int length = 0;
    if (archive.Get(path, &content, &length) != S_OK || length == 0)
        return E_FAIL;

    // The text converts into at most 4096 units: keep one byte more than that, so a longer
    // text still fails the conversion as a whole instead of being cut.
    const int kKeep = 4097;
    char text[kKeep];
    int kept = 0;
    const char* bytes = static_cast<const char*>(content);
    for (int i = 0; i < length && kept < kKeep; ++i) {
        if (bytes[i] == 0)
            break;
        if (bytes[i] == '\r' || bytes[i] == '\n')
            continue;
        text[kept++] = bytes[i];
    }
    if (kept > 0)
        *version = FromMultiByte(text, kept, CP_ACP);
    // A text that does not convert (too long, nothing but line breaks) is no version.
    if (version->IsEmpty()) {
        PlatformError::SetError(nullptr, L"Archive.InvalidVersion");
        return E_FAIL;
    }
    return S_OK;
}
