// Archive::WriteEntry: entries of blocks larger than the inflate window are written piece by
// piece from one stream per block; the stream's check still decides, and a failing output is
// told from failing data.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

#include "InflateCount.h"
#include "TestSupport.h"
#include "archive/Archive.h"
#include "archive/StreamInflate.h"
#include "archive/ArchiveFormat.h"
#include "archive/ByteStream.h"
#include "foundation/PlatformError.h"

using namespace ArchiveTest;

namespace {

std::wstring ErrorText()
{
    WString text = PlatformError::GetErrorText();
    return std::wstring(text.c_str(), text.Length());
}

// Collects what is written; fails (recording its own key) once more than `limit` bytes came.
class Sink : public ByteStream {
public:
    explicit Sink(size_t limit = SIZE_MAX) : limit_(limit) {}
    HRESULT WriteBuffer(const void* data, int size) override
    {
        if (bytes.size() + static_cast<size_t>(size) > limit_) {
            PlatformError::SetError(nullptr, L"Sink.Full");
            return E_FAIL;
        }
        bytes.append(static_cast<const char*>(data), static_cast<size_t>(size));
        ++calls;
        return S_OK;
    }
    std::string bytes;
    int calls = 0;

private:
    size_t limit_;
};

std::string Noise(size_t size, unsigned start)
{
    std::mt19937 random(start);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::string Text(size_t size, char letter)
{
    std::string text;
    while (text.size() < size)
        text += std::string("line of ") + letter + " text\r\n";
    text.resize(size);
    return text;
}

const int kWindow = kInflateWindow;

// Block 0: "a", "b", the empty "e" and "big" (2.7 windows of noise): larger than the window.
// Block 1: "d", small.
struct LargeBlock {
    std::string a = Text(1000, 'a');
    std::string b = Text(5000, 'b');
    std::string big = Noise(static_cast<size_t>(kWindow) * 27 / 10, 7);
    std::string d = Text(3000, 'd');
    MemoryArchive builder;
    LargeBlock()
    {
        builder.Add(U16(L"a"), a);
        builder.Add(U16(L"b"), b);
        builder.Add(U16(L"e"), "");
        builder.Add(U16(L"big"), big);
        builder.CloseBlock();
        builder.Add(U16(L"d"), d);
        builder.CloseBlock();
    }
    // Byte i of block 0's zlib stream (negative: from its end).
    uint8_t& StreamByte(int i)
    {
        std::vector<uint8_t>& blocks = builder.Blocks();
        const int32_t z0 = ArchiveFormat::ReadInt32(blocks.data());
        return blocks[static_cast<size_t>(8 + (i < 0 ? z0 + i : i))];
    }
};

// Find + WriteEntry into a fresh sink; "<failed>" when either fails.
std::string Write(Archive& archive, const wchar_t* name, bool* outFailed = nullptr, int* calls = nullptr)
{
    Archive::Entry entry;
    if (archive.Find(name, &entry) != S_OK)
        return "<not found>";
    Sink sink;
    bool failed = false;
    const HRESULT result = archive.WriteEntry(entry, &sink, &failed);
    if (outFailed != nullptr)
        *outFailed = failed;
    if (calls != nullptr)
        *calls = sink.calls;
    return result == S_OK ? sink.bytes : "<failed>";
}

} // namespace

TEST(WriteEntry, LargeBlockWrittenInOrderIsInflatedOnce)
{
    LargeBlock fixture;
    const std::vector<uint8_t> bytes = fixture.builder.Build();
    Archive archive;
    ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
    const InflateCount::Since loads;
    EXPECT_EQ(fixture.a, Write(archive, L"a"));
    EXPECT_EQ(fixture.b, Write(archive, L"b"));
    EXPECT_EQ("", Write(archive, L"e"));
    int calls = 0;
    EXPECT_TRUE(fixture.big == Write(archive, L"big", nullptr, &calls));
    EXPECT_EQ(3, calls);        // window-sized pieces, not one block-sized buffer
    EXPECT_EQ(fixture.d, Write(archive, L"d"));
    EXPECT_EQ(2, loads.Count());
    EXPECT_EQ(S_OK, archive.FinishStream());
}

TEST(WriteEntry, AnyOrderGivesTheSameBytes)
{
    LargeBlock fixture;
    const std::vector<uint8_t> bytes = fixture.builder.Build();
    Archive archive;
    ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
    // Backwards, repeated, and across blocks while a stream is open.
    EXPECT_TRUE(fixture.big == Write(archive, L"big"));
    EXPECT_EQ(fixture.b, Write(archive, L"b"));
    EXPECT_EQ(fixture.a, Write(archive, L"a"));
    EXPECT_EQ(fixture.d, Write(archive, L"d"));
    EXPECT_EQ(fixture.b, Write(archive, L"b"));
    EXPECT_EQ(fixture.b, Write(archive, L"b"));
    EXPECT_TRUE(fixture.big == Write(archive, L"big"));
    EXPECT_EQ(S_OK, archive.FinishStream());
    EXPECT_EQ(S_OK, archive.FinishStream());     // nothing open: nothing to do
}

TEST(WriteEntry, BlockHeldWholeByGetIsWrittenFromTheCache)
{
    LargeBlock fixture;
    const std::vector<uint8_t> bytes = fixture.builder.Build();
    Archive archive;
    ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
    const InflateCount::Since loads;
    ASSERT_EQ(S_OK, archive.Get(L"big", nullptr, nullptr));
    EXPECT_EQ(fixture.a, Write(archive, L"a"));
    EXPECT_TRUE(fixture.big == Write(archive, L"big"));
    EXPECT_EQ(1, loads.Count());
    // A small block goes through the block cache as Get would load it, and stays there.
    EXPECT_EQ(fixture.d, Write(archive, L"d"));
    const void* data = nullptr;
    int length = 0;
    ASSERT_EQ(S_OK, archive.Get(L"d", &data, &length));
    EXPECT_EQ(fixture.d, std::string(static_cast<const char*>(data), length));
    EXPECT_EQ(2, loads.Count());
}

TEST(WriteEntry, BrokenCheckOfALargeBlockFails)
{
    LargeBlock fixture;
    fixture.StreamByte(-1) ^= 0x01;      // the Adler-32 at the stream's end
    const std::vector<uint8_t> bytes = fixture.builder.Build();
    {
        // Its last entry reaches the stream's end: the check fails there.
        Archive archive;
        ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
        EXPECT_EQ(fixture.a, Write(archive, L"a"));
        bool outFailed = true;
        EXPECT_EQ("<failed>", Write(archive, L"big", &outFailed));
        EXPECT_FALSE(outFailed);
        EXPECT_EQ(L"Archive.InvalidData", ErrorText());
        EXPECT_EQ(S_OK, archive.FinishStream());      // the failed stream was closed
    }
    {
        // Left open after "a": moving on to another block runs it to its end first.
        Archive archive;
        ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
        EXPECT_EQ(fixture.a, Write(archive, L"a"));
        EXPECT_EQ(fixture.d, Write(archive, L"d"));   // a small block does not touch the stream
        EXPECT_EQ(E_FAIL, archive.FinishStream());
        EXPECT_EQ(L"Archive.InvalidData", ErrorText());
    }
    {
        // Going back in the same block restarts the stream, after checking the old one.
        Archive archive;
        ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
        EXPECT_EQ(fixture.b, Write(archive, L"b"));
        EXPECT_EQ("<failed>", Write(archive, L"a"));
        EXPECT_EQ(L"Archive.InvalidData", ErrorText());
    }
}

TEST(WriteEntry, LargeBlockThatDoesNotInflateToItsSizeFails)
{
    for (int delta : {-1, +1}) {
        SCOPED_TRACE(delta);
        LargeBlock fixture;
        // Block 0's u field, one byte off; "big" is cut by one byte to stay inside the block
        // when u shrinks.
        uint8_t* u0 = fixture.builder.Blocks().data() + 4;
        const int32_t u = ArchiveFormat::ReadInt32(u0) + delta;
        std::memcpy(u0, &u, 4);
        if (delta < 0)
            fixture.builder.Entries()[3].storedLength -= 1;
        const std::vector<uint8_t> bytes = fixture.builder.Build();
        Archive archive;
        ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
        bool outFailed = true;
        if (delta < 0) {
            // "big" now ends where the block claims to end, but the stream goes on.
            EXPECT_EQ("<failed>", Write(archive, L"big", &outFailed));
            EXPECT_FALSE(outFailed);
        } else {
            // The block claims one byte after "big": the stream ends short of it, which shows
            // when the open stream is finished.
            EXPECT_TRUE(fixture.big == Write(archive, L"big", &outFailed));
            EXPECT_EQ(E_FAIL, archive.FinishStream());
        }
        EXPECT_EQ(L"Archive.InvalidData", ErrorText());
    }
}

TEST(WriteEntry, CorruptDataInsideALargeBlockFails)
{
    LargeBlock fixture;
    fixture.StreamByte(2) ^= 0xFF;       // the first deflate block's header
    const std::vector<uint8_t> bytes = fixture.builder.Build();
    Archive archive;
    ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
    // Wrong bytes may come out before the damage shows, but the last entry, which takes the
    // stream to its end, never passes.
    Write(archive, L"a");
    EXPECT_EQ("<failed>", Write(archive, L"big"));
    EXPECT_EQ(L"Archive.InvalidData", ErrorText());
}

TEST(WriteEntry, FailingOutputIsToldFromFailingData)
{
    LargeBlock fixture;
    const std::vector<uint8_t> bytes = fixture.builder.Build();
    for (size_t limit : {static_cast<size_t>(0), static_cast<size_t>(kWindow) + 1}) {
        SCOPED_TRACE(limit);
        Archive archive;
        ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
        Archive::Entry entry;
        ASSERT_EQ(S_OK, archive.Find(L"big", &entry));
        Sink sink(limit);
        bool outFailed = false;
        EXPECT_EQ(E_FAIL, archive.WriteEntry(entry, &sink, &outFailed));
        EXPECT_TRUE(outFailed);
        EXPECT_EQ(L"Sink.Full", ErrorText());
        // The stream was given up; the next entry starts afresh.
        EXPECT_EQ(fixture.a, Write(archive, L"a"));
    }
    // The same for a small block.
    Archive archive;
    ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
    Archive::Entry entry;
    ASSERT_EQ(S_OK, archive.Find(L"d", &entry));
    Sink sink(10);
    bool outFailed = false;
    EXPECT_EQ(E_FAIL, archive.WriteEntry(entry, &sink, &outFailed));
    EXPECT_TRUE(outFailed);
}

TEST(WriteEntry, FindAndWriteRefuseWhatGetRefuses)
{
    LargeBlock fixture;
    fixture.builder.Entries()[1].storedLength = 1 << 30;     // "b" does not fit block 0
    const std::vector<uint8_t> bytes = fixture.builder.Build();
    Archive closed;
    Archive::Entry entry;
    EXPECT_EQ(E_FAIL, closed.Find(L"a", &entry));
    EXPECT_EQ(L"Archive.NotOpen", ErrorText());
    Archive archive;
    ASSERT_EQ(S_OK, archive.Open(bytes.data(), static_cast<int>(bytes.size())));
    EXPECT_EQ(E_FAIL, archive.Find(L"A", &entry));
    EXPECT_EQ(L"Archive.NotFound", ErrorText());
    EXPECT_EQ("<failed>", Write(archive, L"b"));
    EXPECT_EQ(L"Archive.InvalidData", ErrorText());
    // An entry naming a block past the last one.
    ASSERT_EQ(S_OK, archive.Find(L"a", &entry));
    entry.block = 5;
    Sink sink;
    bool outFailed = true;
    EXPECT_EQ(E_FAIL, archive.WriteEntry(entry, &sink, &outFailed));
    EXPECT_FALSE(outFailed);
    EXPECT_EQ(L"Archive.InvalidData", ErrorText());
    EXPECT_EQ("", sink.bytes);
}
