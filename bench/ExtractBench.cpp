// bench_extract: times ExtractResourceArchive of the archive linked into this program against
// the limit for the same bytes: inflating every block with nothing written, plus writing the
// same files from memory with nothing inflated.
//
//   bench_extract measure DIR [limit-first]  extraction into DIR\extract and the limit into
//                                            DIR\limit in one process, archive pages touched
//                                            first so neither side pays their first reading
//   bench_extract extract DIR                the extraction alone into DIR, with the process's
//                                            working set before and at its peak
//   bench_extract profile DIR                the extraction's own steps, timed one by one
//   bench_extract idle                       nothing: what starting this program costs
//
// Results are printed as "name=value" lines (seconds and bytes); bench/run collects them.
#include "foundation/Platform.h"

#include <psapi.h>
#include <cstdio>
#include <cstring>
#include <new>
#include <zlib.h>

#include "archive/Archive.h"
#include "archive/StreamInflate.h"
#include "archive/Extraction.h"
#include "archive/ArchiveCatalogs.h"
#include "archive/ArchiveFormat.h"
#include "archive/DirectoryPath.h"
#include "archive/FileBuffer.h"
#include "archive/InflatePipeline.h"
#include "archive/ResourceBuffer.h"
#include "bench/Clock.h"
#include "foundation/MessageCatalog.h"
#include "foundation/PathText.h"
#include "foundation/PlatformError.h"
#include "foundation/ScopedHandle.h"
#include "foundation/WStringArray.h"
#include "tests/archive/InflateCount.h"

namespace {

void PrintValue(const char* name, double value)
{
    std::printf("%s=%.6f\n", name, value);
}

void PrintCount(const char* name, unsigned long long value)
{
    std::printf("%s=%llu\n", name, value);
}

struct Memory {
    unsigned long long workingSet;
    unsigned long long peakWorkingSet;
    unsigned long long privateBytes;
    unsigned long long peakPrivateBytes;
};

Memory ReadMemory()
{
    PROCESS_MEMORY_COUNTERS counters;
    std::memset(&counters, 0, sizeof counters);
    counters.cb = sizeof counters;
    Memory memory = {};
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        memory.workingSet = counters.WorkingSetSize;
        memory.peakWorkingSet = counters.PeakWorkingSetSize;
        memory.privateBytes = counters.PagefileUsage;
        memory.peakPrivateBytes = counters.PeakPagefileUsage;
    }
    return memory;
}

void PrintMemory(const char* prefix, const Memory& memory)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s_ws", prefix);
    PrintCount(name, memory.workingSet);
    std::snprintf(name, sizeof name, "%s_peak_ws", prefix);
    PrintCount(name, memory.peakWorkingSet);
    std::snprintf(name, sizeof name, "%s_private", prefix);
    PrintCount(name, memory.privateBytes);
    std::snprintf(name, sizeof name, "%s_peak_private", prefix);
    PrintCount(name, memory.peakPrivateBytes);
}

const size_t kPage = 4096;

// Bytes of [data, data + size) that are in the working set now.
unsigned long long ResidentBytes(const void* data, size_t size)
{
    const uintptr_t first = reinterpret_cast<uintptr_t>(data) & ~static_cast<uintptr_t>(kPage - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(data) + size;
    const size_t kBatch = 1024;
    PSAPI_WORKING_SET_EX_INFORMATION batch[kBatch];
    unsigned long long resident = 0;
    for (uintptr_t page = first; page < end;) {
        size_t count = 0;
        for (; count < kBatch && page < end; ++count, page += kPage)
            batch[count].VirtualAddress = reinterpret_cast<void*>(page);
        if (!QueryWorkingSetEx(GetCurrentProcess(), batch, static_cast<DWORD>(count * sizeof batch[0])))
            return ~0ull;
        for (size_t i = 0; i < count; ++i)
            resident += batch[i].VirtualAttributes.Valid ? kPage : 0;
    }
    return resident;
}

// The archive as the bench sees it: blocks, directory, and the FILES list with each name's
// record. Built outside every timed part.
struct Block {
    const unsigned char* stream;
    int compressedSize;
    int contentSize;
    size_t contentStart;      // where its content lies in the inflated copy
    double inflateSeconds;    // of the last InflateAll
    double writeSeconds;      // of its files (and their new folders) in the last WriteAll
};

struct Payload {
    const unsigned char* archive;
    int archiveSize;
    Block* blocks;
    int blockCount;
    int largestBlock;
    size_t contentTotal;
    unsigned char* directory;
    WStringArray names;       // FILES list entry names, in order
    int* nameBlock;
    int* nameOffset;          // of the content (stored form + 4)
    int* nameLength;
    unsigned char* uninstall; // the uninstall data file's bytes
    int uninstallSize;

    Payload()
        : archive(nullptr), archiveSize(0), blocks(nullptr), blockCount(0), largestBlock(0), contentTotal(0),
          directory(nullptr), nameBlock(nullptr), nameOffset(nullptr), nameLength(nullptr), uninstall(nullptr),
          uninstallSize(0)
    {
    }
    ~Payload()
    {
        delete[] blocks;
        delete[] directory;
        delete[] nameBlock;
        delete[] nameOffset;
        delete[] nameLength;
        delete[] uninstall;
    }
};

bool Fail(const char* what)
{
    std::fprintf(stderr, "bench_extract: %s\n", what);
    return false;
}

// The list's entry names, split as the extraction splits them.
bool ReadNames(WStringArray* names)
{
    ResourceBuffer list;
    if (list.Open(L"FILES", L"SETUP") != S_OK)
        return Fail("no FILES list");
    const unsigned char* bytes = list.Data();
    const int size = list.Remaining();
    int start = 0;
    for (int i = 0; i <= size; ++i) {
        // Control bytes end a line; Windows-1252 letters from 0x80 up belong to the name, as
        // the extraction reads them.
        if (i < size && bytes[i] >= 32)
            continue;
        if (i > start) {
            const WString line = FromMultiByte(reinterpret_cast<const char*>(bytes + start), i - start, 1252);
            const int arrow = line.Find(WString(L"->"));
            int from = arrow < 0 ? 0 : arrow + 2;
            while (arrow >= 0 && from < line.Length() && line[from] == L' ')
                ++from;
            names->Append(line.Mid(from, line.Length() - from));
        }
        start = i + 1;
    }
    return names->Count() > 0;
}

void AppendUint32(unsigned char* out, int* used, unsigned int value)
{
    for (int i = 0; i < 4; ++i)
        out[(*used)++] = static_cast<unsigned char>(value >> (8 * i));
}

bool LoadPayload(Payload* payload)
{
    ResourceBuffer resource;
    if (resource.Open(L"RESOURCES", L"KZ") != S_OK)
        return Fail("no RESOURCES archive");
    payload->archive = resource.Data();
    payload->archiveSize = resource.Remaining();

    ArchiveFormat::Trailer trailer;
    if (!ArchiveFormat::DecodeTrailer(payload->archive, payload->archiveSize, &trailer))
        return Fail("bad trailer");
    const int64_t dataEnd = trailer.streamOffset - 8;
    for (int64_t offset = 0; offset < dataEnd; ++payload->blockCount)
        offset += ArchiveFormat::kBlockHeaderSize + ArchiveFormat::ReadInt32(payload->archive + offset);
    payload->blocks = new (std::nothrow) Block[static_cast<size_t>(payload->blockCount)];
    if (payload->blocks == nullptr)
        return Fail("out of memory");
    int64_t offset = 0;
    for (int b = 0; b < payload->blockCount; ++b) {
        Block& block = payload->blocks[b];
        block.compressedSize = ArchiveFormat::ReadInt32(payload->archive + offset);
        block.contentSize = ArchiveFormat::ReadInt32(payload->archive + offset + 4);
        block.stream = payload->archive + offset + ArchiveFormat::kBlockHeaderSize;
        block.contentStart = payload->contentTotal;
        block.inflateSeconds = 0;
        block.writeSeconds = 0;
        payload->contentTotal += static_cast<size_t>(block.contentSize);
        if (block.contentSize > payload->largestBlock)
            payload->largestBlock = block.contentSize;
        offset += ArchiveFormat::kBlockHeaderSize + block.compressedSize;
    }

    payload->directory = new (std::nothrow) unsigned char[static_cast<size_t>(trailer.directorySize)];
    if (payload->directory == nullptr)
        return Fail("out of memory");
    uLongf produced = static_cast<uLongf>(trailer.directorySize);
    if (uncompress(payload->directory, &produced, payload->archive + trailer.streamOffset,
                   static_cast<uLong>(trailer.streamSize)) != Z_OK)
        return Fail("directory does not inflate");

    if (!ReadNames(&payload->names))
        return false;
    const int count = payload->names.Count();
    payload->nameBlock = new (std::nothrow) int[static_cast<size_t>(count)];
    payload->nameOffset = new (std::nothrow) int[static_cast<size_t>(count)];
    payload->nameLength = new (std::nothrow) int[static_cast<size_t>(count)];
    if (payload->nameBlock == nullptr || payload->nameOffset == nullptr || payload->nameLength == nullptr)
        return Fail("out of memory");
    int uninstallSize = 4;
    for (int i = 0; i < count; ++i) {
        const WString& name = payload->names.At(i);
        int64_t position = 0;
        ArchiveFormat::Record record;
        bool found = false;
        for (int k = 0; k < trailer.entryCount && !found; ++k) {
            if (!ArchiveFormat::DecodeRecord(payload->directory, trailer.directorySize, &position, &record))
                return Fail("bad directory");
            found = record.nameUnits == name.Length() &&
                    std::memcmp(record.name, name.c_str(), static_cast<size_t>(name.Length()) * 2) == 0;
        }
        if (!found)
            return Fail("a listed name is not in the archive");
        payload->nameBlock[i] = record.block;
        payload->nameOffset[i] = record.offset + ArchiveFormat::kStoredPrefixSize;
        payload->nameLength[i] = record.storedLength - ArchiveFormat::kStoredPrefixSize;
        uninstallSize += 4 + 2 * name.Length();
    }

    // The uninstall data file as the extraction writes it: count, then length and units.
    payload->uninstall = new (std::nothrow) unsigned char[static_cast<size_t>(uninstallSize)];
    if (payload->uninstall == nullptr)
        return Fail("out of memory");
    AppendUint32(payload->uninstall, &payload->uninstallSize, static_cast<unsigned int>(count));
    for (int i = 0; i < count; ++i) {
        const WString& name = payload->names.At(i);
        AppendUint32(payload->uninstall, &payload->uninstallSize, static_cast<unsigned int>(name.Length()));
        std::memcpy(payload->uninstall + payload->uninstallSize, name.c_str(), static_cast<size_t>(name.Length()) * 2);
        payload->uninstallSize += 2 * name.Length();
    }
    return true;
}

// Reads one byte of every page of the archive, so that the timed parts find it in memory.
unsigned TouchArchive(const Payload& payload)
{
    unsigned sum = 0;
    for (int i = 0; i < payload.archiveSize; i += static_cast<int>(kPage))
        sum += payload.archive[i];
    return sum;
}

// Limit, first half: every block inflated once into one reused buffer, nothing written.
bool InflateAll(Payload& payload, unsigned char* buffer, double* seconds)
{
    const double start = Now();
    double last = start;
    for (int b = 0; b < payload.blockCount; ++b) {
        Block& block = payload.blocks[b];
        uLongf produced = static_cast<uLongf>(block.contentSize);
        if (uncompress(buffer, &produced, block.stream, static_cast<uLong>(block.compressedSize)) != Z_OK ||
            produced != static_cast<uLongf>(block.contentSize))
            return Fail("a block does not inflate");
        const double now = Now();
        block.inflateSeconds = now - last;
        last = now;
    }
    *seconds = last - start;
    return true;
}

// Pieces of at most g_writePiece bytes per WriteFile call (0: the whole file in one call).
int g_writePiece = 0;

// When set, WriteWhole hands each written file's handle to closing threads through this port
// instead of closing it itself (the close-off-the-path experiment).
HANDLE g_closePort = nullptr;

DWORD WINAPI CloseHandles(void*)
{
    for (;;) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* overlapped = nullptr;
        if (!GetQueuedCompletionStatus(g_closePort, &bytes, &key, &overlapped, INFINITE) || key == 0)
            return 0;
        const ScopedFile handed(reinterpret_cast<HANDLE>(key));
    }
}

bool WriteWhole(const WString& path, const void* data, int size)
{
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return Fail("CreateFileW failed in the limit");
    const unsigned char* next = static_cast<const unsigned char*>(data);
    bool ok = true;
    for (int rest = size; ok && rest > 0;) {
        const int piece = g_writePiece > 0 && rest > g_writePiece ? g_writePiece : rest;
        DWORD written = 0;
        ok = WriteFile(file.get(), next, static_cast<DWORD>(piece), &written, nullptr) && written == static_cast<DWORD>(piece);
        next += piece;
        rest -= piece;
    }
    // A handle the port took is the closing threads' to close.
    if (g_closePort != nullptr && PostQueuedCompletionStatus(g_closePort, 0, reinterpret_cast<ULONG_PTR>(file.get()), nullptr))
        file.release();
    return ok || Fail("WriteFile failed in the limit");
}

// Limit, second half: the same files from the inflated copy, each written with one call,
// each folder created once; nothing inflated.
bool WriteAll(Payload& payload, const unsigned char* content, const WString& folder, double* seconds)
{
    const double start = Now();
    WStringArray made;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int b = 0; b < payload.blockCount; ++b)
        payload.blocks[b].writeSeconds = 0;
    double last = Now();
    for (int i = 0; i < payload.names.Count(); ++i) {
        const WString path = folder + L"\\" + payload.names.At(i);
        // Each missing folder level of the path, outermost first.
        for (int cut = folder.Length() + 1; cut < path.Length(); ++cut) {
            if (!PathText::IsSeparator(path[cut]))
                continue;
            const WString level = path.Mid(0, cut);
            bool known = false;
            for (int m = made.Count() - 1; m >= 0 && !known; --m)
                known = made.At(m) == level;
            if (!known) {
                CreateDirectoryW(level.c_str(), nullptr);
                made.Append(level);
            }
        }
        const Block& block = payload.blocks[payload.nameBlock[i]];
        if (!WriteWhole(path, content + block.contentStart + payload.nameOffset[i], payload.nameLength[i]))
            return false;
        const double now = Now();
        payload.blocks[payload.nameBlock[i]].writeSeconds += now - last;
        last = now;
    }
    if (!WriteWhole(folder + L"\\Uninstall", payload.uninstall, payload.uninstallSize))
        return false;
    *seconds = Now() - start;
    return true;
}

bool InflateCopy(const Payload& payload, unsigned char* content)
{
    for (int b = 0; b < payload.blockCount; ++b) {
        const Block& block = payload.blocks[b];
        uLongf produced = static_cast<uLongf>(block.contentSize);
        if (uncompress(content + block.contentStart, &produced, block.stream, static_cast<uLong>(block.compressedSize)) != Z_OK)
            return Fail("a block does not inflate");
    }
    return true;
}

// User + kernel time of the whole process so far.
double ProcessCpu()
{
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user))
        return 0;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return static_cast<double>(k.QuadPart + u.QuadPart) / 1e7;
}

double g_extractCpu = 0;

bool Extract(const WString& folder, double* seconds)
{
    const double cpu = ProcessCpu();
    const double start = Now();
    if (ExtractResourceArchive(folder, WString(L"Files")) != S_OK) {
        const WString message = PlatformError::GetMessage();
        std::fprintf(stderr, "bench_extract: extraction failed: %ls\n", message.c_str());
        return false;
    }
    *seconds = Now() - start;
    // Processor time of the process during the extraction: above the wall time when the
    // helper thread inflated while the worker wrote.
    g_extractCpu = ProcessCpu() - cpu;
    return true;
}

// Every listed file is on disk with exactly its entry's bytes (checked after the timing).
int CountVerified(const Payload& payload, const unsigned char* content, const WString& folder)
{
    int verified = 0;
    unsigned char* buffer = new (std::nothrow) unsigned char[static_cast<size_t>(payload.largestBlock) + 1];
    if (buffer == nullptr)
        return 0;
    for (int i = 0; i < payload.names.Count(); ++i) {
        const WString path = folder + L"\\" + payload.names.At(i);
        const ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file)
            continue;
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(payload.nameLength[i]);
        // One byte more than expected, so a longer file shows.
        const BOOL ok = ReadFile(file.get(), buffer, want + 1, &read, nullptr);
        const Block& block = payload.blocks[payload.nameBlock[i]];
        if (ok && read == want &&
            std::memcmp(buffer, content + block.contentStart + payload.nameOffset[i], want) == 0)
            ++verified;
    }
    delete[] buffer;
    return verified;
}

void PrintPayload(const Payload& payload)
{
    PrintCount("files", static_cast<unsigned long long>(payload.names.Count()));
    PrintCount("archive_bytes", static_cast<unsigned long long>(payload.archiveSize));
    PrintCount("content_bytes", payload.contentTotal);
    PrintCount("blocks", static_cast<unsigned long long>(payload.blockCount));
    PrintCount("largest_block", static_cast<unsigned long long>(payload.largestBlock));
}

// What an extraction that writes the files in list order on one thread can reach on two cores,
// from the limit's own per-block times. A block larger than a pipeline piece is one zlib stream:
// one thread inflates it while the other writes it, so it costs the longer of the two. A run of
// small blocks can share its inflating between the threads, but only the writer writes: it
// costs its writing, or half of all its work when inflating is the larger part.
// `streamed` is the streams' inflating alone: no schedule in list order gets below it.
void OrderedBound(const Payload& payload, double* bound, double* streamed)
{
    *bound = 0;
    *streamed = 0;
    double runInflate = 0, runWrite = 0;
    for (int b = 0; b <= payload.blockCount; ++b) {
        const bool small = b < payload.blockCount && !IsLargeBlock(payload.blocks[b].contentSize);
        if (small) {
            runInflate += payload.blocks[b].inflateSeconds;
            runWrite += payload.blocks[b].writeSeconds;
            continue;
        }
        *bound += runWrite > (runInflate + runWrite) / 2 ? runWrite : (runInflate + runWrite) / 2;
        runInflate = runWrite = 0;
        if (b == payload.blockCount)
            break;
        const Block& block = payload.blocks[b];
        *bound += block.inflateSeconds > block.writeSeconds ? block.inflateSeconds : block.writeSeconds;
        *streamed += block.inflateSeconds;
    }
}

int Measure(const WString& folder, bool limitFirst)
{
    Payload payload;
    if (!LoadPayload(&payload))
        return 1;
    PrintPayload(payload);
    PrintCount("touched", TouchArchive(payload) & 1);
    unsigned char* buffer = new (std::nothrow) unsigned char[static_cast<size_t>(payload.largestBlock)];
    unsigned char* content = new (std::nothrow) unsigned char[payload.contentTotal];
    int result = 1;
    double extract = 0, inflate = 0, write = 0, again = 0;
    CreateDirectoryW(folder.c_str(), nullptr);
    const WString extractFolder = folder + L"\\extract";
    const WString limitFolder = folder + L"\\limit";
    if (buffer == nullptr || content == nullptr) {
        Fail("out of memory");
    } else if (InflateCopy(payload, content) &&
               (limitFirst || Extract(extractFolder, &extract)) &&
               InflateAll(payload, buffer, &inflate) && WriteAll(payload, content, limitFolder, &write) &&
               (!limitFirst || Extract(extractFolder, &extract)) &&
               // Over an earlier installation: every large entry goes to a temporary file first.
               Extract(extractFolder, &again)) {
        PrintValue("extract_s", extract);
        PrintValue("again_s", again);
        PrintValue("extract_cpu_s", g_extractCpu);
        PrintValue("inflate_s", inflate);
        PrintValue("write_s", write);
        PrintValue("limit_s", inflate + write);
        PrintValue("ratio", extract / (inflate + write));
        // Two cores: inflating and writing at once can at best halve the serial limit.
        PrintValue("bound_s", (inflate + write) / 2);
        PrintValue("ratio_bound", extract / ((inflate + write) / 2));
        double ordered = 0, streamed = 0;
        OrderedBound(payload, &ordered, &streamed);
        PrintValue("ordered_s", ordered);
        PrintValue("ratio_ordered", extract / ordered);
        PrintValue("streamed_s", streamed);
        PrintValue("streamed_share", streamed / (inflate + write));
        PrintCount("verified", static_cast<unsigned long long>(CountVerified(payload, content, extractFolder)));
        result = 0;
    }
    delete[] buffer;
    delete[] content;
    return result;
}

int ExtractOnly(const WString& folder)
{
    // Nothing of the archive is read before the extraction: the resource is found only to
    // see how much of it the loader already brought in.
    ResourceBuffer resource;
    if (resource.Open(L"RESOURCES", L"KZ") != S_OK)
        return Fail("no RESOURCES archive"), 1;
    const Memory before = ReadMemory();
    const unsigned long long residentBefore = ResidentBytes(resource.Data(), static_cast<size_t>(resource.Remaining()));
    double seconds = 0;
    if (!Extract(folder, &seconds))
        return 1;
    const Memory after = ReadMemory();
    PrintCount("archive_bytes", static_cast<unsigned long long>(resource.Remaining()));
    PrintValue("extract_s", seconds);
    PrintMemory("before", before);
    PrintMemory("after", after);
    PrintCount("archive_resident_before", residentBefore);
    PrintCount("archive_resident_after", ResidentBytes(resource.Data(), static_cast<size_t>(resource.Remaining())));
    return 0;
}

// Forwards to a file and adds up the time spent writing: splits WriteEntry into its inflate
// and its WriteFile parts.
class TimedFile : public ByteStream {
public:
    explicit TimedFile(FileBuffer* file) : file_(file), seconds_(0), calls_(0) {}
    HRESULT WriteBuffer(const void* data, int size) override
    {
        const double start = Now();
        const HRESULT result = file_->WriteBuffer(data, size);
        seconds_ += Now() - start;
        ++calls_;
        return result;
    }
    double Seconds() const { return seconds_; }
    int Calls() const { return calls_; }

private:
    FileBuffer* file_;
    double seconds_;
    int calls_;
};

// The extraction's steps as ExtractResourceArchive takes them, each timed on its own.
int Profile(const WString& folder)
{
    Payload payload;
    if (!LoadPayload(&payload))
        return 1;
    PrintPayload(payload);
    TouchArchive(payload);
    double find = 0, folders = 0, open = 0, entries = 0, close = 0;
    const double start = Now();
    ResourceBuffer resource;
    Archive archive;
    if (resource.Open(L"RESOURCES", L"KZ") != S_OK || archive.Open(resource.Data(), resource.Remaining()) != S_OK)
        return Fail("archive does not open"), 1;
    const double opened = Now();
    const InflateCount::Since blockLoads;
    FileBuffer file;
    TimedFile timed(&file);
    WString madeFolder;
    for (int i = 0; i < payload.names.Count(); ++i) {
        const WString& name = payload.names.At(i);
        Archive::Entry entry;
        double t0 = Now();
        if (archive.Find(name, &entry) != S_OK)
            return Fail("Find failed"), 1;
        double t1 = Now();
        find += t1 - t0;
        const WString target = folder + L"\\" + name;
        int cut = target.Length() - 1;
        while (cut > 0 && !PathText::IsSeparator(target[cut]))
            --cut;
        const WString targetFolder = target.Mid(0, cut);
        if (targetFolder != madeFolder) {
            CreateDirectoryPath(targetFolder);
            madeFolder = targetFolder;
        }
        t0 = Now();
        folders += t0 - t1;
        if (file.OpenWrite(target) != S_OK)
            return Fail("OpenWrite failed"), 1;
        t1 = Now();
        open += t1 - t0;
        bool outFailed = false;
        if (archive.WriteEntry(entry, &timed, &outFailed) != S_OK)
            return Fail("WriteEntry failed"), 1;
        t0 = Now();
        entries += t0 - t1;
        file.Close();
        close += Now() - t0;
    }
    if (archive.FinishStream() != S_OK)
        return Fail("a block fails its check"), 1;
    const double uninstallStart = Now();
    if (file.OpenWrite(folder + L"\\Uninstall") != S_OK || file.WriteStringList(payload.names) != S_OK)
        return Fail("uninstall data not written"), 1;
    file.Close();
    const double end = Now();
    PrintValue("total_s", end - start);
    PrintValue("open_s", opened - start);
    PrintValue("find_s", find);
    PrintValue("folders_s", folders);
    PrintValue("openwrite_s", open);
    PrintValue("entry_inflate_s", entries - timed.Seconds());
    PrintValue("entry_write_s", timed.Seconds());
    PrintCount("write_calls", static_cast<unsigned long long>(timed.Calls()));
    PrintCount("block_loads", static_cast<unsigned long long>(blockLoads.Count()));
    PrintValue("close_s", close);
    PrintValue("uninstall_s", end - uninstallStart);
    unsigned char* buffer = new (std::nothrow) unsigned char[static_cast<size_t>(payload.largestBlock)];
    double inflate = 0;
    const bool inflated = buffer != nullptr && InflateAll(payload, buffer, &inflate);
    delete[] buffer;
    if (!inflated)
        return 1;
    PrintValue("inflate_s", inflate);
    return 0;
}

} // namespace

// Whether closing handles on a small pool of threads pays here: the limit's writing half, with
// each file closed by the writer, and with the handles passed to two closing threads (timed
// until every handle is closed). Alternating, three rounds each.
int ClosePool(const WString& folder)
{
    Payload payload;
    if (!LoadPayload(&payload))
        return 1;
    unsigned char* content = new (std::nothrow) unsigned char[payload.contentTotal];
    if (content == nullptr || !InflateCopy(payload, content))
        return 1;
    CreateDirectoryW(folder.c_str(), nullptr);
    double inlineBest = 1e9, poolBest = 1e9;
    int result = 0;
    for (int round = 0; round < 3 && result == 0; ++round) {
        double seconds = 0;
        if (!WriteAll(payload, content, folder + L"\\inline" + FromInt(round), &seconds))
            result = 1;
        inlineBest = seconds < inlineBest ? seconds : inlineBest;
        const double start = Now();
        {
            const ScopedKernelHandle port(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 2));
            g_closePort = port.get();
            const ScopedKernelHandle threads[2] = {
                ScopedKernelHandle(CreateThread(nullptr, 0, CloseHandles, nullptr, 0, nullptr)),
                ScopedKernelHandle(CreateThread(nullptr, 0, CloseHandles, nullptr, 0, nullptr))};
            if (!WriteAll(payload, content, folder + L"\\pool" + FromInt(round), &seconds))
                result = 1;
            for (int k = 0; k < 2; ++k)
                PostQueuedCompletionStatus(g_closePort, 0, 0, nullptr);
            const HANDLE waited[2] = {threads[0].get(), threads[1].get()};
            WaitForMultipleObjects(2, waited, TRUE, INFINITE);
            g_closePort = nullptr;
        }
        seconds = Now() - start;
        poolBest = seconds < poolBest ? seconds : poolBest;
    }
    PrintValue("close_inline_s", inlineBest);
    PrintValue("close_pool_s", poolBest);
    delete[] content;
    return result;
}

int wmain(int argc, wchar_t** argv)
{
    MessageCatalog::SetSource(&ArchiveCatalogs());
    const WString mode = argc > 1 ? WString(argv[1]) : WString(L"");
    wchar_t piece[16];
    if (GetEnvironmentVariableW(L"KZ_BENCH_WRITE_PIECE", piece, 16) > 0)
        g_writePiece = _wtoi(piece);
    int result = 2;
    if (mode == WString(L"idle")) {
        PrintMemory("idle", ReadMemory());
        result = 0;
    } else if (argc >= 3 && mode == WString(L"measure")) {
        result = Measure(WString(argv[2]), argc > 3 && WString(argv[3]) == WString(L"limit-first"));
    } else if (argc == 3 && mode == WString(L"extract")) {
        result = ExtractOnly(WString(argv[2]));
    } else if (argc == 3 && mode == WString(L"closepool")) {
        result = ClosePool(WString(argv[2]));
    } else if (argc == 3 && mode == WString(L"profile")) {
        result = Profile(WString(argv[2]));
    } else {
        std::fprintf(stderr, "usage: bench_extract measure DIR [limit-first] | extract DIR | profile DIR | closepool DIR | idle\n");
    }
    std::fflush(stdout);
    return result;
}
