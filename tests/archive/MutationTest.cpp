// Corrupted archives, each placed flush against a no-access page so that any read past its
// end (or, placed the other way, before its start) faults. Every one is opened and read entry
// by entry: the reader must neither crash nor hang, and every failure must be recorded with
// one of its own keys.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <set>
#include <zlib.h>

#include "TestSupport.h"
#include "archive/Archive.h"
#include "archive/ArchiveFormat.h"
#include "foundation/PlatformError.h"

using namespace ArchiveTest;

namespace {

// [no access][data pages][no access]
class GuardedMemory {
public:
    explicit GuardedMemory(size_t capacity)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        inner_ = (capacity + page_ - 1) / page_ * page_ + page_;
        base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, inner_ + 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        ok_ = base_ != nullptr && VirtualProtect(base_, page_, PAGE_NOACCESS, &old) &&
              VirtualProtect(base_ + page_ + inner_, page_, PAGE_NOACCESS, &old);
    }
    ~GuardedMemory()
    {
        if (base_)
            VirtualFree(base_, 0, MEM_RELEASE);
    }
    bool Ok() const { return ok_; }
    // The copy ends exactly where the trailing guard page begins.
    const uint8_t* AtEnd(const std::vector<uint8_t>& bytes)
    {
        uint8_t* start = base_ + page_ + inner_ - bytes.size();
        if (!bytes.empty())
            std::memcpy(start, bytes.data(), bytes.size());
        return start;
    }
    // The copy starts exactly where the leading guard page ends.
    const uint8_t* AtStart(const std::vector<uint8_t>& bytes)
    {
        uint8_t* start = base_ + page_;
        if (!bytes.empty())
            std::memcpy(start, bytes.data(), bytes.size());
        return start;
    }

private:
    uint8_t* base_ = nullptr;
    size_t page_ = 4096;
    size_t inner_ = 0;
    bool ok_ = false;
};

struct Source {
    std::vector<uint8_t> bytes;
    std::vector<MemoryArchive::Entry> entries;
    std::vector<uint8_t> blocks;            // block part
    std::vector<int64_t> blockOffsets;
    ArchiveFormat::Trailer trailer;
};

bool Decode(const std::vector<uint8_t>& bytes, Source* source)
{
    source->bytes = bytes;
    if (!ArchiveFormat::DecodeTrailer(bytes.data(), bytes.size(), &source->trailer))
        return false;
    const int64_t dataEnd = source->trailer.streamOffset - 8;
    source->blocks.assign(bytes.begin(), bytes.begin() + dataEnd);
    for (int32_t index = 0;; ++index) {
        ArchiveFormat::BlockHeader header;
        if (!ArchiveFormat::LocateBlock(bytes.data(), dataEnd, index, &header))
            break;
        source->blockOffsets.push_back(header.offset);
    }
    std::vector<uint8_t> directory(source->trailer.directorySize);
    uLongf produced = directory.size();
    if (uncompress(directory.data(), &produced, bytes.data() + source->trailer.streamOffset,
                   source->trailer.streamSize) != Z_OK)
        return false;
    int64_t position = 0;
    for (int32_t i = 0; i < source->trailer.entryCount; ++i) {
        ArchiveFormat::Record record;
        if (!ArchiveFormat::DecodeRecord(directory.data(), directory.size(), &position, &record))
            return false;
        std::u16string name;
        for (int32_t u = 0; u < record.nameUnits; ++u)
            name.push_back(static_cast<char16_t>(record.name[2 * u] | (record.name[2 * u + 1] << 8)));
        source->entries.push_back({name, record.block, record.offset, record.storedLength});
    }
    return true;
}

std::vector<uint8_t> Rebuild(const Source& source, const std::vector<MemoryArchive::Entry>& entries)
{
    std::vector<uint8_t> directory;
    for (const auto& entry : entries)
        ArchiveFormat::AppendRecord(directory, entry.name, entry.block, entry.offset, entry.storedLength);
    return MemoryArchive::Assemble(source.blocks, Deflate(directory), static_cast<int32_t>(directory.size()),
                                   static_cast<int32_t>(entries.size()));
}

void Put(std::vector<uint8_t>& bytes, int64_t offset, int32_t value)
{
    if (offset < 0 || offset + 4 > static_cast<int64_t>(bytes.size()))
        return;
    std::memcpy(&bytes[offset], &value, 4);
}

const std::set<std::wstring>& ReaderKeys()
{
    static const std::set<std::wstring> keys = {L"Archive.InvalidData", L"Archive.NotFound", L"Archive.EmptyBuffer",
                                                L"OutOfMemory", L"Out of memory, memory allocation failed"};
    return keys;
}

class Runner {
public:
    Runner() : memory_(1 << 20) {}
    bool Ready() const { return memory_.Ok(); }

    void Run(const std::vector<uint8_t>& bytes, const std::vector<std::u16string>& names, const char* what)
    {
        const uint8_t* data = (count_ % 2 == 0) ? memory_.AtEnd(bytes) : memory_.AtStart(bytes);
        ++count_;
        Archive archive;
        PlatformError::Clear();
        if (archive.Open(data, static_cast<int>(bytes.size())) != S_OK) {
            Check(what, "Open");
            return;
        }
        ++opened_;
        for (const std::u16string& name : names) {
            const void* content = nullptr;
            int length = -1;
            PlatformError::Clear();
            const WString wide(reinterpret_cast<const wchar_t*>(name.c_str()), static_cast<int>(name.size()));
            if (archive.Get(wide, &content, &length) != S_OK) {
                if (content != nullptr || length != 0)
                    Fail(what, "failed Get handed out content");
                Check(what, "Get");
                continue;
            }
            ++reads_;
            if (length < 0 || content == nullptr) {
                Fail(what, "negative length");
                continue;
            }
            // Touch every byte handed out.
            const volatile uint8_t* p = static_cast<const uint8_t*>(content);
            unsigned sum = 0;
            for (int i = 0; i < length; ++i)
                sum += p[i];
            checksum_ += sum;
        }
    }

    int Count() const { return count_; }
    int Opened() const { return opened_; }
    int Reads() const { return reads_; }
    const std::vector<std::string>& Failures() const { return failures_; }

private:
    void Check(const char* what, const char* step)
    {
        const WString text = PlatformError::GetErrorText();
        const std::wstring error(text.c_str(), text.Length());
        if (ReaderKeys().count(error) == 0)
            Fail(what, (std::string(step) + " recorded \"" + std::string(error.begin(), error.end()) + "\"").c_str());
    }
    void Fail(const char* what, const char* problem)
    {
        if (failures_.size() < 20)
            failures_.push_back(std::string(what) + " #" + std::to_string(count_) + ": " + problem);
    }

    GuardedMemory memory_;
    int count_ = 0;
    int opened_ = 0;
    int reads_ = 0;
    unsigned checksum_ = 0;
    std::vector<std::string> failures_;
};

std::vector<int32_t> HostileValues(int32_t original, int64_t size)
{
    return {0, 1, -1, 2, 3, 4, 7, 8, 12, 13, INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX - 3, INT_MAX - 7, INT_MAX - 11,
            0x10000, 0x7FFF0000, static_cast<int32_t>(size), static_cast<int32_t>(size - 1),
            static_cast<int32_t>(size + 1), static_cast<int32_t>(size - 12), original + 1, original - 1,
            original + 8, original - 8, original * 2, -original, original + 102400};
}

// Every family of corruption for one valid archive.
void Mutate(Runner& runner, const Source& source, uint32_t seed, int randomFlips, int randomDirectories)
{
    const std::vector<uint8_t>& good = source.bytes;
    const int64_t size = good.size();
    std::vector<std::u16string> names;
    for (const auto& entry : source.entries)
        names.push_back(entry.name);
    names.push_back(u"no such entry");

    // The untouched archive reads completely.
    runner.Run(good, names, "original");

    // Truncations at and around every trailer and block header boundary, from either end.
    std::set<int64_t> cuts;
    const int64_t dataEnd = source.trailer.streamOffset - 8;
    std::vector<int64_t> boundaries = {0, dataEnd, dataEnd + 4, dataEnd + 8, size - 4, size};
    for (int64_t offset : source.blockOffsets) {
        boundaries.push_back(offset);
        boundaries.push_back(offset + 4);
        boundaries.push_back(offset + 8);
    }
    for (int64_t b : boundaries)
        for (int64_t d = -3; d <= 3; ++d)
            if (b + d >= 0 && b + d < size)
                cuts.insert(b + d);
    for (int64_t k = 0; k < 48 && k < size; ++k) {
        cuts.insert(k);
        cuts.insert(size - 1 - k);
    }
    for (int64_t cut : cuts) {
        runner.Run(std::vector<uint8_t>(good.begin(), good.begin() + cut), names, "truncated end");
        runner.Run(std::vector<uint8_t>(good.begin() + (size - cut), good.end()), names, "truncated start");
    }

    // Hostile values in the trailer and in every block header.
    std::vector<std::pair<int64_t, int32_t>> fields = {
        {size - 4, source.trailer.streamSize},
        {dataEnd, source.trailer.directorySize},
        {dataEnd + 4, source.trailer.entryCount}};
    for (int64_t offset : source.blockOffsets) {
        fields.push_back({offset, ArchiveFormat::ReadInt32(&good[offset])});
        fields.push_back({offset + 4, ArchiveFormat::ReadInt32(&good[offset + 4])});
    }
    for (const auto& field : fields) {
        for (int32_t value : HostileValues(field.second, size)) {
            std::vector<uint8_t> bytes = good;
            Put(bytes, field.first, value);
            runner.Run(bytes, names, "hostile header field");
        }
    }

    // Hostile directory records: block index, offset and stored length of each entry.
    for (size_t i = 0; i < source.entries.size(); ++i) {
        const MemoryArchive::Entry& entry = source.entries[i];
        for (int field = 0; field < 3; ++field) {
            const int32_t original = field == 0 ? entry.block : field == 1 ? entry.offset : entry.storedLength;
            for (int32_t value : HostileValues(original, size)) {
                std::vector<MemoryArchive::Entry> entries = source.entries;
                (field == 0 ? entries[i].block : field == 1 ? entries[i].offset : entries[i].storedLength) = value;
                runner.Run(Rebuild(source, entries), names, "hostile record");
            }
        }
    }
    // Directory and count that disagree: records dropped, counts raised, a D that lies.
    for (size_t keep = 0; keep <= source.entries.size(); ++keep) {
        std::vector<MemoryArchive::Entry> entries(source.entries.begin(), source.entries.begin() + keep);
        std::vector<uint8_t> directory;
        for (const auto& entry : entries)
            ArchiveFormat::AppendRecord(directory, entry.name, entry.block, entry.offset, entry.storedLength);
        const std::vector<uint8_t> stream = Deflate(directory);
        for (int32_t n : {static_cast<int32_t>(keep), static_cast<int32_t>(keep + 1), static_cast<int32_t>(source.entries.size()), INT_MAX})
            for (int32_t d : {static_cast<int32_t>(directory.size()), static_cast<int32_t>(directory.size()) + 1,
                              static_cast<int32_t>(directory.size()) - 1})
                runner.Run(MemoryArchive::Assemble(source.blocks, stream, d, n), names, "directory and count");
    }

    std::mt19937 random(seed);
    // Random bytes written into the uncompressed directory, then compressed properly: the
    // record walk meets names without their NUL, cut fields and wild values.
    std::vector<uint8_t> directory;
    for (const auto& entry : source.entries)
        ArchiveFormat::AppendRecord(directory, entry.name, entry.block, entry.offset, entry.storedLength);
    for (int k = 0; k < randomDirectories; ++k) {
        std::vector<uint8_t> bytes = directory;
        const int changes = 1 + random() % 4;
        for (int c = 0; c < changes; ++c) {
            const size_t at = random() % bytes.size();
            bytes[at] = (random() % 3 == 0) ? 0 : static_cast<uint8_t>(random());
        }
        runner.Run(MemoryArchive::Assemble(source.blocks, Deflate(bytes), static_cast<int32_t>(bytes.size()),
                                           source.trailer.entryCount),
                   names, "random directory bytes");
    }

    // Random bit flips: half anywhere, half in the trailer and block headers.
    for (int k = 0; k < randomFlips; ++k) {
        std::vector<uint8_t> bytes = good;
        const int flips = 1 + random() % 3;
        for (int f = 0; f < flips; ++f) {
            int64_t at;
            if (k % 2 == 0) {
                at = random() % size;
            } else {
                const auto& field = fields[random() % fields.size()];
                at = field.first + random() % 4;
            }
            bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
        }
        runner.Run(bytes, names, "bit flips");
    }
}

} // namespace

TEST(ArchiveMutation, CorruptedArchivesAreRefusedSafely)
{
    Runner runner;
    ASSERT_TRUE(runner.Ready());

    // The archive kzpack laid down: one block above the threshold, then small entries.
    const std::string resource = ResourceBytes(L"SAMPLE", L"KZTEST");
    ASSERT_FALSE(resource.empty());
    Source packed;
    ASSERT_TRUE(Decode(std::vector<uint8_t>(resource.begin(), resource.end()), &packed));
    ASSERT_EQ(2u, packed.blockOffsets.size());

    // A format-valid archive with many tiny blocks, so that block walks are long.
    MemoryArchive builder;
    for (int i = 0; i < 24; ++i) {
        builder.Add(U16((L"entry\\" + std::to_wstring(i)).c_str()), std::string(i * 3, static_cast<char>('a' + i % 26)));
        if (i % 3 == 2)
            builder.CloseBlock();
    }
    builder.CloseBlock();
    Source tiny;
    ASSERT_TRUE(Decode(builder.Build(), &tiny));
    ASSERT_EQ(8u, tiny.blockOffsets.size());

    const DWORD start = GetTickCount();
    Mutate(runner, packed, 20240601u, 3000, 2000);
    Mutate(runner, tiny, 19937u, 6000, 6000);
    const DWORD elapsed = GetTickCount() - start;

    for (const std::string& failure : runner.Failures())
        ADD_FAILURE() << failure;
    EXPECT_GE(runner.Count(), 20000);
    // Enough of them open and read to reach the block code, not only the trailer checks.
    EXPECT_GT(runner.Opened(), runner.Count() / 4);
    EXPECT_GT(runner.Reads(), runner.Count());
    std::printf("%d corrupted archives, %d opened, %d entries read, %lu ms\n", runner.Count(), runner.Opened(),
                runner.Reads(), static_cast<unsigned long>(elapsed));
}
