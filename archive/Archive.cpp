#include "archive/Archive.h"

#include <cstring>
#include <new>
#include <zlib.h>

#include "archive/ArchiveFormat.h"
#include "archive/DirectoryPath.h"
#include "archive/FileBuffer.h"
#include "archive/FilesAhead.h"
#include "archive/InflatePipeline.h"
#include "archive/ResourceBuffer.h"
#include "archive/SafeName.h"
#include "archive/StreamInflate.h"
#include "foundation/PlatformError.h"
#include "foundation/ProductDefinition.h"

namespace {

const int kMaxListLine = 259;
// The file lists and the archive's names are written by the packer in Windows-1252; reading
// them in the same code page finds "è" on every system, whatever its ANSI code page.
const UINT kListCodePage = 1252;

HRESULT Fail(const wchar_t* key)
{
    PlatformError::SetError(nullptr, key);
    return E_FAIL;
}

inline bool IsSeparator(wchar_t unit)
{
    return unit == L'\\' || unit == L'/';
}

} // namespace

Archive::Archive()
    : mode_(0), directory_(nullptr), directorySize_(0), source_(nullptr), sourceSize_(0),
      blockCache_(nullptr), currentBlock_(-1), entryCount_(0), dataEnd_(0), blockCacheSize_(0),
      blockLoads_(0), blockContent_(0), nameIndex_(nullptr), nameIndexMask_(-1), indexedRecords_(0),
      stream_(nullptr), streamBlock_(-1), streamContent_(0), streamProduced_(0), streamEnded_(false),
      window_(nullptr)
{
}

Archive::~Archive()
{
    delete[] directory_;
    delete[] blockCache_;
    delete[] nameIndex_;
    CloseStream();
    delete[] window_;
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
    while (records < entryCount_ && ArchiveFormat::DecodeRecord(directory_, directorySize_, &position, &record))
        ++records;
    indexedRecords_ = records;

    // At most half full, so every probe ends at a free slot soon.
    int64_t slots = 16;
    while (slots < 2 * static_cast<int64_t>(records))
        slots *= 2;
    nameIndex_ = new (std::nothrow) int[static_cast<size_t>(slots)];
    if (nameIndex_ == nullptr)
        return;     // Get walks the directory instead
    std::memset(nameIndex_, 0, static_cast<size_t>(slots) * sizeof(int));
    nameIndexMask_ = static_cast<int>(slots - 1);

    position = 0;
    for (int k = 0; k < records; ++k) {
        const int start = static_cast<int>(position);
        ArchiveFormat::DecodeRecord(directory_, directorySize_, &position, &record);
        const size_t bytes = static_cast<size_t>(record.nameUnits) * 2;
        for (unsigned int slot = HashName(record.name, bytes) & nameIndexMask_;; slot = (slot + 1) & nameIndexMask_) {
            if (nameIndex_[slot] == 0) {
                nameIndex_[slot] = start + 1;
                break;
            }
            int64_t other = nameIndex_[slot] - 1;
            ArchiveFormat::Record existing;
            ArchiveFormat::DecodeRecord(directory_, directorySize_, &other, &existing);
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
    if (nameIndex_ != nullptr) {
        for (unsigned int slot = HashName(wanted, bytes) & nameIndexMask_; nameIndex_[slot] != 0;
             slot = (slot + 1) & nameIndexMask_) {
            int64_t at = nameIndex_[slot] - 1;
            ArchiveFormat::DecodeRecord(directory_, directorySize_, &at, &record);
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
        ArchiveFormat::DecodeRecord(directory_, directorySize_, &at, &record);
        if (record.nameUnits == units && std::memcmp(record.name, wanted, bytes) == 0) {
            *position = start;
            return true;
        }
    }
    return false;
}

HRESULT Archive::Open(const void* data, int size)
{
    if (mode_ != 0)
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

    unsigned char* directory = new (std::nothrow) unsigned char[static_cast<size_t>(trailer.directorySize)];
    if (directory == nullptr)
        return Fail(L"OutOfMemory");
    uLongf produced = static_cast<uLongf>(trailer.directorySize);
    const int result = uncompress(directory, &produced, bytes + trailer.streamOffset,
                                  static_cast<uLong>(trailer.streamSize));
    if (result != Z_OK || produced != static_cast<uLongf>(trailer.directorySize)) {
        delete[] directory;
        return Fail(L"Archive.InvalidData");
    }

    directory_ = directory;
    directorySize_ = trailer.directorySize;
    entryCount_ = trailer.entryCount;
    source_ = bytes;
    sourceSize_ = size;
    dataEnd_ = static_cast<int>(trailer.streamOffset - 8);
    BuildNameIndex();
    mode_ = 1;
    return S_OK;
}

HRESULT Archive::Get(const WString& name, const void** content, int* length)
{
    if (content != nullptr)
        *content = nullptr;
    if (length != nullptr)
        *length = 0;
    if (mode_ != 1)
        return Fail(L"Archive.NotOpen");

    int position = 0;
    bool directoryCut = false;
    if (!FindRecord(name, &position, &directoryCut)) {
        // A name not among the records before the directory ends may be in the part cut off.
        return Fail(directoryCut ? L"Archive.InvalidData" : L"Archive.NotFound");
    }
    ArchiveFormat::Record record;
    int64_t at = position;
    ArchiveFormat::DecodeRecord(directory_, directorySize_, &at, &record);
    if (record.block < 0)
        return Fail(L"Archive.NotFound");
    const HRESULT loaded = LoadBlock(record);
    if (loaded != S_OK)
        return loaded;

    if (content != nullptr)
        *content = blockCache_ + record.offset + ArchiveFormat::kStoredPrefixSize;
    if (length != nullptr)
        *length = record.storedLength - ArchiveFormat::kStoredPrefixSize;
    return S_OK;
}

// Brings the record's block into the block cache whole, unless it is there already.
HRESULT Archive::LoadBlock(const ArchiveFormat::Record& record)
{
    if (record.block != currentBlock_) {
        ArchiveFormat::BlockHeader header;
        if (!ArchiveFormat::LocateBlock(source_, dataEnd_, record.block, &header) ||
            !ArchiveFormat::RecordFitsBlock(record, header.contentSize))
            return Fail(L"Archive.InvalidData");
        currentBlock_ = -1;
        if (header.contentSize > blockCacheSize_) {
            delete[] blockCache_;
            blockCacheSize_ = 0;
            blockCache_ = new (std::nothrow) unsigned char[static_cast<size_t>(header.contentSize)];
            if (blockCache_ == nullptr)
                return Fail(L"OutOfMemory");
            blockCacheSize_ = header.contentSize;
        }
        ++blockLoads_;
        uLongf produced = static_cast<uLongf>(header.contentSize);
        const int result = uncompress(blockCache_, &produced, source_ + header.offset + ArchiveFormat::kBlockHeaderSize,
                                      static_cast<uLong>(header.compressedSize));
        if (result != Z_OK || produced != static_cast<uLongf>(header.contentSize))
            return Fail(L"Archive.InvalidData");
        currentBlock_ = record.block;
        blockContent_ = header.contentSize;
    } else if (!ArchiveFormat::RecordFitsBlock(record, blockContent_)) {
        return Fail(L"Archive.InvalidData");
    }
    return S_OK;
}

HRESULT Archive::Find(const WString& name, Entry* entry)
{
    entry->block = -1;
    entry->offset = 0;
    entry->storedLength = 0;
    if (mode_ != 1)
        return Fail(L"Archive.NotOpen");
    int position = 0;
    bool directoryCut = false;
    if (!FindRecord(name, &position, &directoryCut))
        return Fail(directoryCut ? L"Archive.InvalidData" : L"Archive.NotFound");
    ArchiveFormat::Record record;
    int64_t at = position;
    ArchiveFormat::DecodeRecord(directory_, directorySize_, &at, &record);
    if (record.block < 0)
        return Fail(L"Archive.NotFound");
    entry->block = record.block;
    entry->offset = record.offset;
    entry->storedLength = record.storedLength;
    return S_OK;
}

HRESULT Archive::WriteEntry(const Entry& entry, ByteStream* out, bool* outFailed)
{
    *outFailed = false;
    if (mode_ != 1)
        return Fail(L"Archive.NotOpen");
    const ArchiveFormat::Record record = {nullptr, 0, entry.block, entry.offset, entry.storedLength};
    const int length = entry.storedLength - ArchiveFormat::kStoredPrefixSize;
    if (entry.block != currentBlock_) {
        ArchiveFormat::BlockHeader header;
        if (!ArchiveFormat::LocateBlock(source_, dataEnd_, entry.block, &header) ||
            !ArchiveFormat::RecordFitsBlock(record, header.contentSize))
            return Fail(L"Archive.InvalidData");
        if (header.contentSize > kStreamWindow)
            return StreamEntry(record, header, out, outFailed);
    }
    // A small block, or one cached already: written from the block cache as Get serves it.
    const HRESULT loaded = LoadBlock(record);
    if (loaded != S_OK)
        return loaded;
    if (out->WriteBuffer(blockCache_ + entry.offset + ArchiveFormat::kStoredPrefixSize, length) != S_OK) {
        *outFailed = true;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT Archive::PrepareEntry(const Entry& entry, bool* streamed)
{
    *streamed = false;
    if (mode_ != 1)
        return Fail(L"Archive.NotOpen");
    const ArchiveFormat::Record record = {nullptr, 0, entry.block, entry.offset, entry.storedLength};
    if (entry.block != currentBlock_) {
        ArchiveFormat::BlockHeader header;
        if (!ArchiveFormat::LocateBlock(source_, dataEnd_, entry.block, &header) ||
            !ArchiveFormat::RecordFitsBlock(record, header.contentSize))
            return Fail(L"Archive.InvalidData");
        if (header.contentSize > kStreamWindow) {
            *streamed = true;
            return S_OK;
        }
    }
    return LoadBlock(record);
}

// Inflates the next count bytes of the open stream into the window. Returns count, or -1 when
// the stream fails or ends before them (the stream is then closed).
int Archive::InflateWindow(int count)
{
    if (InflateExactly(stream_, window_, count, &streamEnded_) != count) {
        CloseStream();
        return -1;
    }
    streamProduced_ += count;
    return count;
}

HRESULT Archive::StreamEntry(const ArchiveFormat::Record& record, const ArchiveFormat::BlockHeader& header,
                             ByteStream* out, bool* outFailed)
{
    // RecordFitsBlock held: both lie inside the block's content, so they fit an int.
    const int start = record.offset + ArchiveFormat::kStoredPrefixSize;
    const int end = record.offset + record.storedLength;
    // An open stream serves this entry only when it is that block's and not yet past the start.
    if (stream_ != nullptr && (streamBlock_ != record.block || streamProduced_ > start) && FinishStream() != S_OK)
        return E_FAIL;
    if (stream_ == nullptr) {
        if (window_ == nullptr)
            window_ = new (std::nothrow) unsigned char[kStreamWindow];
        z_stream* stream = window_ != nullptr ? new (std::nothrow) z_stream : nullptr;
        if (stream == nullptr)
            return Fail(L"OutOfMemory");
        std::memset(stream, 0, sizeof *stream);
        stream->next_in = const_cast<Bytef*>(source_ + header.offset + ArchiveFormat::kBlockHeaderSize);
        stream->avail_in = static_cast<uInt>(header.compressedSize);
        if (inflateInit(stream) != Z_OK) {
            delete stream;
            return Fail(L"OutOfMemory");
        }
        stream_ = stream;
        streamBlock_ = record.block;
        streamContent_ = header.contentSize;
        streamProduced_ = 0;
        streamEnded_ = false;
        ++blockLoads_;
    }
    while (streamProduced_ < end) {
        // Never past the entry's end: what follows belongs to the next entry of the block.
        const long long to = streamProduced_ < start ? start : end;
        const int count = to - streamProduced_ < kStreamWindow ? static_cast<int>(to - streamProduced_) : kStreamWindow;
        const bool wanted = streamProduced_ >= start;
        if (InflateWindow(count) < 0)
            return Fail(L"Archive.InvalidData");
        if (wanted && out->WriteBuffer(window_, count) != S_OK) {
            CloseStream();
            *outFailed = true;
            return E_FAIL;
        }
    }
    // The block's last entry: its end is the stream's end, which holds the check.
    return end == streamContent_ ? FinishStream() : S_OK;
}

HRESULT Archive::FinishStream()
{
    if (stream_ == nullptr)
        return S_OK;
    const bool whole = InflateToEnd(stream_, window_, kStreamWindow, streamContent_, &streamProduced_,
                                    &streamEnded_);
    CloseStream();
    return whole ? S_OK : Fail(L"Archive.InvalidData");
}

void Archive::CloseStream()
{
    if (stream_ != nullptr) {
        inflateEnd(stream_);
        delete stream_;
        stream_ = nullptr;
    }
    streamBlock_ = -1;
}

HRESULT GetPackagedVersion(WString* version)
{
    if (version == nullptr)
        return E_FAIL;
    version->Clear();

    ResourceBuffer resource;
    if (resource.Open(L"RESOURCES", L"KZ") != S_OK)
        return E_FAIL;
    Archive archive;
    if (archive.Open(resource.Data(), resource.Remaining()) != S_OK)
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

bool IsSafeEntryName(const WString& name)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is a UTF-16 unit on Windows");
    return SafeName::Check(reinterpret_cast<const char16_t*>(name.c_str()), static_cast<size_t>(name.Length()),
                           nullptr, nullptr) == SafeName::kSafe;
}

namespace {

// Splits a list resource into lines: every control byte (CR, LF, ...) ends a line, empty lines
// are skipped, and text after the last line break is a line too. A line over the limit is
// refused rather than cut, since a cut name would extract a different file.
HRESULT ReadFileList(const WString& listName, const unsigned char* bytes, int size, WStringArray* lines)
{
    char line[kMaxListLine + 1];
    int used = 0;
    int lineNumber = 1;
    for (int i = 0; i <= size; ++i) {
        const bool end = i == size || bytes[i] < 32;
        if (!end) {
            if (used == kMaxListLine) {
                WStringArray parameters;
                parameters.Append(listName);
                parameters.Append(FromInt(lineNumber));
                PlatformError::SetError(nullptr, L"Archive.ListLineTooLong", parameters);
                return E_FAIL;
            }
            line[used++] = static_cast<char>(bytes[i]);
            continue;
        }
        if (used > 0)
            lines->Append(FromMultiByte(line, used, kListCodePage));
        used = 0;
        if (i < size && bytes[i] == '\n')
            ++lineNumber;
    }
    return S_OK;
}

// "source -> target" names the entry target (leading spaces dropped); a line without "->"
// is the entry name itself.
WString EntryName(const WString& line)
{
    const int arrow = line.Find(WString(L"->"));
    if (arrow < 0)
        return line;
    int start = arrow + 2;
    const wchar_t* text = line.c_str();
    while (start < line.Length() && text[start] == L' ')
        ++start;
    return line.Mid(start, line.Length() - start);
}

// Files of a large block, whose check comes only at its stream's end: an existing file is
// replaced only by checked bytes. A target that does not exist yet is written in place (there
// is nothing to lose, and no rename to pay) and removed if the check fails; an existing one
// gets a temporary file beside it, moved over it once the check has passed.
class PendingFiles {
public:
    PendingFiles() : made_(0) {}
    ~PendingFiles() { Discard(); }

    // Opens the file to write the target's bytes to: *path is the target itself when it did
    // not exist, else a new temporary file in its folder. A failure is recorded as the
    // target's, since that is the file the user knows.
    HRESULT OpenWrite(FileBuffer& file, const WString& folder, const WString& target, WString* path)
    {
        bool exists = false;
        *path = target;
        if (file.OpenNew(target, target, &exists) == S_OK)
            return S_OK;
        if (!exists)
            return E_FAIL;
        for (int attempt = 0; attempt < 1000; ++attempt) {
            wchar_t suffix[40];
            wsprintfW(suffix, L"\\~kz%lx-%x.tmp", GetCurrentProcessId(), ++made_);
            *path = folder + suffix;
            if (file.OpenNew(*path, target, &exists) == S_OK)
                return S_OK;
            if (!exists)
                return E_FAIL;
        }
        PlatformError::SetSystemError(ERROR_FILE_EXISTS);
        PlatformError::AddContext(nullptr, L"CreateFile.Write", target);
        return E_FAIL;
    }
    void Add(const WString& temporary, const WString& target, const WString& name)
    {
        temporaries_.Append(temporary);
        targets_.Append(target);
        names_.Append(name);
    }
    // The block's check has passed: each temporary file replaces its target, in list order.
    HRESULT Commit()
    {
        HRESULT result = S_OK;
        int i = 0;
        for (; i < temporaries_.Count() && result == S_OK; ++i) {
            if (temporaries_.At(i) == targets_.At(i))
                continue;   // written in place
            if (!MoveFileExW(temporaries_.At(i).c_str(), targets_.At(i).c_str(), MOVEFILE_REPLACE_EXISTING)) {
                PlatformError::SetSystemError();
                PlatformError::AddContext(nullptr, L"CreateFile.Write", targets_.At(i));
                PlatformError::AddContext(nullptr, L"fileBuffer.OpenWrite", names_.At(i));
                DeleteFileW(temporaries_.At(i).c_str());
                result = E_FAIL;
            }
        }
        for (; i < temporaries_.Count(); ++i)
            DeleteFileW(temporaries_.At(i).c_str());
        Clear();
        return result;
    }
    // The check failed, or the extraction stopped before it: no unchecked byte replaces a file.
    void Discard()
    {
        for (int i = 0; i < temporaries_.Count(); ++i)
            DeleteFileW(temporaries_.At(i).c_str());
        Clear();
    }

private:
    void Clear()
    {
        temporaries_.Clear();
        targets_.Clear();
        names_.Clear();
    }
    WStringArray temporaries_;
    WStringArray targets_;
    WStringArray names_;
    unsigned int made_;
};

// What the extraction carries from one file to the next.
struct ExtractState {
    // The folder made sure of for the previous file: a list runs folder by folder, so most
    // files need no look at the disk for their folder.
    WString madeFolder;
    // The last file written from the large block whose stream is still open: that stream's
    // check vouches for it, so a check that fails later names it.
    WString streamedName;
    PendingFiles pending;
};

// Makes sure the folder of a target exists and returns it.
WString MakeFolder(const WString& target, ExtractState* state)
{
    int folderEnd = target.Length() - 1;
    while (folderEnd >= 0 && !IsSeparator(target[folderEnd]))
        --folderEnd;
    const WString folder = target.Mid(0, folderEnd);
    if (folderEnd > 0 && folder != state->madeFolder) {
        CreateDirectoryPath(folder);
        state->madeFolder = folder;
    }
    return folder;
}

// Runs the open stream of a large block to its check. A failure names the last file written
// from that block, not the one about to be written.
HRESULT FinishOpenStream(Archive& archive, ExtractState* state)
{
    if (archive.FinishStream() == S_OK)
        return state->pending.Commit();
    state->pending.Discard();
    PlatformError::AddContext(nullptr, L"archive.Get", state->streamedName);
    return E_FAIL;
}

// The pipeline takes a block as small exactly when the serial extraction does.
static_assert(InflatePipeline::kPieceSize == Archive::kStreamWindow, "one size for small blocks and windows");

HRESULT FailPiece(InflatePipeline::Status status, const WString& name)
{
    Fail(status == InflatePipeline::kOutOfMemory ? L"OutOfMemory" : L"Archive.InvalidData");
    PlatformError::AddContext(nullptr, L"archive.Get", name);
    return E_FAIL;
}

// The worker's side of the pipeline: the files in list order, each from the pieces the helper
// inflated for it, with every failure recorded here as the serial extraction records it.
class PipelineWriter {
public:
    PipelineWriter(InflatePipeline& pipeline, FilesAhead& ahead, const InflatePipeline::Entry* entries,
                   const WStringArray& names, const WString& installFolder, FileBuffer& file, ExtractState* state)
        : pipeline_(pipeline), ahead_(ahead), entries_(entries), names_(names), installFolder_(installFolder),
          file_(file), state_(state), held_(nullptr), reached_(-1)
    {
    }

    // The last entry whose folder was made in its turn.
    int Reached() const { return reached_; }

    HRESULT Write(int index)
    {
        const InflatePipeline::Entry& entry = entries_[index];
        const WString& name = names_.At(index);
        // Entries of one small block share its piece.
        const InflatePipeline::Piece* piece = held_;
        if (piece == nullptr || piece->kind != InflatePipeline::kBlock || piece->block != entry.block) {
            if (NextData(&piece) != S_OK)
                return E_FAIL;
        }
        if (piece->status != InflatePipeline::kOk || piece->kind == InflatePipeline::kEnd)
            return FailPiece(piece->status == InflatePipeline::kOk ? InflatePipeline::kInvalidData : piece->status, name);
        const ArchiveFormat::Record record = {nullptr, 0, entry.block, entry.offset, entry.storedLength};
        if (piece->kind == InflatePipeline::kBlock && !ArchiveFormat::RecordFitsBlock(record, piece->contentSize))
            return FailPiece(InflatePipeline::kInvalidData, name);
        const WString target = installFolder_ + L"\\" + name;
        const WString folder = MakeFolder(target, state_);
        reached_ = index;
        return piece->kind == InflatePipeline::kBlock ? WriteSmall(*piece, index, target, name)
                                                      : WriteStreamed(piece, index, folder, target, name);
    }

    // After the last entry: the checks still to come, up to the helper's end.
    HRESULT Finish()
    {
        const InflatePipeline::Piece* piece = nullptr;
        if (NextData(&piece) != S_OK)
            return E_FAIL;
        return piece->kind == InflatePipeline::kEnd && piece->status == InflatePipeline::kOk
                   ? S_OK
                   : FailPiece(InflatePipeline::kInvalidData, names_.At(names_.Count() - 1));
    }

private:
    // Takes the next piece that carries data, handling the checks of large blocks on the way.
    HRESULT NextData(const InflatePipeline::Piece** next)
    {
        if (held_ != nullptr) {
            pipeline_.Release();
            held_ = nullptr;
        }
        for (;;) {
            const InflatePipeline::Piece& piece = pipeline_.Take();
            held_ = &piece;
            if (piece.kind != InflatePipeline::kCheck) {
                *next = &piece;
                return S_OK;
            }
            // The block's check decides before the next file is touched.
            HRESULT result = S_OK;
            if (piece.status == InflatePipeline::kOk) {
                result = state_->pending.Commit();
            } else {
                state_->pending.Discard();
                result = FailPiece(piece.status, names_.At(piece.entry));
            }
            pipeline_.Release();
            held_ = nullptr;
            if (result != S_OK)
                return result;
        }
    }

    HRESULT WriteSmall(const InflatePipeline::Piece& piece, int index, const WString& target, const WString& name)
    {
        const InflatePipeline::Entry& entry = entries_[index];
        HANDLE created = ahead_.Take(index);
        if (created != nullptr)
            file_.Adopt(created);
        else if (file_.OpenWrite(target) != S_OK) {
            PlatformError::AddContext(nullptr, L"fileBuffer.OpenWrite", name);
            return E_FAIL;
        }
        const HRESULT written = file_.WriteBuffer(piece.data + entry.offset + ArchiveFormat::kStoredPrefixSize,
                                                  entry.storedLength - ArchiveFormat::kStoredPrefixSize);
        file_.Close();
        if (written != S_OK) {
            PlatformError::AddContext(nullptr, L"fileBuffer.WriteBuffer", name);
            return E_FAIL;
        }
        return S_OK;
    }

    // A large block's entry goes to a temporary file until the block's check has passed.
    HRESULT WriteStreamed(const InflatePipeline::Piece* piece, int index, const WString& folder, const WString& target,
                          const WString& name)
    {
        const InflatePipeline::Entry& entry = entries_[index];
        // A file created ahead is a new target, written in place.
        WString temporary = target;
        HANDLE created = ahead_.Take(index);
        if (created != nullptr)
            file_.Adopt(created);
        else if (state_->pending.OpenWrite(file_, folder, target, &temporary) != S_OK) {
            PlatformError::AddContext(nullptr, L"fileBuffer.OpenWrite", name);
            return E_FAIL;
        }
        const long long end = static_cast<long long>(entry.offset) + entry.storedLength;
        HRESULT result = S_OK;
        for (;;) {
            if (piece->status != InflatePipeline::kOk) {
                result = FailPiece(piece->status, name);
                break;
            }
            if (piece->wanted &&
                file_.WriteBuffer(piece->data, static_cast<int>(piece->to - piece->from)) != S_OK) {
                PlatformError::AddContext(nullptr, L"fileBuffer.WriteBuffer", name);
                result = E_FAIL;
                break;
            }
            if (piece->wanted && piece->to == end)
                break;
            pipeline_.Release();
            piece = &pipeline_.Take();
            held_ = piece;
        }
        file_.Close();
        if (result != S_OK) {
            // Best effort: the error already recorded is the one to show.
            DeleteFileW(temporary.c_str());
            return result;
        }
        state_->pending.Add(temporary, target, name);
        return S_OK;
    }

    InflatePipeline& pipeline_;
    FilesAhead& ahead_;
    const InflatePipeline::Entry* entries_;
    const WStringArray& names_;
    const WString& installFolder_;
    FileBuffer& file_;
    ExtractState* state_;
    const InflatePipeline::Piece* held_;    // taken and not yet released
    int reached_;
};

// The serial extraction of one entry, for when no helper thread can be had.
HRESULT ExtractEntry(Archive& archive, FileBuffer& file, const WString& installFolder, const WString& name,
                     ExtractState* state)
{
    Archive::Entry entry;
    if (archive.Find(name, &entry) != S_OK) {
        PlatformError::AddContext(nullptr, L"archive.Get", name);
        return E_FAIL;
    }
    // Leaving a large block: its check decides before the next file is touched.
    const int openBlock = archive.OpenStreamBlock();
    if (openBlock >= 0 && openBlock != entry.block && FinishOpenStream(archive, state) != S_OK)
        return E_FAIL;
    // A small block is inflated and checked before its target is touched.
    bool streamed = false;
    if (archive.PrepareEntry(entry, &streamed) != S_OK) {
        PlatformError::AddContext(nullptr, L"archive.Get", name);
        return E_FAIL;
    }
    const WString target = installFolder + L"\\" + name;
    const WString folder = MakeFolder(target, state);
    // A large block's entry goes to a temporary file until the block's check has passed.
    WString written = target;
    const HRESULT opened = streamed ? state->pending.OpenWrite(file, folder, target, &written)
                                    : file.OpenWrite(target);
    if (opened != S_OK) {
        PlatformError::AddContext(nullptr, L"fileBuffer.OpenWrite", name);
        return E_FAIL;
    }
    // Written straight from the block cache, or from the inflate window for a large block:
    // no copy of the content, and no large file held whole in memory.
    bool fileFailed = false;
    if (archive.WriteEntry(entry, &file, &fileFailed) != S_OK) {
        file.Close();
        if (fileFailed) {
            PlatformError::AddContext(nullptr, L"fileBuffer.WriteBuffer", name);
            if (streamed)
                DeleteFileW(written.c_str());
        } else {
            // The block did not inflate: no part-written file stays behind as if extracted.
            // Its removal is best effort; the error already recorded is the one to show.
            DeleteFileW(written.c_str());
            PlatformError::AddContext(nullptr, L"archive.Get", name);
        }
        return E_FAIL;
    }
    file.Close();
    if (!streamed)
        return S_OK;
    state->pending.Add(written, target, name);
    if (archive.OpenStreamBlock() == entry.block) {
        state->streamedName = name;
        return S_OK;
    }
    // The block's last entry: its stream has ended and passed its check.
    return state->pending.Commit();
}

// Every entry's place, in list order, up to the first name the archive does not have (which
// fails again, and is recorded, when its turn comes).
int PlanEntries(Archive& archive, const WStringArray& names, InflatePipeline::Entry* plan)
{
    int planned = 0;
    Archive::Entry entry;
    while (planned < names.Count() && archive.Find(names.At(planned), &entry) == S_OK) {
        plan[planned].block = entry.block;
        plan[planned].offset = entry.offset;
        plan[planned].storedLength = entry.storedLength;
        ++planned;
    }
    return planned;
}

HRESULT ExtractFiles(Archive& archive, const ResourceBuffer& resource, const WString& installFolder,
                     const WStringArray& names, FileBuffer& file, ExtractState* state)
{
    ArchiveFormat::Trailer trailer;
    InflatePipeline::Entry* plan = new (std::nothrow) InflatePipeline::Entry[static_cast<size_t>(names.Count()) + 1];
    InflatePipeline pipeline;
    // The targets in list order, created ahead by whichever thread would otherwise wait.
    WStringArray targets;
    FilesAhead ahead;
    int planned = 0;
    bool started = false;
    if (plan != nullptr && ArchiveFormat::DecodeTrailer(resource.Data(), resource.Remaining(), &trailer)) {
        planned = PlanEntries(archive, names, plan);
        for (int i = 0; i < planned; ++i)
            targets.Append(installFolder + L"\\" + names.At(i));
        ahead.Start(&targets);
        pipeline.SetIdleStep(FilesAhead::CreateNextOf, &ahead);
        started = pipeline.Start(resource.Data(), trailer.streamOffset - 8, plan, planned);
    }
    HRESULT result = S_OK;
    int reached = names.Count() - 1;
    if (started) {
        PipelineWriter writer(pipeline, ahead, plan, names, installFolder, file, state);
        for (int i = 0; i < planned && result == S_OK; ++i)
            result = writer.Write(i);
        reached = writer.Reached();
        if (result == S_OK && planned < names.Count()) {
            Archive::Entry entry;
            archive.Find(names.At(planned), &entry);
            PlatformError::AddContext(nullptr, L"archive.Get", names.At(planned));
            result = E_FAIL;
        }
        if (result == S_OK)
            result = writer.Finish();
    } else {
        // No helper thread: the same work, inflating and writing in turn.
        for (int i = 0; i < names.Count() && result == S_OK; ++i)
            result = ExtractEntry(archive, file, installFolder, names.At(i), state);
        // A large block whose last entry is not in the list is still open: its check decides too.
        if (result == S_OK)
            result = FinishOpenStream(archive, state);
    }
    // Joined before anything else happens, on every path; then what was made ahead of a
    // failure goes.
    pipeline.Stop();
    ahead.Abandon(result == S_OK ? names.Count() : reached + 1);
    file.Close();
    if (result != S_OK)
        state->pending.Discard();
    delete[] plan;
    return result;
}

} // namespace

HRESULT ExtractResourceArchive(const WString& installFolder, const WString& listName)
{
    ResourceBuffer listResource;
    if (listResource.Open(listName, L"SETUP") != S_OK)
        return E_FAIL;
    WStringArray lines;
    if (ReadFileList(listName, listResource.Data(), listResource.Remaining(), &lines) != S_OK)
        return E_FAIL;

    ResourceBuffer archiveResource;
    if (archiveResource.Open(L"RESOURCES", L"KZ") != S_OK)
        return E_FAIL;
    Archive archive;
    if (archive.Open(archiveResource.Data(), archiveResource.Remaining()) != S_OK)
        return E_FAIL;

    // Every name is checked before the first file is written: a name that would leave the
    // install folder stops the extraction with nothing written for it.
    WStringArray names;
    for (int i = 0; i < lines.Count(); ++i) {
        const WString name = EntryName(lines.At(i));
        if (!IsSafeEntryName(name)) {
            WStringArray parameters;
            parameters.Append(name);
            PlatformError::SetError(nullptr, L"Archive.InvalidName", parameters);
            PlatformError::AddContext(nullptr, L"archive.CheckName", name);
            return E_FAIL;
        }
        names.Append(name);
    }

    FileBuffer file;
    ExtractState state;
    if (ExtractFiles(archive, archiveResource, installFolder, names, file, &state) != S_OK)
        return E_FAIL;

    const WString uninstallPath = installFolder + L"\\Uninstall";
    if (file.OpenWrite(uninstallPath) != S_OK || file.WriteStringList(names) != S_OK) {
        file.Close();
        PlatformError::AddContext(nullptr, L"InstallServices.CreateUninstall", uninstallPath);
        return E_FAIL;
    }
    file.Close();
    return S_OK;
}
