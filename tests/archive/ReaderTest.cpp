// Archive: opening, finding entries, the block cache, and refusing bad data.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "InflateCount.h"
#include "TestSupport.h"
#include "archive/Archive.h"
#include "archive/ArchiveFormat.h"
#include "archive/ResourceBuffer.h"
#include "foundation/PlatformError.h"
#include "foundation/ProductDefinition.h"
#include "tests/ProductDefinitionReset.h"

using namespace ArchiveTest;

namespace {

const wchar_t kCatalog[] = L"resources\\msgcatalog\\KZ_PlatformErrors.QorNls";

std::wstring ErrorText()
{
    WString text = PlatformError::GetErrorText();
    return std::wstring(text.c_str(), text.Length());
}

class MainArchive : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, resource_.Open(L"RESOURCES", L"KZ"));
        ASSERT_EQ(S_OK, archive_.Open(resource_.Data(), resource_.Remaining()));
    }
    std::string Content(const wchar_t* name)
    {
        const void* data = nullptr;
        int length = -1;
        if (archive_.Get(name, &data, &length) != S_OK)
            return "<failed>";
        return std::string(static_cast<const char*>(data), length);
    }
    ResourceBuffer resource_;
    Archive archive_;
};

std::string Payload(const std::wstring& relative)
{
    std::string bytes;
    if (!ReadFileBytes(FixturePath(L"payload/" + relative), &bytes))
        return "<unreadable>";
    return bytes;
}

HRESULT OpenBytes(Archive& archive, const std::vector<uint8_t>& bytes)
{
    return archive.Open(bytes.data(), static_cast<int>(bytes.size()));
}

// Two blocks: "a" and "b" in block 0, "c" in block 1.
MemoryArchive TwoBlocks()
{
    MemoryArchive builder;
    builder.Add(U16(L"a"), "alpha");
    builder.Add(U16(L"b"), "bravo!");
    builder.CloseBlock();
    builder.Add(U16(L"c"), "charlie");
    builder.CloseBlock();
    return builder;
}

} // namespace

TEST(Archive, NewArchiveIsClosed)
{
    Archive archive;
    EXPECT_EQ(0, archive.EntryCount());
    const void* data = &data;
    int length = 5;
    EXPECT_EQ(E_FAIL, archive.Get(L"a", &data, &length));
    EXPECT_EQ(nullptr, data);
    EXPECT_EQ(0, length);
    EXPECT_EQ(L"Archive.NotOpen", ErrorText());
}

TEST_F(MainArchive, FindsEntriesByExactName)
{
    EXPECT_EQ(78, archive_.EntryCount());
    EXPECT_EQ(Payload(L"resources/msgcatalog/KZ_PlatformErrors.QorNls"), Content(kCatalog));
    EXPECT_EQ(Payload(L"src/bin/viewer.bin"), Content(L"code\\bin\\viewer.exe"));
    EXPECT_EQ(Payload(L"src/docs/caf\u00e9/notes \u00e8.txt"), Content(L"docs\\caf\u00e9\\notes \u00e8.txt"));

    const wchar_t* similar[] = {L"Resources\\msgcatalog\\KZ_PlatformErrors.QorNls",
                             L"resources/msgcatalog/KZ_PlatformErrors.QorNls",
                             L"resources\\msgcatalog\\KZ_PlatformErrors.QorNl",
                             L"resources\\msgcatalog\\KZ_PlatformErrors.QorNlsx", L""};
    for (const wchar_t* name : similar) {
        const void* data = &data;
        int length = 7;
        EXPECT_EQ(E_FAIL, archive_.Get(name, &data, &length));
        EXPECT_EQ(L"Archive.NotFound", ErrorText());
        EXPECT_EQ(nullptr, data);
        EXPECT_EQ(0, length);
    }
}

TEST_F(MainArchive, EmptyEntryHasLengthZero)
{
    const void* data = nullptr;
    int length = -1;
    ASSERT_EQ(S_OK, archive_.Get(L"code\\empty.dat", &data, &length));
    EXPECT_EQ(0, length);
    EXPECT_NE(nullptr, data);
}

TEST_F(MainArchive, OneBlockIsDecompressedOncePerVisit)
{
    const InflateCount::Since loads;
    const void* first = nullptr;
    int firstLength = 0;
    ASSERT_EQ(S_OK, archive_.Get(kCatalog, &first, &firstLength));
    EXPECT_EQ(1, loads.Count());
    const std::string before(static_cast<const char*>(first), firstLength);

    // Same block: no new decompression, and the first content stays valid.
    EXPECT_EQ(Payload(L"resources/Zephyrix/versions/PlayerVersion.txt"),
              Content(L"resources\\Zephyrix\\versions\\PlayerVersion.txt"));
    EXPECT_EQ(1, loads.Count());
    EXPECT_EQ(before, std::string(static_cast<const char*>(first), firstLength));

    // Alternating between blocks decompresses each time.
    Content(L"docs\\manual.txt");
    EXPECT_EQ(2, loads.Count());
    Content(kCatalog);
    Content(L"docs\\manual.txt");
    EXPECT_EQ(4, loads.Count());
    Content(L"last.txt");
    EXPECT_EQ(5, loads.Count());
    Content(L"last.txt");
    EXPECT_EQ(5, loads.Count());
}

TEST_F(MainArchive, BlockCacheIsReusedForSmallerBlocks)
{
    // The first entries of blocks 0, 1 and 2 sit at offset 0, right after their prefix at
    // the cache's start: equal pointers mean one allocation served every block.
    const wchar_t* firstOfBlock[] = {kCatalog, L"code\\empty.dat", L"last.txt"};
    std::vector<std::pair<int32_t, int>> bySize;
    ArchiveFormat::Trailer trailer;
    ASSERT_TRUE(ArchiveFormat::DecodeTrailer(resource_.Data(), resource_.Remaining(), &trailer));
    for (int index = 0; index < 3; ++index) {
        ArchiveFormat::BlockHeader header;
        ASSERT_TRUE(ArchiveFormat::LocateBlock(resource_.Data(), trailer.streamOffset - 8, index, &header));
        bySize.push_back({header.contentSize, index});
    }
    std::sort(bySize.rbegin(), bySize.rend());
    const void* cacheStart = nullptr;
    for (const auto& block : bySize) {
        const void* data = nullptr;
        int length = 0;
        ASSERT_EQ(S_OK, archive_.Get(firstOfBlock[block.second], &data, &length));
        if (cacheStart == nullptr)
            cacheStart = data;
        EXPECT_EQ(cacheStart, data) << block.second;
    }
    EXPECT_EQ(Payload(L"src/last.txt"), Content(L"last.txt"));
}

TEST_F(MainArchive, SecondOpenFailsAndLeavesTheFirstUsable)
{
    EXPECT_EQ(E_FAIL, archive_.Open(resource_.Data(), resource_.Remaining()));
    EXPECT_EQ(L"Archive.AlreadyOpen", ErrorText());
    EXPECT_EQ(Payload(L"src/last.txt"), Content(L"last.txt"));
}

TEST(Archive, RefusesEmptyBuffers)
{
    Archive archive;
    const char byte = 0;
    EXPECT_EQ(E_FAIL, archive.Open(nullptr, 100));
    EXPECT_EQ(L"Archive.EmptyBuffer", ErrorText());
    EXPECT_EQ(E_FAIL, archive.Open(&byte, 0));
    EXPECT_EQ(L"Archive.EmptyBuffer", ErrorText());
    EXPECT_EQ(E_FAIL, archive.Open(&byte, -1));
    EXPECT_EQ(L"Archive.InvalidData", ErrorText());
}

TEST(Archive, RefusesBadTrailers)
{
    const std::vector<uint8_t> good = TwoBlocks().Build();
    const std::vector<uint8_t> stream(good.end() - 4 - ArchiveFormat::ReadInt32(&good[good.size() - 4]), good.end() - 4);
    std::vector<std::vector<uint8_t>> bad;
    // Z of 0.
    std::vector<uint8_t> zeroZ = good;
    std::memset(&zeroZ[zeroZ.size() - 4], 0, 4);
    bad.push_back(zeroZ);
    // Fewer than 12 bytes before the stream end: only D, N, stream and Z, minus one byte.
    const int32_t d = static_cast<int32_t>(TwoBlocks().DirectoryBytes().size());
    std::vector<uint8_t> tight = MemoryArchive::Assemble({}, stream, d, 3);
    tight.erase(tight.begin());
    bad.push_back(tight);
    // Directory size and entry count not positive.
    bad.push_back(MemoryArchive::Assemble({}, stream, 0, 3));
    bad.push_back(MemoryArchive::Assemble({}, stream, d, 0));
    bad.push_back(MemoryArchive::Assemble({}, stream, -d, 3));
    // An archive laid down with no files: D = 0, N = 0.
    bad.push_back(MemoryArchive::Assemble({}, Deflate({}), 0, 0));
    for (size_t i = 0; i < bad.size(); ++i) {
        Archive archive;
        EXPECT_EQ(E_FAIL, OpenBytes(archive, bad[i])) << i;
        EXPECT_EQ(L"Archive.InvalidData", ErrorText()) << i;
    }
    // The exact layout with no block part at all opens.
    Archive archive;
    EXPECT_EQ(S_OK, OpenBytes(archive, MemoryArchive::Assemble({}, stream, d, 3)));
}

TEST(Archive, DirectoryMustInflateToExactlyD)
{
    MemoryArchive builder = TwoBlocks();
    const std::vector<uint8_t> directory = builder.DirectoryBytes();
    const int32_t d = static_cast<int32_t>(directory.size());
    for (int32_t claimed : {d - 1, d + 1, 1, d * 2}) {
        Archive archive;
        EXPECT_EQ(E_FAIL, OpenBytes(archive, MemoryArchive::Assemble(builder.Blocks(), Deflate(directory), claimed, 3)))
            << claimed;
        EXPECT_EQ(L"Archive.InvalidData", ErrorText());
    }
    // A D that no stream of Z bytes can inflate to is refused before it is allocated.
    Archive huge;
    EXPECT_EQ(E_FAIL, OpenBytes(huge, MemoryArchive::Assemble(builder.Blocks(), Deflate(directory), INT_MAX, 3)));
    EXPECT_EQ(L"Archive.InvalidData", ErrorText());
    // A stream that is not zlib at all.
    std::vector<uint8_t> noise(40, 0x5A);
    Archive garbage;
    EXPECT_EQ(E_FAIL, OpenBytes(garbage, MemoryArchive::Assemble(builder.Blocks(), noise, d, 3)));
    EXPECT_EQ(L"Archive.InvalidData", ErrorText());
}

TEST(Archive, FailedOpenLeavesTheArchiveClosedAndReopenable)
{
    const std::vector<uint8_t> good = TwoBlocks().Build();
    std::vector<uint8_t> bad = good;
    bad[bad.size() - 5] ^= 0xFF;     // last byte of the directory stream: Adler-32 fails
    Archive archive;
    EXPECT_EQ(E_FAIL, OpenBytes(archive, bad));
    EXPECT_EQ(E_FAIL, archive.Get(L"a", nullptr, nullptr));
    EXPECT_EQ(L"Archive.NotOpen", ErrorText());
    ASSERT_EQ(S_OK, OpenBytes(archive, good));
    const void* data = nullptr;
    int length = 0;
    ASSERT_EQ(S_OK, archive.Get(L"c", &data, &length));
    EXPECT_EQ("charlie", std::string(static_cast<const char*>(data), length));
}

TEST(Archive, RefusesRecordsOutsideTheirBlock)
{
    struct Case {
        const char* what;
        int32_t block, offset, stored;
        const wchar_t* key;
    };
    // Block 1 holds "charlie" as 11 bytes of content.
    const Case cases[] = {
        {"negative block", -1, 0, 11, L"Archive.NotFound"},
        {"block beyond the last", 2, 0, 11, L"Archive.InvalidData"},
        {"block far beyond", INT_MAX, 0, 11, L"Archive.InvalidData"},
        {"offset past the end", 1, 11, 4, L"Archive.InvalidData"},
        {"stored length past the end", 1, 0, 12, L"Archive.InvalidData"},
        {"negative offset", 1, -4, 8, L"Archive.InvalidData"},
        {"stored length below its prefix", 1, 0, 3, L"Archive.InvalidData"},
        {"negative stored length", 1, 0, -1, L"Archive.InvalidData"},
        {"wrapping sum", 1, INT_MAX, INT_MAX, L"Archive.InvalidData"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryArchive builder = TwoBlocks();
        builder.Entries()[2].block = c.block;
        builder.Entries()[2].offset = c.offset;
        builder.Entries()[2].storedLength = c.stored;
        const std::vector<uint8_t> bytes = builder.Build();
        Archive archive;
        ASSERT_EQ(S_OK, OpenBytes(archive, bytes));
        const void* data = &data;
        int length = 9;
        EXPECT_EQ(E_FAIL, archive.Get(L"c", &data, &length));
        EXPECT_EQ(c.key, ErrorText());
        EXPECT_EQ(nullptr, data);
        EXPECT_EQ(0, length);
        // The healthy entries still read.
        ASSERT_EQ(S_OK, archive.Get(L"b", &data, &length));
        EXPECT_EQ("bravo!", std::string(static_cast<const char*>(data), length));
    }
}

TEST(Archive, RecordMustFitACachedBlockToo)
{
    MemoryArchive builder = TwoBlocks();
    builder.Entries()[1].storedLength = 100;     // block 0 holds 9 + 10 bytes
    const std::vector<uint8_t> bytes = builder.Build();
    Archive archive;
    ASSERT_EQ(S_OK, OpenBytes(archive, bytes));
    ASSERT_EQ(S_OK, archive.Get(L"a", nullptr, nullptr));
    EXPECT_EQ(E_FAIL, archive.Get(L"b", nullptr, nullptr));
    EXPECT_EQ(L"Archive.InvalidData", ErrorText());
    // "b" was refused from the cached block, which stays cached.
    const InflateCount::Since loads;
    ASSERT_EQ(S_OK, archive.Get(L"a", nullptr, nullptr));
    EXPECT_EQ(0, loads.Count());
}

TEST(Archive, RefusesBlocksThatDoNotInflateToTheirSize)
{
    for (int delta : {-1, +1}) {
        SCOPED_TRACE(delta);
        MemoryArchive builder;
        builder.Add(U16(L"a"), "alpha");
        builder.CloseBlock();
        builder.Add(U16(L"c"), "charlie");
        builder.Add(U16(L"d"), "delta");
        builder.CloseBlock();
        // Block 1's u field: "c" still fits either way, the stream gives one byte more or less.
        std::vector<uint8_t>& blocks = builder.Blocks();
        const int32_t z0 = ArchiveFormat::ReadInt32(blocks.data());
        uint8_t* u1 = blocks.data() + 8 + z0 + 4;
        const int32_t u = ArchiveFormat::ReadInt32(u1) + delta;
        std::memcpy(u1, &u, 4);
        const std::vector<uint8_t> bytes = builder.Build();
        Archive archive;
        ASSERT_EQ(S_OK, OpenBytes(archive, bytes));
        ASSERT_EQ(S_OK, archive.Get(L"a", nullptr, nullptr));
        EXPECT_EQ(E_FAIL, archive.Get(L"c", nullptr, nullptr));
        EXPECT_EQ(L"Archive.InvalidData", ErrorText());
        // No block is left cached: the bad block fails again, block 0 loads again.
        EXPECT_EQ(E_FAIL, archive.Get(L"d", nullptr, nullptr));
        EXPECT_EQ(L"Archive.InvalidData", ErrorText());
        const InflateCount::Since loads;
        const void* data = nullptr;
        int length = 0;
        ASSERT_EQ(S_OK, archive.Get(L"a", &data, &length));
        EXPECT_EQ("alpha", std::string(static_cast<const char*>(data), length));
        EXPECT_EQ(1, loads.Count());
    }
}

TEST(Archive, RefusesABlockWalkLeavingTheDataPart)
{
    MemoryArchive builder = TwoBlocks();
    std::vector<uint8_t>& blocks = builder.Blocks();
    // Block 0's z made to reach one byte past the block part, into D.
    const int32_t longer = static_cast<int32_t>(blocks.size()) - 8 + 1;
    std::memcpy(blocks.data(), &longer, 4);
    const std::vector<uint8_t> bytes = builder.Build();
    Archive archive;
    ASSERT_EQ(S_OK, OpenBytes(archive, bytes));
    EXPECT_EQ(E_FAIL, archive.Get(L"a", nullptr, nullptr));
    EXPECT_EQ(L"Archive.InvalidData", ErrorText());
    EXPECT_EQ(E_FAIL, archive.Get(L"c", nullptr, nullptr));
    EXPECT_EQ(L"Archive.InvalidData", ErrorText());
}

TEST(Archive, DirectoryShorterThanItsCount)
{
    MemoryArchive builder = TwoBlocks();
    const std::vector<uint8_t> directory = builder.DirectoryBytes();
    // N says 5 records, the directory holds 3: names found before the end still work.
    const std::vector<uint8_t> bytes =
        MemoryArchive::Assemble(builder.Blocks(), Deflate(directory), static_cast<int32_t>(directory.size()), 5);
    Archive archive;
    ASSERT_EQ(S_OK, OpenBytes(archive, bytes));
    EXPECT_EQ(S_OK, archive.Get(L"c", nullptr, nullptr));
    EXPECT_EQ(E_FAIL, archive.Get(L"zulu", nullptr, nullptr));
    EXPECT_EQ(L"Archive.InvalidData", ErrorText());
}

TEST(Archive, FirstOfTwoEqualNamesWins)
{
    MemoryArchive builder;
    builder.Add(U16(L"same"), "first");
    builder.CloseBlock();
    builder.Add(U16(L"same"), "second");
    builder.CloseBlock();
    const std::vector<uint8_t> bytes = builder.Build();
    Archive archive;
    ASSERT_EQ(S_OK, OpenBytes(archive, bytes));
    const void* data = nullptr;
    int length = 0;
    ASSERT_EQ(S_OK, archive.Get(L"same", &data, &length));
    EXPECT_EQ("first", std::string(static_cast<const char*>(data), length));
}

TEST(Archive, FindsEveryNameOfALargeDirectoryInAnyOrder)
{
    // Thousands of names, some differing only in case or by a trailing unit, one empty name
    // and one repeated: every lookup must give the first record of exactly that name.
    MemoryArchive builder;
    const int kCount = 3000;
    for (int i = 0; i < kCount; ++i) {
        builder.Add(U16((L"dir\\file" + std::to_wstring(i)).c_str()), std::to_string(i));
        if (i % 500 == 499)
            builder.CloseBlock();
    }
    builder.Add(U16(L"DIR\\FILE7"), "upper");
    builder.Add(U16(L"dir\\file7 "), "space");
    builder.Add(std::u16string(), "empty name");
    builder.Add(U16(L"dir\\file42"), "second of the name");
    builder.CloseBlock();
    const std::vector<uint8_t> bytes = builder.Build();
    Archive archive;
    ASSERT_EQ(S_OK, OpenBytes(archive, bytes));
    auto content = [&archive](const std::wstring& name) {
        const void* data = nullptr;
        int length = 0;
        if (archive.Get(name.c_str(), &data, &length) != S_OK)
            return std::string("<failed>");
        return std::string(static_cast<const char*>(data), length);
    };
    for (int k = 0; k < kCount; ++k) {
        const int i = (k * 1237) % kCount;     // a permutation of 0..kCount-1
        ASSERT_EQ(std::to_string(i), content(L"dir\\file" + std::to_wstring(i))) << i;
    }
    EXPECT_EQ("upper", content(L"DIR\\FILE7"));
    EXPECT_EQ("space", content(L"dir\\file7 "));
    EXPECT_EQ("42", content(L"dir\\file42"));
    EXPECT_EQ("<failed>", content(L"dir\\file3000"));
    EXPECT_EQ(L"Archive.NotFound", ErrorText());
    // The empty name is a name like any other.
    EXPECT_EQ("empty name", content(L""));
}

// ---- the packaged version ----------------------------------------------------------------

class PackagedVersion : public ::testing::Test {
protected:
    void TearDown() override { ResetProductDefinition(); }
};

TEST_F(PackagedVersion, DropsLineBreaks)
{
    ProductDefinition::SetVersionFile(L"resources\\Zephyrix\\versions\\PlayerVersion.txt");
    WString version = L"old";
    ASSERT_EQ(S_OK, GetPackagedVersion(&version));
    EXPECT_TRUE(version == L"1.2.3");
}

TEST_F(PackagedVersion, NoVersionFileFailsWithoutRecording)
{
    PlatformError::SetError(nullptr, L"Marker.Untouched");
    WString version = L"old";
    EXPECT_EQ(E_FAIL, GetPackagedVersion(&version));
    EXPECT_TRUE(version.IsEmpty());
    EXPECT_EQ(L"Marker.Untouched", ErrorText());
}

TEST_F(PackagedVersion, MissingOrEmptyEntryFails)
{
    ProductDefinition::SetVersionFile(L"resources\\Zephyrix\\versions\\Missing.txt");
    WString version = L"old";
    EXPECT_EQ(E_FAIL, GetPackagedVersion(&version));
    EXPECT_TRUE(version.IsEmpty());
    EXPECT_EQ(L"Archive.NotFound", ErrorText());
    ProductDefinition::SetVersionFile(L"code\\empty.dat");
    EXPECT_EQ(E_FAIL, GetPackagedVersion(&version));
    EXPECT_TRUE(version.IsEmpty());
}

TEST_F(PackagedVersion, TextThatDoesNotConvertFails)
{
    // 150,000 bytes of text lines: far beyond what converts into a version.
    ProductDefinition::SetVersionFile(L"docs\\manual.txt");
    WString version = L"old";
    EXPECT_EQ(E_FAIL, GetPackagedVersion(&version));
    EXPECT_TRUE(version.IsEmpty());
    EXPECT_EQ(L"Archive.InvalidVersion", ErrorText());
}
