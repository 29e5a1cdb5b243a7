#pragma once
// Byte layout of the install archive, shared by the setup's reader and the host packer.
// No Win32 here: the packer is built natively.
//
//   block 0 .. block B-1 | D (4) | N (4) | directory stream (Z) | Z (4)
//   block:     z (4) | u (4) | zlib stream of z bytes inflating to u bytes
//   content:   stored forms back to back: L (4) | L bytes
//   directory: N records: name (UTF-16LE + NUL unit) | block (4) | offset (4) | stored length (4)
// All integers 32-bit little-endian, read as signed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ArchiveFormat {

// A block is closed once its content holds strictly more than this many bytes.
const int32_t kBlockThreshold = 102400;
const int kBlockHeaderSize = 8;
const int kTrailerSize = 12;        // D, N before the stream and Z after it
const int kRecordFixedSize = 14;    // NUL unit + block + offset + stored length
const int kStoredPrefixSize = 4;

inline int32_t ReadInt32(const uint8_t* p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

inline void AppendInt32(std::vector<uint8_t>& out, int32_t value)
{
    uint32_t v = static_cast<uint32_t>(value);
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 24));
}

// Values found at the end of an archive of the given size, checked against that size.
struct Trailer {
    int32_t directorySize;    // D
    int32_t entryCount;       // N
    int32_t streamSize;       // Z
    int64_t streamOffset;     // where the directory stream starts
};
// False when the trailer values do not fit the archive (Z <= 0, Z + 12 > size, D or N <= 0).
bool DecodeTrailer(const uint8_t* archive, int64_t size, Trailer* trailer);

// One directory record, decoded in place. The name points into the directory bytes.
struct Record {
    const uint8_t* name;      // UTF-16LE code units, not terminated
    int32_t nameUnits;
    int32_t block;
    int32_t offset;
    int32_t storedLength;
};
// Decodes the record starting at *position of a directory of the given size and advances
// *position past it. False when the record does not fit (no NUL unit, fields cut off).
bool DecodeRecord(const uint8_t* directory, int64_t size, int64_t* position, Record* record);

// Header of block `index`, found by skipping `index` blocks from offset 0. False when any
// block on the way, or this one, does not lie inside the archive's data part.
struct BlockHeader {
    int64_t offset;           // of the block header
    int32_t compressedSize;   // z
    int32_t contentSize;      // u
};
bool LocateBlock(const uint8_t* archive, int64_t dataEnd, int32_t index, BlockHeader* header);

// True when [offset, offset + storedLength) is a stored form inside a block of contentSize.
bool RecordFitsBlock(const Record& record, int32_t contentSize);

// Whether a zlib stream of compressedSize bytes can inflate to inflatedSize bytes at all:
// deflate expands at most 1032 to 1, so a larger claim is bad data and is refused before
// anything is allocated for it.
const int64_t kMaxInflateRatio = 1032;
const int64_t kMaxInflateSlack = 64;
bool PlausibleInflatedSize(int64_t compressedSize, int64_t inflatedSize);

// Appends a record to a directory buffer.
void AppendRecord(std::vector<uint8_t>& directory, const std::u16string& name, int32_t block,
                  int32_t offset, int32_t storedLength);

} // namespace ArchiveFormat
