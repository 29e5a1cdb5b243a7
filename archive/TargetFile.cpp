#include "archive/TargetFile.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "archive/TemporaryFiles.h"
#include "foundation/PathText.h"
#include "foundation/PlatformError.h"

namespace {

// One count for the whole process: the worker and the stager never pick the same name.
volatile LONG g_made = 0;

// The one open for writing: CREATE_NEW for a file to write, OPEN_EXISTING for a finished one
// to put in place. DELETE: a temporary file is moved over its target by its handle.
HANDLE OpenForWriting(const WString& path, DWORD disposition = CREATE_NEW)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Moves the open file over target: by its handle, one call where a move by name opens the file
// again. ERROR_SUCCESS or the system's reason.
DWORD RenameByHandle(HANDLE file, const WString& target)
{
    const DWORD nameBytes = static_cast<DWORD>(target.Length()) * sizeof(wchar_t);
    const DWORD size = static_cast<DWORD>(sizeof(FILE_RENAME_INFO)) + nameBytes;
    const std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]());
    if (!buffer)
        return ERROR_NOT_ENOUGH_MEMORY;
    FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.get());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = nameBytes;
    memcpy(info->FileName, target.c_str(), nameBytes);    // the zeroed unit after it ends it
    return SetFileInformationByHandle(file, FileRenameInfo, info, size) ? ERROR_SUCCESS : GetLastError();
}

bool IsFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExists(DWORD code)
{
    return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
}

WString FolderOf(const WString& path)
{
    int end = path.Length() - 1;
    while (end >= 0 && !PathText::IsSeparator(path[end]))
        --end;
    return end > 0 ? path.Mid(0, end) : WString(L".");
}

} // namespace

bool TargetFile::Fail(Step step, DWORD error)
{
    failed_ = step;
    error_ = error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
    Discard();
    return false;
}

bool TargetFile::Open(const WString& target, const WString& stagingFolder, bool likelyExists)
{
    Discard();
    // A private copy: the stager's thread must not share the caller's text.
    target_ = WString(target.c_str(), target.Length());
    failed_ = kNone;
    error_ = ERROR_SUCCESS;
    flushed_ = false;
    // Over an earlier installation most targets exist: a look (no open) finds which.
    DWORD attributes = stagingFolder.Length() > 0 || likelyExists ? GetFileAttributesW(target_.c_str())
                                                                    : INVALID_FILE_ATTRIBUTES;
    replaces_ = attributes != INVALID_FILE_ATTRIBUTES;
    if (stagingFolder.Length() == 0 && !replaces_) {
        // Most targets of a fresh install do not exist: one call makes them.
        file_.reset(OpenForWriting(target_));
        if (file_) {
            written_ = target_;
            return true;
        }
        const DWORD code = GetLastError();
        if (!IsExists(code))
            return Fail(kOpen, code);
        attributes = GetFileAttributesW(target_.c_str());
        replaces_ = true;
    }
    // A folder in the way is refused as writing over it would be.
    if (IsFolder(attributes))
        return Fail(kOpen, ERROR_ACCESS_DENIED);
    return OpenTemporary(stagingFolder.Length() > 0 ? stagingFolder : FolderOf(target_));
}

bool TargetFile::OpenTemporary(const WString& folder)
{
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const WString path = TemporaryFiles::Name(folder, static_cast<unsigned int>(InterlockedIncrement(&g_made)));
        file_.reset(OpenForWriting(path));
        if (file_) {
            written_ = path;
            return true;
        }
        const DWORD code = GetLastError();
        if (!IsExists(code))
            return Fail(kOpen, code);
    }
    return Fail(kOpen, ERROR_FILE_EXISTS);
}

bool TargetFile::Write(const void* data, long long size)
{
    if (!file_ || size < 0 || (data == nullptr && size > 0))
        return Fail(kWrite, ERROR_INVALID_PARAMETER);
    const unsigned char* next = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const DWORD part = size < 0x40000000 ? static_cast<DWORD>(size) : 0x40000000;
        DWORD written = 0;
        // Cleared first so that a write making no progress is not blamed on an older error.
        SetLastError(ERROR_SUCCESS);
        if (!WriteFile(file_.get(), next, part, &written, nullptr) || written == 0 || written > part)
            return Fail(kWrite, GetLastError());    // no progress and no reason: a device fault
        next += written;
        size -= written;
    }
    return true;
}

bool TargetFile::Finish(bool flushLater)
{
    if (!file_)
        return Fail(kClose, ERROR_INVALID_HANDLE);
    if (replaces_ && !flushLater && !FlushFileBuffers(file_.get()))
        return Fail(kFlush, GetLastError());
    flushed_ = replaces_ && !flushLater;
    // A failing close (a write-behind error) may have lost the last write.
    if (!file_.close())
        return Fail(kClose, GetLastError());
    return true;
}

bool TargetFile::Commit()
{
    if (written_.Length() == 0 || written_ == target_) {
        // Written in place: complete once closed.
        if (file_ && !Finish())
            return false;
        written_ = WString();
        return true;
    }
    // A finished temporary file (a large block's, the stager's) is opened again to be moved.
    if (!file_) {
        file_.reset(OpenForWriting(written_, OPEN_EXISTING));
        if (!file_)
            return Fail(kMove, GetLastError());
    }
    // The system flushes a file's data whichever handle asks.
    if (replaces_ && !flushed_ && !FlushFileBuffers(file_.get()))
        return Fail(kFlush, GetLastError());
    const DWORD error = MoveOver(file_.get());
    if (error != ERROR_SUCCESS)
        return Fail(kMove, error);
    // In place now. Its bytes were flushed before the move, or closed by the handle that wrote
    // them (a new target's): this handle's close loses nothing.
    written_ = WString();
    file_.reset();
    return true;
}

void TargetFile::Discard()
{
    file_.reset();
    if (written_.Length() > 0)
        DeleteFileW(written_.c_str());
    written_ = WString();
}

void TargetFile::Keep(WString* written)
{
    *written = written_;
    written_ = WString();
}

void TargetFile::TakeOver(TargetFile& other)
{
    Discard();
    file_ = std::move(other.file_);
    // The texts move with the file: neither object is left sharing one with the other.
    target_ = other.target_;
    written_ = other.written_;
    other.target_ = WString();
    other.written_ = WString();
    replaces_ = other.replaces_;
    flushed_ = other.flushed_;
    failed_ = other.failed_;
    error_ = other.error_;
}

void TargetFile::Adopt(const WString& written, const WString& target, bool flushed)
{
    Discard();
    target_ = WString(target.c_str(), target.Length());
    written_ = WString(written.c_str(), written.Length());
    replaces_ = true;
    flushed_ = flushed;
    failed_ = kNone;
    error_ = ERROR_SUCCESS;
}

DWORD TargetFile::MoveOver(HANDLE file)
{
    DWORD error = RenameByHandle(file, target_);
    // Windows refuses to replace a read-only file, which a user, a backup or a sync tool may
    // have left: the attribute goes, and comes back if the move fails still.
    const DWORD attributes = error == ERROR_ACCESS_DENIED ? GetFileAttributesW(target_.c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
        !SetFileAttributesW(target_.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        return error;
    error = RenameByHandle(file, target_);
    if (error != ERROR_SUCCESS)
        SetFileAttributesW(target_.c_str(), attributes);
    return error;
}

void RecordTargetFailure(const TargetFile& file)
{
    PlatformError::SetSystemError(file.Error());
    switch (file.Failed()) {
    case TargetFile::kWrite:
        PlatformError::AddContext(nullptr, L"WriteFile");
        break;
    case TargetFile::kFlush:
        PlatformError::AddContext(nullptr, L"FlushFileBuffers", file.Target());
        break;
    case TargetFile::kClose:
        PlatformError::AddContext(nullptr, L"CloseHandle", file.Target());
        break;
    default:
        PlatformError::AddContext(nullptr, L"CreateFile.Write", file.Target());
        break;
    }
}
