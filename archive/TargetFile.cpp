#include "archive/TargetFile.h"

#include "archive/TemporaryFiles.h"
#include "foundation/PathText.h"
#include "foundation/PlatformError.h"

namespace {

// One count for the whole process: the worker and the stager never pick the same name.
volatile LONG g_made = 0;

HANDLE CreateNew(const WString& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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

bool TargetFile::Open(const WString& target, const WString& stagingFolder)
{
    Discard();
    // A private copy: the stager's thread must not share the caller's text.
    target_ = WString(target.c_str(), target.Length());
    failed_ = kNone;
    error_ = ERROR_SUCCESS;
    if (stagingFolder.Length() > 0) {
        const DWORD attributes = GetFileAttributesW(target_.c_str());
        replaces_ = attributes != INVALID_FILE_ATTRIBUTES;
        return IsFolder(attributes) ? Fail(kOpen, ERROR_ACCESS_DENIED) : OpenTemporary(stagingFolder);
    }
    // Most targets of a fresh install do not exist: one call makes them.
    replaces_ = false;
    file_.reset(CreateNew(target_));
    if (file_) {
        written_ = target_;
        return true;
    }
    const DWORD code = GetLastError();
    if (!IsExists(code))
        return Fail(kOpen, code);
    // A folder in the way is refused as writing over it would be.
    if (IsFolder(GetFileAttributesW(target_.c_str())))
        return Fail(kOpen, ERROR_ACCESS_DENIED);
    replaces_ = true;
    return OpenTemporary(FolderOf(target_));
}

bool TargetFile::OpenTemporary(const WString& folder)
{
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const WString path = TemporaryFiles::Name(folder, static_cast<unsigned int>(InterlockedIncrement(&g_made)));
        file_.reset(CreateNew(path));
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

bool TargetFile::Finish()
{
    if (!file_)
        return Fail(kClose, ERROR_INVALID_HANDLE);
    if (replaces_ && !FlushFileBuffers(file_.get()))
        return Fail(kFlush, GetLastError());
    // A failing close (a write-behind error) may have lost the last write.
    if (!file_.close())
        return Fail(kClose, GetLastError());
    return true;
}

bool TargetFile::Commit()
{
    if (file_ && !Finish())
        return false;
    DWORD error = ERROR_SUCCESS;
    if (written_.Length() > 0 && written_ != target_ && !Replace(written_, target_, &error))
        return Fail(kMove, error);
    written_ = WString();
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

bool TargetFile::Replace(const WString& temporary, const WString& target, DWORD* error)
{
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    *error = GetLastError();
    // Windows refuses to move over a read-only file, which a user, a backup or a sync tool
    // may have left.
    const DWORD attributes = *error == ERROR_ACCESS_DENIED ? GetFileAttributesW(target.c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
        !SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        return false;
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    *error = GetLastError();
    SetFileAttributesW(target.c_str(), attributes);
    return false;
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
