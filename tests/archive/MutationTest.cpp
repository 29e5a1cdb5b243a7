// Corrupted archives, each placed flush against a no-access page so that any read past its
// end (or, placed the other way, before its start) faults. Every one is opened and read entry
// by entry twice: with Get, and with Find/WriteEntry/FinishStream as the extraction writes
// files (large blocks through the inflate window). The reader must neither fault nor hang,
// every failure must be recorded with one of its own keys, and the two ways must agree.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <zlib.h>

#include "TestSupport.h"
#include "tests/FaultReport.h"
#include "archive/Archive.h"
#include "archive/StreamInflate.h"
#include "archive/ArchiveFormat.h"
#include "archive/ByteStream.h"
#include "foundation/PlatformError.h"

using namespace ArchiveTest;

namespace {

// Named in the fault report (tests/FaultReport), so a fault points at the archive that caused it.
const char* g_source = "";
const char* g_case = "";
int g_caseNumber = 0;

void DescribeArchive()
{
    std::fprintf(stderr, "while reading %s, \"%s\" #%d\n", g_source, g_case, g_caseNumber);
}

// CRC-32 of what is written, so every byte is touched and WriteEntry's are compared with Get's.
class HashSink : public ByteStream {
public:
    HRESULT WriteBuffer(const void* data, int size) override
    {
        hash = crc32(hash, static_cast<const Bytef*>(data), static_cast<uInt>(size));
        length += size;
        ++pieces;
        return S_OK;
    }
    unsigned long hash = 0;
    long long length = 0;
    int pieces = 0;
};

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

// A slower archive than this is a reader that spins, not a loaded machine.
const DWORD kSlowestArchiveMs = 5000;

class Runner {
public:
    // The random families stop once the deadline has passed, so that a heavily loaded machine
    // still ends the test well inside ctest's timeout.
    explicit Runner(DWORD budgetMs) : memory_(1 << 20), start_(GetTickCount()), budgetMs_(budgetMs) {}
    bool Ready() const { return memory_.Ok(); }
    bool OutOfTime()
    {
        if (GetTickCount() - start_ > budgetMs_)
            timeBoxed_ = true;
        return timeBoxed_;
    }

    void Run(const std::vector<uint8_t>& bytes, const std::vector<std::u16string>& names, const char* what)
    {
        const uint8_t* data = (count_ % 2 == 0) ? memory_.AtEnd(bytes) : memory_.AtStart(bytes);
        ++count_;
        g_case = what;
        g_caseNumber = count_;
        const DWORD started = GetTickCount();
        std::vector<Outcome> byGet, byWrite;
        bool finished = false;
        if (ReadWithGet(data, static_cast<int>(bytes.size()), names, what, &byGet)) {
            ++opened_;
            ReadWithWriteEntry(data, static_cast<int>(bytes.size()), names, what, &byWrite, &finished);
            Compare(byGet, byWrite, finished, what);
        }
        const DWORD took = GetTickCount() - started;
        if (took > slowestMs_)
            slowestMs_ = took;
        if (took > kSlowestArchiveMs)
            Fail(what, ("took " + std::to_string(took) + " ms").c_str());
    }

    int Count() const { return count_; }
    int Opened() const { return opened_; }
    int Reads() const { return reads_; }
    int Streamed() const { return streamed_; }
    DWORD SlowestMs() const { return slowestMs_; }
    bool TimeBoxed() const { return timeBoxed_; }
    const std::vector<std::string>& Failures() const { return failures_; }

private:
    struct Outcome {
        bool found = false;
        bool read = false;
        long long length = 0;
        unsigned long hash = 0;
    };

    bool ReadWithGet(const uint8_t* data, int size, const std::vector<std::u16string>& names, const char* what,
                     std::vector<Outcome>* outcomes)
    {
        Archive archive;
        PlatformError::Clear();
        if (archive.Open(data, size) != S_OK) {
            Check(what, "Open");
            return false;
        }
        for (const std::u16string& name : names) {
            Outcome outcome;
            const void* content = nullptr;
            int length = -1;
            PlatformError::Clear();
            if (archive.Get(Wide(name), &content, &length) != S_OK) {
                if (content != nullptr || length != 0)
                    Fail(what, "failed Get handed out content");
                Check(what, "Get");
            } else if (length < 0 || content == nullptr) {
                Fail(what, "negative length");
            } else {
                ++reads_;
                // Touch every byte handed out.
                HashSink sink;
                sink.WriteBuffer(content, length);
                outcome = {true, true, sink.length, sink.hash};
            }
            outcomes->push_back(outcome);
        }
        return true;
    }

    void ReadWithWriteEntry(const uint8_t* data, int size, const std::vector<std::u16string>& names,
                            const char* what, std::vector<Outcome>* outcomes, bool* finished)
    {
        Archive archive;
        if (archive.Open(data, size) != S_OK) {
            Fail(what, "second Open failed");
            return;
        }
        for (const std::u16string& name : names) {
            Outcome outcome;
            Archive::Entry entry;
            PlatformError::Clear();
            if (archive.Find(Wide(name), &entry) != S_OK) {
                Check(what, "Find");
                outcomes->push_back(outcome);
                continue;
            }
            outcome.found = true;
            HashSink sink;
            bool outFailed = true;
            if (archive.WriteEntry(entry, &sink, &outFailed) == S_OK) {
                outcome.read = true;
                outcome.length = sink.length;
                outcome.hash = sink.hash;
            } else {
                Check(what, "WriteEntry");
            }
            if (outFailed)
                Fail(what, "WriteEntry blamed an output that never fails");
            // Only a large block's stream hands an entry out in windows.
            if (sink.pieces > 1)
                ++streamed_;
            outcomes->push_back(outcome);
        }
        PlatformError::Clear();
        *finished = archive.FinishStream() == S_OK;
        if (!*finished)
            Check(what, "FinishStream");
    }

    // Get checks a whole block before handing out any of it; WriteEntry writes a large block's
    // entries as they inflate and its check decides at the stream's end. So every entry read
    // one way is read the other way, with the same bytes, exactly when neither way failed.
    void Compare(const std::vector<Outcome>& byGet, const std::vector<Outcome>& byWrite, bool finished,
                 const char* what)
    {
        if (byGet.size() != byWrite.size())
            return;     // the second Open failed, already reported
        bool getClean = true, writeClean = finished;
        for (size_t i = 0; i < byGet.size(); ++i) {
            if (byGet[i].read && !byWrite[i].found)
                Fail(what, "Get found a name that Find did not");
            if (byWrite[i].found && !byGet[i].read)
                getClean = false;
            if (byWrite[i].found && !byWrite[i].read)
                writeClean = false;
        }
        if (getClean != writeClean) {
            Fail(what, getClean ? "WriteEntry/FinishStream refused what Get read" : "WriteEntry/FinishStream passed what Get refused");
            return;
        }
        for (size_t i = 0; getClean && i < byGet.size(); ++i) {
            if (byGet[i].read && (byGet[i].length != byWrite[i].length || byGet[i].hash != byWrite[i].hash))
                Fail(what, "WriteEntry wrote other bytes than Get handed out");
        }
    }

    static WString Wide(const std::u16string& name)
    {
        return WString(reinterpret_cast<const wchar_t*>(name.c_str()), static_cast<int>(name.size()));
    }
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
            failures_.push_back(std::string(g_source) + ", " + what + " #" + std::to_string(count_) + ": " + problem);
    }

    GuardedMemory memory_;
    DWORD start_;
    DWORD budgetMs_;
    bool timeBoxed_ = false;
    int count_ = 0;
    int opened_ = 0;
    int reads_ = 0;
    int streamed_ = 0;
    DWORD slowestMs_ = 0;
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
void Mutate(Runner& runner, const char* label, const Source& source, uint32_t start, int randomFlips,
            int randomDirectories)
{
    g_source = label;
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

    std::mt19937 random(start);
    // Random bytes written into the uncompressed directory, then compressed properly: the
    // record walk meets names without their NUL, cut fields and wild values.
    std::vector<uint8_t> directory;
    for (const auto& entry : source.entries)
        ArchiveFormat::AppendRecord(directory, entry.name, entry.block, entry.offset, entry.storedLength);
    for (int k = 0; k < randomDirectories && !runner.OutOfTime(); ++k) {
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
    for (int k = 0; k < randomFlips && !runner.OutOfTime(); ++k) {
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

std::string Noise(size_t size, unsigned start)
{
    std::mt19937 random(start);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

} // namespace

TEST(ArchiveMutation, CorruptedArchivesAreRefusedSafely)
{
    TestFault::SetDetail(DescribeArchive);
    Runner runner(90000);
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

    // A block larger than the inflate window holding four entries, then a small one:
    // WriteEntry streams the first.
    MemoryArchive large;
    large.Add(u"lead", std::string(3000, 'l'));
    large.Add(u"noise", Noise(1500, 1));
    large.Add(u"empty", "");
    // Mostly noise, which deflate stores and inflate copies: the thousands of copies stay cheap.
    std::string big;
    for (int i = 0; big.size() < static_cast<size_t>(kInflateWindow) + 8000; ++i)
        big += Noise(60000, i) + std::string(4000, static_cast<char>('A' + i));
    large.Add(u"big", big);
    large.CloseBlock();
    large.Add(u"after", "after the large block");
    large.CloseBlock();
    Source streamed;
    ASSERT_TRUE(Decode(large.Build(), &streamed));

    const DWORD start = GetTickCount();
    Mutate(runner, "packed", packed, 20240601u, 3000, 2000);
    Mutate(runner, "tiny", tiny, 19937u, 6000, 6000);
    Mutate(runner, "streamed", streamed, 4242u, 600, 200);
    const DWORD elapsed = GetTickCount() - start;

    TestFault::SetDetail(nullptr);
    for (const std::string& failure : runner.Failures())
        ADD_FAILURE() << failure;
    std::printf("%d corrupted archives, %d opened, %d entries read, %d written in windows, %lu ms, slowest %lu ms%s\n",
                runner.Count(), runner.Opened(), runner.Reads(), runner.Streamed(), static_cast<unsigned long>(elapsed),
                static_cast<unsigned long>(runner.SlowestMs()), runner.TimeBoxed() ? ", random cases cut by the time box" : "");
    if (runner.TimeBoxed())
        return;
    EXPECT_GE(runner.Count(), 20000);
    // Enough of them open and read to reach the block code, not only the trailer checks.
    EXPECT_GT(runner.Opened(), runner.Count() / 4);
    EXPECT_GT(runner.Reads(), runner.Count());
    // About a thousand entries come through a large block's window in this run.
    EXPECT_GT(runner.Streamed(), 500);
}
