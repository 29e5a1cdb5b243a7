#include "archive/ArchiveFormat.h"

// Every check below is done in 64-bit arithmetic so that hostile 32-bit values cannot wrap
// around and point back inside the buffer.

namespace ArchiveFormat {

bool DecodeTrailer(const uint8_t* archive, int64_t size, Trailer* trailer)
{
    if (archive == nullptr || trailer == nullptr || size < kTrailerSize)
        return false;
    const int64_t streamSize = ReadInt32(archive + size - 4);
    if (streamSize <= 0 || streamSize + kTrailerSize > size)
        return false;
    const int64_t streamOffset = size - 4 - streamSize;
    const int32_t directorySize = ReadInt32(archive + streamOffset - 8);
    const int32_t entryCount = ReadInt32(archive + streamOffset - 4);
    if (directorySize <= 0 || entryCount <= 0)
        return false;
    trailer->directorySize = directorySize;
    trailer->entryCount = entryCount;
    trailer->streamSize = static_cast<int32_t>(streamSize);
    trailer->streamOffset = streamOffset;
    return true;
}

bool DecodeRecord(const uint8_t* directory, int64_t size, int64_t* position, Record* record)
{
    if (directory == nullptr || position == nullptr || record == nullptr)
        return false;
    const int64_t start = *position;
    if (start < 0 || size < 0 || start > size)
        return false;
    int64_t cursor = start;
    for (;;) {
        if (cursor + 2 > size)
            return false;
        if (directory[cursor] == 0 && directory[cursor + 1] == 0)
            break;
        cursor += 2;
    }
    const int64_t fields = cursor + 2;
    if (fields + 12 > size)
        return false;
    record->name = directory + start;
    record->nameUnits = static_cast<int32_t>((cursor - start) / 2);
    record->block = ReadInt32(directory + fields);
    record->offset = ReadInt32(directory + fields + 4);
    record->storedLength = ReadInt32(directory + fields + 8);
    *position = fields + 12;
    return true;
}

bool LocateBlock(const uint8_t* archive, int64_t dataEnd, int32_t index, BlockHeader* header)
{
    if (archive == nullptr || header == nullptr || index < 0 || dataEnd < 0)
        return false;
    int64_t offset = 0;
    for (int32_t k = 0;; ++k) {
        if (offset + kBlockHeaderSize > dataEnd)
            return false;
        const int64_t compressed = ReadInt32(archive + offset);
        // A zlib stream is never empty; a zero length would also let the walk stand still.
        if (compressed <= 0 || offset + kBlockHeaderSize + compressed > dataEnd)
            return false;
        if (k == index) {
            const int32_t content = ReadInt32(archive + offset + 4);
            if (content <= 0 || !PlausibleInflatedSize(compressed, content))
                return false;
            header->offset = offset;
            header->compressedSize = static_cast<int32_t>(compressed);
            header->contentSize = content;
            return true;
        }
        offset += kBlockHeaderSize + compressed;
    }
}

bool RecordFitsBlock(const Record& record, int32_t contentSize)
{
    if (record.offset < 0 || record.storedLength < kStoredPrefixSize || contentSize < 0)
        return false;
    return static_cast<int64_t>(record.offset) + record.storedLength <= contentSize;
}

bool PlausibleInflatedSize(int64_t compressedSize, int64_t inflatedSize)
{
    if (compressedSize <= 0 || inflatedSize < 0)
        return false;
    return inflatedSize <= compressedSize * kMaxInflateRatio + kMaxInflateSlack;
}

void AppendRecord(std::vector<uint8_t>& directory, const std::u16string& name, int32_t block,
                  int32_t offset, int32_t storedLength)
{
    directory.reserve(directory.size() + 2 * name.size() + kRecordFixedSize);
    for (char16_t unit : name) {
        directory.push_back(static_cast<uint8_t>(unit & 0xFF));
        directory.push_back(static_cast<uint8_t>(unit >> 8));
    }
    directory.push_back(0);
    directory.push_back(0);
    AppendInt32(directory, block);
    AppendInt32(directory, offset);
    AppendInt32(directory, storedLength);
}

} // namespace ArchiveFormat
