#include "bench/Payload.h"

#include "foundation/Platform.h"

#include <cstring>
#include <new>
#include <zlib.h>

#include "archive/Archive.h"
#include "archive/ArchiveFormat.h"
#include "archive/ByteStream.h"
#include "archive/FileList.h"
#include "archive/ResourceBuffer.h"
#include "bench/BenchOutput.h"
#include "foundation/ScopedHandle.h"

namespace {

const int kPage = 4096;

// Collects what is written to it: the uninstall data file's bytes, as the extraction's own
// serialisation makes them.
class MemoryStream : public ByteStream {
public:
    HRESULT WriteBuffer(const void* data, int size) override
    {
        if (used_ + size > capacity_) {
            const int capacity = (used_ + size) * 2;
            unsigned char* grown = new (std::nothrow) unsigned char[static_cast<size_t>(capacity)];
            if (grown == nullptr)
                return E_FAIL;
            if (used_ > 0)
                std::memcpy(grown, bytes_.get(), static_cast<size_t>(used_));
            bytes_.reset(grown);
            capacity_ = capacity;
        }
        std::memcpy(bytes_.get() + used_, data, static_cast<size_t>(size));
        used_ += size;
        return S_OK;
    }
    std::unique_ptr<unsigned char[]> Take(int* size)
    {
        *size = used_;
        return std::move(bytes_);
    }

private:
    std::unique_ptr<unsigned char[]> bytes_;
    int used_ = 0;
    int capacity_ = 0;
};

bool ReadNames(WStringArray* names)
{
    ResourceBuffer list;
    WStringArray lines;
    if (list.Open(L"FILES", L"SETUP") != S_OK || FileList::Read(L"FILES", list.Data(), list.Remaining(), &lines) != S_OK)
        return Fail("no FILES list");
    for (int i = 0; i < lines.Count(); ++i)
        names->Append(FileList::EntryName(lines.At(i)));
    return names->Count() > 0;
}

bool ReadBlocks(Payload* payload)
{
    ArchiveFormat::Trailer trailer;
    if (!ArchiveFormat::DecodeTrailer(payload->archive, payload->archiveSize, &trailer))
        return Fail("bad trailer");
    const int64_t dataEnd = trailer.streamOffset - 8;
    for (int64_t offset = 0; offset < dataEnd; ++payload->blockCount)
        offset += ArchiveFormat::kBlockHeaderSize + ArchiveFormat::ReadInt32(payload->archive + offset);
    payload->blocks.reset(new (std::nothrow) Block[static_cast<size_t>(payload->blockCount)]);
    if (!payload->blocks)
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
    return true;
}

} // namespace

bool LoadPayload(Payload* payload)
{
    ResourceBuffer resource;
    Archive archive;
    if (OpenEmbeddedArchive(resource, archive) != S_OK)
        return Fail("no RESOURCES archive");
    payload->archive = resource.Data();
    payload->archiveSize = resource.Remaining();
    if (!ReadBlocks(payload) || !ReadNames(&payload->names))
        return false;

    // Each name's place, as the archive's own lookup finds it.
    const size_t count = static_cast<size_t>(payload->names.Count());
    payload->nameBlock.reset(new (std::nothrow) int[count]);
    payload->nameOffset.reset(new (std::nothrow) int[count]);
    payload->nameLength.reset(new (std::nothrow) int[count]);
    if (!payload->nameBlock || !payload->nameOffset || !payload->nameLength)
        return Fail("out of memory");
    for (int i = 0; i < payload->names.Count(); ++i) {
        Archive::Entry entry;
        if (archive.Find(payload->names.At(i), &entry) != S_OK)
            return Fail("a listed name is not in the archive");
        payload->nameBlock[i] = entry.block;
        payload->nameOffset[i] = entry.offset + ArchiveFormat::kStoredPrefixSize;
        payload->nameLength[i] = entry.storedLength - ArchiveFormat::kStoredPrefixSize;
    }

    MemoryStream uninstall;
    if (uninstall.WriteStringList(payload->names) != S_OK)
        return Fail("out of memory");
    payload->uninstall = uninstall.Take(&payload->uninstallSize);
    return true;
}

void PrintPayload(const Payload& payload)
{
    PrintCount("files", static_cast<unsigned long long>(payload.names.Count()));
    PrintCount("archive_bytes", static_cast<unsigned long long>(payload.archiveSize));
    PrintCount("content_bytes", payload.contentTotal);
    PrintCount("blocks", static_cast<unsigned long long>(payload.blockCount));
    PrintCount("largest_block", static_cast<unsigned long long>(payload.largestBlock));
}

unsigned TouchArchive(const Payload& payload)
{
    unsigned sum = 0;
    for (int i = 0; i < payload.archiveSize; i += kPage)
        sum += payload.archive[i];
    return sum;
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

int CountVerified(const Payload& payload, const unsigned char* content, const WString& folder)
{
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[static_cast<size_t>(payload.largestBlock) + 1]);
    if (!buffer)
        return 0;
    int verified = 0;
    for (int i = 0; i < payload.names.Count(); ++i) {
        const WString path = folder + L"\\" + payload.names.At(i);
        const ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file)
            continue;
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(payload.nameLength[i]);
        // One byte more than expected, so a longer file shows.
        const BOOL ok = ReadFile(file.get(), buffer.get(), want + 1, &read, nullptr);
        if (ok && read == want && std::memcmp(buffer.get(), payload.ContentOf(content, i), want) == 0)
            ++verified;
    }
    return verified;
}
