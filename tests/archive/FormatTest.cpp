// The byte layout helpers, and what an archive laid down by kzpack looks like.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <zlib.h>

#include "InflateCount.h"
#include "TestSupport.h"
#include "archive/Archive.h"
#include "archive/ArchiveFormat.h"

using namespace ArchiveTest;
using ArchiveFormat::BlockHeader;
using ArchiveFormat::Record;
using ArchiveFormat::Trailer;

namespace {

std::vector<uint8_t> Trailer3(int32_t d, int32_t n, int32_t z, size_t streamBytes)
{
    std::vector<uint8_t> out;
    PutInt32(out, d);
    PutInt32(out, n);
    out.insert(out.end(), streamBytes, 0x55);
    PutInt32(out, z);
    return out;
}

std::vector<uint8_t> BlockHeaders(std::initializer_list<std::pair<int32_t, int32_t>> blocks)
{
    std::vector<uint8_t> out;
    for (const auto& block : blocks) {
        PutInt32(out, block.first);
        PutInt32(out, block.second);
        out.insert(out.end(), block.first > 0 ? static_cast<size_t>(block.first) : 0, 0xAA);
    }
    return out;
}

} // namespace

TEST(ArchiveFormatTrailer, FindsTheDirectoryFromTheEnd)
{
    std::vector<uint8_t> archive(20, 0);
    std::vector<uint8_t> tail = Trailer3(100, 3, 5, 5);
    archive.insert(archive.end(), tail.begin(), tail.end());
    Trailer trailer;
    ASSERT_TRUE(ArchiveFormat::DecodeTrailer(archive.data(), archive.size(), &trailer));
    EXPECT_EQ(100, trailer.directorySize);
    EXPECT_EQ(3, trailer.entryCount);
    EXPECT_EQ(5, trailer.streamSize);
    EXPECT_EQ(28, trailer.streamOffset);
}

TEST(ArchiveFormatTrailer, RefusesValuesThatDoNotFit)
{
    Trailer trailer;
    // Z exactly fills the archive with D and N: accepted; one more byte of Z is not.
    std::vector<uint8_t> tight = Trailer3(1, 1, 5, 5);
    EXPECT_TRUE(ArchiveFormat::DecodeTrailer(tight.data(), tight.size(), &trailer));
    tight = Trailer3(1, 1, 6, 5);
    EXPECT_FALSE(ArchiveFormat::DecodeTrailer(tight.data(), tight.size(), &trailer));
    for (int32_t z : {0, -1, INT_MIN, INT_MAX, INT_MAX - 11}) {
        std::vector<uint8_t> bad = Trailer3(1, 1, z, 5);
        EXPECT_FALSE(ArchiveFormat::DecodeTrailer(bad.data(), bad.size(), &trailer)) << z;
    }
    for (auto dn : {std::make_pair(0, 1), std::make_pair(1, 0), std::make_pair(-5, 1), std::make_pair(1, INT_MIN)}) {
        std::vector<uint8_t> bad = Trailer3(dn.first, dn.second, 5, 5);
        EXPECT_FALSE(ArchiveFormat::DecodeTrailer(bad.data(), bad.size(), &trailer));
    }
    // Shorter than a trailer: nothing is read at all.
    uint8_t small[11] = {0};
    for (int size = 0; size <= 11; ++size)
        EXPECT_FALSE(ArchiveFormat::DecodeTrailer(small, size, &trailer));
    EXPECT_FALSE(ArchiveFormat::DecodeTrailer(small, -4, &trailer));
}

TEST(ArchiveFormatRecord, DecodesInPlaceAndAdvances)
{
    std::vector<uint8_t> directory;
    ArchiveFormat::AppendRecord(directory, U16(L"ab\\c"), 2, 17, 9);
    ArchiveFormat::AppendRecord(directory, std::u16string(), 0, 0, 4);
    ASSERT_EQ(2u * 4 + 14 + 14, directory.size());

    int64_t position = 0;
    Record record;
    ASSERT_TRUE(ArchiveFormat::DecodeRecord(directory.data(), directory.size(), &position, &record));
    EXPECT_EQ(22, position);
    EXPECT_EQ(4, record.nameUnits);
    EXPECT_EQ(directory.data(), record.name);
    EXPECT_EQ(0, std::memcmp(record.name, L"ab\\c", 8));
    EXPECT_EQ(2, record.block);
    EXPECT_EQ(17, record.offset);
    EXPECT_EQ(9, record.storedLength);
    ASSERT_TRUE(ArchiveFormat::DecodeRecord(directory.data(), directory.size(), &position, &record));
    EXPECT_EQ(0, record.nameUnits);
    EXPECT_EQ(4, record.storedLength);
    EXPECT_EQ(static_cast<int64_t>(directory.size()), position);
    EXPECT_FALSE(ArchiveFormat::DecodeRecord(directory.data(), directory.size(), &position, &record));
}

TEST(ArchiveFormatRecord, RefusesCutRecords)
{
    std::vector<uint8_t> directory;
    ArchiveFormat::AppendRecord(directory, U16(L"name"), 0, 0, 4);
    Record record;
    // Every cut before the end leaves the record incomplete.
    for (size_t size = 0; size < directory.size(); ++size) {
        int64_t position = 0;
        EXPECT_FALSE(ArchiveFormat::DecodeRecord(directory.data(), size, &position, &record)) << size;
        EXPECT_EQ(0, position);
    }
    // A name that never ends.
    std::vector<uint8_t> endless(31, 'x');
    int64_t position = 0;
    EXPECT_FALSE(ArchiveFormat::DecodeRecord(endless.data(), endless.size(), &position, &record));
    // A position outside the directory.
    for (int64_t start : {int64_t(-1), int64_t(-2), int64_t(directory.size() + 1), int64_t(INT64_MAX)}) {
        position = start;
        EXPECT_FALSE(ArchiveFormat::DecodeRecord(directory.data(), directory.size(), &position, &record));
    }
}

TEST(ArchiveFormatBlocks, WalkStaysInsideTheDataPart)
{
    std::vector<uint8_t> data = BlockHeaders({{10, 100}, {3, 7}, {20, 50}});
    BlockHeader header;
    ASSERT_TRUE(ArchiveFormat::LocateBlock(data.data(), data.size(), 0, &header));
    EXPECT_EQ(0, header.offset);
    EXPECT_EQ(10, header.compressedSize);
    EXPECT_EQ(100, header.contentSize);
    ASSERT_TRUE(ArchiveFormat::LocateBlock(data.data(), data.size(), 1, &header));
    EXPECT_EQ(18, header.offset);
    ASSERT_TRUE(ArchiveFormat::LocateBlock(data.data(), data.size(), 2, &header));
    EXPECT_EQ(29, header.offset);
    EXPECT_EQ(50, header.contentSize);
    EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), data.size(), 3, &header));
    EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), data.size(), INT_MAX, &header));
    EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), data.size(), -1, &header));
    // The last block cut by one byte.
    EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), data.size() - 1, 2, &header));
    EXPECT_TRUE(ArchiveFormat::LocateBlock(data.data(), data.size() - 1, 1, &header));
}

TEST(ArchiveFormatBlocks, RefusesHostileHeaders)
{
    BlockHeader header;
    for (int32_t z : {0, -1, -8, INT_MIN, INT_MAX, INT_MAX - 7}) {
        std::vector<uint8_t> data = BlockHeaders({{4, 4}});
        data[0] = static_cast<uint8_t>(z);
        data[1] = static_cast<uint8_t>(z >> 8);
        data[2] = static_cast<uint8_t>(z >> 16);
        data[3] = static_cast<uint8_t>(z >> 24);
        data.resize(data.size() + 64, 0);
        // A bad first block hides every later one as well.
        EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), data.size(), 0, &header)) << z;
        EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), data.size(), 1, &header)) << z;
    }
    for (int32_t u : {0, -1, INT_MIN}) {
        std::vector<uint8_t> data = BlockHeaders({{4, u}});
        EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), data.size(), 0, &header)) << u;
    }
    // A content size no stream of that length can inflate to.
    std::vector<uint8_t> data = BlockHeaders({{4, 4 * 1032 + 64}});
    EXPECT_TRUE(ArchiveFormat::LocateBlock(data.data(), data.size(), 0, &header));
    data = BlockHeaders({{4, 4 * 1032 + 65}});
    EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), data.size(), 0, &header));
    data = BlockHeaders({{4, INT_MAX}});
    EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), data.size(), 0, &header));
    // Fewer than 8 bytes of header.
    EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), 7, 0, &header));
    EXPECT_FALSE(ArchiveFormat::LocateBlock(data.data(), -1, 0, &header));
}

TEST(ArchiveFormatBlocks, RecordMustFitItsBlock)
{
    Record record{nullptr, 0, 0, 0, 4};
    EXPECT_TRUE(ArchiveFormat::RecordFitsBlock(record, 4));
    EXPECT_FALSE(ArchiveFormat::RecordFitsBlock(record, 3));
    record.offset = 96;
    EXPECT_TRUE(ArchiveFormat::RecordFitsBlock(record, 100));
    EXPECT_FALSE(ArchiveFormat::RecordFitsBlock(record, 99));
    record.storedLength = 3;                       // shorter than its own length prefix
    EXPECT_FALSE(ArchiveFormat::RecordFitsBlock(record, 1000));
    record = Record{nullptr, 0, 0, -1, 5};
    EXPECT_FALSE(ArchiveFormat::RecordFitsBlock(record, 1000));
    record = Record{nullptr, 0, 0, INT_MAX, INT_MAX};  // the sum wraps in 32 bits
    EXPECT_FALSE(ArchiveFormat::RecordFitsBlock(record, INT_MAX));
    record = Record{nullptr, 0, 0, 1, INT_MAX};
    EXPECT_FALSE(ArchiveFormat::RecordFitsBlock(record, INT_MAX));
}

// ---- the layout of an archive laid down by kzpack ----------------------------------------

namespace {

struct Layout {
    std::string bytes;
    Trailer trailer;
    std::vector<uint8_t> directory;
    std::vector<Record> records;
    std::vector<int64_t> recordSizes;
    std::vector<BlockHeader> blocks;
};

const uint8_t* At(const Layout& layout, int64_t offset)
{
    return reinterpret_cast<const uint8_t*>(layout.bytes.data()) + offset;
}

void Decode(Layout* layout)
{
    layout->bytes = ResourceBytes(L"LAYOUT", L"KZTEST");
    ASSERT_FALSE(layout->bytes.empty());
    ASSERT_TRUE(ArchiveFormat::DecodeTrailer(At(*layout, 0), layout->bytes.size(), &layout->trailer));
    layout->directory.resize(layout->trailer.directorySize);
    uLongf produced = layout->directory.size();
    ASSERT_EQ(Z_OK, uncompress(layout->directory.data(), &produced, At(*layout, layout->trailer.streamOffset),
                               layout->trailer.streamSize));
    ASSERT_EQ(layout->directory.size(), produced);
    int64_t position = 0;
    for (int i = 0; i < layout->trailer.entryCount; ++i) {
        Record record;
        const int64_t before = position;
        ASSERT_TRUE(ArchiveFormat::DecodeRecord(layout->directory.data(), layout->directory.size(), &position, &record));
        layout->records.push_back(record);
        layout->recordSizes.push_back(position - before);
    }
    EXPECT_EQ(static_cast<int64_t>(layout->directory.size()), position);
    const int64_t dataEnd = layout->trailer.streamOffset - 8;
    for (int32_t index = 0;; ++index) {
        BlockHeader header;
        if (!ArchiveFormat::LocateBlock(At(*layout, 0), dataEnd, index, &header))
            break;
        layout->blocks.push_back(header);
    }
}

std::u16string Name(const Record& record)
{
    std::u16string name;
    for (int i = 0; i < record.nameUnits; ++i)
        name.push_back(static_cast<char16_t>(record.name[2 * i] | (record.name[2 * i + 1] << 8)));
    return name;
}

} // namespace

TEST(ArchiveLayout, BlocksCloseStrictlyAboveTheThreshold)
{
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(Decode(&layout));
    ASSERT_EQ(8, layout.trailer.entryCount);
    struct Expected {
        const wchar_t* name;
        int32_t block, offset, stored;
    };
    const Expected expected[] = {
        {L"exact.bin", 0, 0, 102400},          // exactly the threshold: the block stays open
        {L"t", 0, 102400, 14},                 // one more entry closes it
        {L"a\\b\\empty.dat", 1, 0, 4},         // an empty entry is its length prefix alone
        {L"half one.bin", 1, 4, 60004},
        {L"half two.bin", 1, 60008, 60004},    // two halves below the threshold share a block
        {L"after", 2, 0, 9},                   // the next file starts the next block at 0
        {L"big\\big.bin", 2, 9, 300004},
        {L"caf\u00e9 \u20ac \u00e8", 3, 0, 7}, // Windows-1252 letters and the euro sign
    };
    for (size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(U16(expected[i].name), Name(layout.records[i]));
        EXPECT_EQ(expected[i].block, layout.records[i].block);
        EXPECT_EQ(expected[i].offset, layout.records[i].offset);
        EXPECT_EQ(expected[i].stored, layout.records[i].storedLength);
        // A name of k units takes 2k + 2 bytes; the whole record 2k + 14.
        EXPECT_EQ(2 * layout.records[i].nameUnits + 14, layout.recordSizes[i]);
    }
}

TEST(ArchiveLayout, BlockWalkAndContentSizes)
{
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(Decode(&layout));
    ASSERT_EQ(4u, layout.blocks.size());
    const int32_t contents[] = {102414, 120012, 300013, 7};
    int64_t offset = 0;
    for (size_t i = 0; i < layout.blocks.size(); ++i) {
        SCOPED_TRACE(i);
        const BlockHeader& block = layout.blocks[i];
        EXPECT_EQ(offset, block.offset);                 // blocks lie back to back
        EXPECT_EQ(contents[i], block.contentSize);
        if (i + 1 < layout.blocks.size()) {
            EXPECT_GT(block.contentSize, ArchiveFormat::kBlockThreshold);
        }
        // Every stream is a zlib stream as compress makes it, and inflates to u bytes.
        const uint8_t* stream = At(layout, block.offset + 8);
        EXPECT_EQ(0x78, stream[0]);
        EXPECT_EQ(0x9C, stream[1]);
        std::vector<uint8_t> content(block.contentSize);
        uLongf produced = content.size();
        EXPECT_EQ(Z_OK, uncompress(content.data(), &produced, stream, block.compressedSize));
        EXPECT_EQ(content.size(), produced);
        offset = block.offset + 8 + block.compressedSize;
    }
    // The block part ends where D starts.
    EXPECT_EQ(layout.trailer.streamOffset - 8, offset);
    const uint8_t* directoryStream = At(layout, layout.trailer.streamOffset);
    EXPECT_EQ(0x78, directoryStream[0]);
    EXPECT_EQ(0x9C, directoryStream[1]);
}

TEST(ArchiveLayout, StoredFormsCarryTheirLengthAndTheFileBytes)
{
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(Decode(&layout));
    const wchar_t* sources[] = {L"exact.bin", L"tiny.txt", L"empty.dat", L"half1.bin",
                                L"half2.bin", L"after.txt", L"big.bin", L"last.txt"};
    Archive archive;
    ASSERT_EQ(S_OK, archive.Open(layout.bytes.data(), static_cast<int>(layout.bytes.size())));
    int readerInflations = 0;
    for (size_t i = 0; i < layout.records.size(); ++i) {
        SCOPED_TRACE(i);
        const Record& record = layout.records[i];
        const BlockHeader& block = layout.blocks[record.block];
        std::vector<uint8_t> content(block.contentSize);
        uLongf produced = content.size();
        ASSERT_EQ(Z_OK, uncompress(content.data(), &produced, At(layout, block.offset + 8), block.compressedSize));
        EXPECT_EQ(record.storedLength - 4, ArchiveFormat::ReadInt32(content.data() + record.offset));

        std::string source;
        ASSERT_TRUE(ReadFileBytes(FixturePath(std::wstring(L"layout/") + sources[i]), &source));
        EXPECT_EQ(source, std::string(reinterpret_cast<const char*>(content.data()) + record.offset + 4,
                                      record.storedLength - 4));
        // The reader hands out the same bytes.
        std::u16string name = Name(record);
        const void* data = nullptr;
        int length = -1;
        const InflateCount::Since get;
        ASSERT_EQ(S_OK, archive.Get(WString(reinterpret_cast<const wchar_t*>(name.c_str()),
                                            static_cast<int>(name.size())), &data, &length));
        readerInflations += get.Count();
        EXPECT_EQ(source, std::string(static_cast<const char*>(data), length));
    }
    // Each of the four blocks once, the records being in block order.
    EXPECT_EQ(4, readerInflations);
}
