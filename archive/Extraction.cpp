#include "archive/Extraction.h"

#include <memory>
#include <new>

#include "archive/Archive.h"
#include "archive/ArchiveFormat.h"
#include "archive/DirectoryPath.h"
#include "archive/FileBuffer.h"
#include "archive/FileList.h"
#include "archive/InflatePipeline.h"
#include "archive/ResourceBuffer.h"
#include "archive/SafeName.h"
#include "archive/TemporaryFiles.h"
#include "foundation/PathText.h"
#include "foundation/PlatformError.h"

namespace {

HRESULT Fail(const wchar_t* key)
{
    PlatformError::SetError(nullptr, key);
    return E_FAIL;
}

// Moves a checked temporary file over its target, for the worker's large blocks and the
// stager's runs alike. Its bytes were flushed when it was written if the target existed. A
// read-only target (the block's check has passed) is replaced too, and keeps its attribute if
// the move still fails.
bool MoveOver(const WString& temporary, const WString& target)
{
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DWORD attributes = 0;
    if (!ClearReadOnly(target, GetLastError(), &attributes))
        return false;
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    const DWORD code = GetLastError();
    SetFileAttributesW(target.c_str(), attributes);
    SetLastError(code);
    return false;
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
            *path = TemporaryFiles::Name(folder, ++made_);
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
            if (!MoveOver(temporaries_.At(i), targets_.At(i))) {
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
    // That block, -1 when no stream of the archive is left open.
    int streamBlock = -1;
    PendingFiles pending;
};

// Everything before the last separator of a path.
WString FolderOf(const WString& path)
{
    int folderEnd = path.Length() - 1;
    while (folderEnd >= 0 && !PathText::IsSeparator(path[folderEnd]))
        --folderEnd;
    return path.Mid(0, folderEnd);
}

// Makes sure the folder of a target exists and returns it.
WString MakeFolder(const WString& target, ExtractState* state)
{
    const WString folder = FolderOf(target);
    if (folder.Length() > 0 && folder != state->madeFolder) {
        CreateDirectoryPath(folder);
        state->madeFolder = folder;
    }
    return folder;
}

// Ends the writing of a file: flushed first when it is to take an existing file's place, so
// that a power cut after the move cannot leave the target without its bytes.
HRESULT FinishFile(FileBuffer& file, bool replaces, const WString& name)
{
    HRESULT result = replaces ? file.Flush() : S_OK;
    if (result == S_OK)
        result = file.Close();
    else
        file.Close();   // the flush's failure is the one to show
    if (result != S_OK)
        PlatformError::AddContext(nullptr, L"fileBuffer.Close", name);
    return result;
}

// Runs the open stream of a large block to its check. A failure names the last file written
// from that block, not the one about to be written.
HRESULT FinishOpenStream(Archive& archive, ExtractState* state)
{
    state->streamBlock = -1;
    if (archive.FinishStream() == S_OK)
        return state->pending.Commit();
    state->pending.Discard();
    PlatformError::AddContext(nullptr, L"archive.Get", state->streamedName);
    return E_FAIL;
}

// The serial extraction of one entry: without a helper thread, and for a run the stager could
// not write.
HRESULT ExtractEntry(Archive& archive, FileBuffer& file, const WString& installFolder, const WString& name,
                     ExtractState* state)
{
    Archive::Entry entry;
    if (archive.Find(name, &entry) != S_OK) {
        PlatformError::AddContext(nullptr, L"archive.Get", name);
        return E_FAIL;
    }
    // Leaving a large block: its check decides before the next file is touched.
    if (state->streamBlock >= 0 && state->streamBlock != entry.block && FinishOpenStream(archive, state) != S_OK)
        return E_FAIL;
    // A small block is inflated and checked before its target is touched.
    Archive::Preparation preparation;
    if (archive.PrepareEntry(entry, &preparation) != S_OK) {
        PlatformError::AddContext(nullptr, L"archive.Get", name);
        return E_FAIL;
    }
    const bool streamed = preparation.streamed;
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
    const HRESULT result = archive.WriteEntry(entry, &file, &fileFailed);
    if (result == S_OK && FinishFile(file, written != target, name) != S_OK) {
        if (streamed)
            DeleteFileW(written.c_str());
        return E_FAIL;
    }
    if (result != S_OK) {
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
    if (!streamed)
        return S_OK;
    state->pending.Add(written, target, name);
    if (!preparation.endsBlock) {
        state->streamBlock = entry.block;
        state->streamedName = name;
        return S_OK;
    }
    // The block's last entry: its stream has ended and passed its check.
    state->streamBlock = -1;
    return state->pending.Commit();
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
    PipelineWriter(InflatePipeline& pipeline, const InflatePipeline::Entry* entries, const WStringArray& names,
                   const WString& installFolder, FileBuffer& file, ExtractState* state, Archive& archive)
        : pipeline_(pipeline), entries_(entries), names_(names), installFolder_(installFolder), file_(file),
          state_(state), archive_(archive), held_(nullptr), staged_(nullptr)
    {
    }

    HRESULT Write(int index)
    {
        const InflatePipeline::Entry& entry = entries_[index];
        const WString& name = names_.At(index);
        // Entries of one small block share its piece.
        const InflatePipeline::Piece* piece = held_;
        const bool inRun = piece != nullptr && piece->kind == InflatePipeline::kStaged && index < piece->to;
        if (!inRun && (piece == nullptr || piece->kind != InflatePipeline::kBlock || piece->block != entry.block)) {
            if (NextData(&piece) != S_OK)
                return E_FAIL;
        }
        if (piece->kind == InflatePipeline::kStaged)
            return WriteStaged(*piece, index);
        if (piece->status != InflatePipeline::kOk || piece->kind == InflatePipeline::kEnd)
            return FailPiece(piece->status == InflatePipeline::kOk ? InflatePipeline::kInvalidData : piece->status, name);
        const ArchiveFormat::Record record = {nullptr, 0, entry.block, entry.offset, entry.storedLength};
        if (piece->kind == InflatePipeline::kBlock && !ArchiveFormat::RecordFitsBlock(record, piece->contentSize))
            return FailPiece(InflatePipeline::kInvalidData, name);
        const WString target = installFolder_ + L"\\" + name;
        const WString folder = MakeFolder(target, state_);
        return piece->kind == InflatePipeline::kBlock ? WriteSmall(*piece, entry, target, name)
                                                      : WriteStreamed(piece, entry, folder, target, name);
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

    // An entry of the stager's run: its file, checked, goes over the target in list order. A
    // run the stager could not write is written here, serially, as without a helper.
    HRESULT WriteStaged(const InflatePipeline::Piece& piece, int index)
    {
        if (index == piece.entry && !pipeline_.AwaitStaged(piece, &staged_))
            staged_ = nullptr;
        const WString& name = names_.At(index);
        if (staged_ == nullptr) {
            if (ExtractEntry(archive_, file_, installFolder_, name, state_) != S_OK)
                return E_FAIL;
            // The run's end: a block still open is checked as when the serial extraction
            // leaves it, naming the last file written from it.
            return index + 1 == piece.to && state_->streamBlock >= 0 ? FinishOpenStream(archive_, state_) : S_OK;
        }
        const WString target = installFolder_ + L"\\" + name;
        MakeFolder(target, state_);
        if (!MoveOver(staged_->At(index - piece.entry), target)) {
            PlatformError::SetSystemError();
            PlatformError::AddContext(nullptr, L"CreateFile.Write", target);
            PlatformError::AddContext(nullptr, L"fileBuffer.OpenWrite", name);
            return E_FAIL;
        }
        return S_OK;
    }

    HRESULT WriteSmall(const InflatePipeline::Piece& piece, const InflatePipeline::Entry& entry,
                       const WString& target, const WString& name)
    {
        if (file_.OpenWrite(target) != S_OK) {
            PlatformError::AddContext(nullptr, L"fileBuffer.OpenWrite", name);
            return E_FAIL;
        }
        const HRESULT written = file_.WriteBuffer(piece.data + entry.offset + ArchiveFormat::kStoredPrefixSize,
                                                  entry.storedLength - ArchiveFormat::kStoredPrefixSize);
        if (written != S_OK) {
            file_.Close();
            PlatformError::AddContext(nullptr, L"fileBuffer.WriteBuffer", name);
            return E_FAIL;
        }
        return FinishFile(file_, false, name);
    }

    // A large block's entry goes to a temporary file until the block's check has passed.
    HRESULT WriteStreamed(const InflatePipeline::Piece* piece, const InflatePipeline::Entry& entry,
                          const WString& folder, const WString& target, const WString& name)
    {
        WString temporary;
        if (state_->pending.OpenWrite(file_, folder, target, &temporary) != S_OK) {
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
        if (result == S_OK)
            result = FinishFile(file_, temporary != target, name);
        else
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
    const InflatePipeline::Entry* entries_;
    const WStringArray& names_;
    const WString& installFolder_;
    FileBuffer& file_;
    ExtractState* state_;
    Archive& archive_;
    const InflatePipeline::Piece* held_;    // taken and not yet released
    const WStringArray* staged_;            // the held run's temporary files; null when unstaged
};

// Processors this process may run on: with one, a helper would only take turns with the worker.
int ProcessorCount()
{
    DWORD_PTR mask = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &mask, &system) || mask == 0) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return static_cast<int>(info.dwNumberOfProcessors);
    }
    int count = 0;
    for (; mask != 0; mask &= mask - 1)
        ++count;
    return count;
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
    const std::unique_ptr<InflatePipeline::Entry[]> plan(
        new (std::nothrow) InflatePipeline::Entry[static_cast<size_t>(names.Count()) + 1]);
    // Private copies of the targets for the stager's thread; declared first, they outlive it.
    WStringArray targets;
    InflatePipeline pipeline;
    int planned = 0;
    bool started = false;
    if (plan && ProcessorCount() > 1 && ArchiveFormat::DecodeTrailer(resource.Data(), resource.Remaining(), &trailer)) {
        planned = PlanEntries(archive, names, plan.get());
        for (int i = 0; i < planned; ++i)
            targets.Append(WString(installFolder.c_str()) + L"\\" + names.At(i).c_str());
        started = pipeline.Start(resource.Data(), trailer.streamOffset - 8, plan.get(), planned, &targets,
                                 installFolder.Length());
    }
    HRESULT result = S_OK;
    if (started) {
        PipelineWriter writer(pipeline, plan.get(), names, installFolder, file, state, archive);
        for (int i = 0; i < planned && result == S_OK; ++i)
            result = writer.Write(i);
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
    // Joined before anything else happens, on every path.
    pipeline.Stop();
    file.Close();
    if (result != S_OK)
        state->pending.Discard();
    return result;
}

bool Contains(const WStringArray& array, const WString& value)
{
    for (int i = 0; i < array.Count(); ++i) {
        if (array.At(i) == value)
            return true;
    }
    return false;
}

} // namespace

bool IsSafeEntryName(const WString& name)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is a UTF-16 unit on Windows");
    return SafeName::Check(reinterpret_cast<const char16_t*>(name.c_str()), static_cast<size_t>(name.Length()),
                           nullptr, nullptr) == SafeName::kSafe;
}

HRESULT ExtractResourceArchive(const WString& installFolder, const WString& listName)
{
    ResourceBuffer listResource;
    if (listResource.Open(listName, L"SETUP") != S_OK)
        return E_FAIL;
    WStringArray lines;
    if (FileList::Read(listName, listResource.Data(), listResource.Remaining(), &lines) != S_OK)
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
        const WString name = FileList::EntryName(lines.At(i));
        if (!IsSafeEntryName(name)) {
            WStringArray parameters;
            parameters.Append(name);
            PlatformError::SetError(nullptr, L"Archive.InvalidName", parameters);
            PlatformError::AddContext(nullptr, L"archive.CheckName", name);
            return E_FAIL;
        }
        names.Append(name);
    }

    // What a killed setup left goes before this run makes temporary files of its own: in the
    // folders about to be written and those above them up to the install folder, where the
    // stager puts the file of a target whose folder is not made yet.
    WStringArray swept;
    for (int i = 0; i < names.Count(); ++i) {
        for (WString folder = FolderOf(installFolder + L"\\" + names.At(i));
             folder.Length() >= installFolder.Length() && !Contains(swept, folder); folder = FolderOf(folder)) {
            TemporaryFiles::RemoveLeftovers(folder);
            swept.Append(folder);   // with every folder above it
        }
    }

    FileBuffer file;
    ExtractState state;
    if (ExtractFiles(archive, archiveResource, installFolder, names, file, &state) != S_OK)
        return E_FAIL;

    const WString uninstallPath = installFolder + L"\\Uninstall";
    if (file.OpenWrite(uninstallPath) != S_OK || file.WriteStringList(names) != S_OK || file.Close() != S_OK) {
        PlatformError::AddContext(nullptr, L"InstallServices.CreateUninstall", uninstallPath);
        return E_FAIL;
    }
    return S_OK;
}
