#include "archive/FileBuffer.h"

#include "foundation/PlatformError.h"

namespace {

HANDLE CreateAlways(const WString& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

bool ClearReadOnly(const WString& path, DWORD refusal, DWORD* attributes)
{
    // Windows refuses to write over a read-only file, which a user, a backup or a sync tool
    // may have left.
    *attributes = refusal == ERROR_ACCESS_DENIED ? GetFileAttributesW(path.c_str()) : INVALID_FILE_ATTRIBUTES;
    return *attributes != INVALID_FILE_ATTRIBUTES && (*attributes & FILE_ATTRIBUTE_READONLY) &&
           !(*attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           SetFileAttributesW(path.c_str(), *attributes & ~FILE_ATTRIBUTE_READONLY);
}

HRESULT FileBuffer::OpenWrite(const WString& path)
{
    file_.reset();      // closed first: the path may be the file still open
    reported_ = path;
    file_.reset(CreateAlways(path));
    DWORD code = file_ ? ERROR_SUCCESS : GetLastError();
    DWORD attributes = 0;
    if (!file_ && ClearReadOnly(path, code, &attributes)) {
        file_.reset(CreateAlways(path));
        if (!file_) {
            code = GetLastError();
            SetFileAttributesW(path.c_str(), attributes);
        }
    }
    if (!file_) {
        PlatformError::SetSystemError(code);
        PlatformError::AddContext(nullptr, L"CreateFile.Write", path);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT FileBuffer::OpenNew(const WString& path, const WString& reportedPath, bool* exists)
{
    *exists = false;
    file_.reset();
    reported_ = reportedPath;
    file_.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
            *exists = true;
            return E_FAIL;
        }
        PlatformError::SetSystemError(code);
        PlatformError::AddContext(nullptr, L"CreateFile.Write", reportedPath);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT FileBuffer::WriteBuffer(const void* data, int size)
{
    if (!file_) {
        PlatformError::SetError(nullptr, L"FileBuffer.NotOpened.Write");
        return E_FAIL;
    }
    if (size < 0 || (data == nullptr && size > 0)) {
        PlatformError::SetSystemError(ERROR_INVALID_PARAMETER);
        PlatformError::AddContext(nullptr, L"WriteFile");
        return E_FAIL;
    }
    const unsigned char* next = static_cast<const unsigned char*>(data);
    DWORD rest = static_cast<DWORD>(size);
    while (rest > 0) {
        DWORD written = 0;
        // Cleared first so that a write making no progress is not blamed on an older error
        // (CreateFileW leaves ERROR_ALREADY_EXISTS behind after replacing a file).
        SetLastError(ERROR_SUCCESS);
        if (!WriteFile(file_.get(), next, rest, &written, nullptr)) {
            PlatformError::SetSystemError();
            PlatformError::AddContext(nullptr, L"WriteFile");
            return E_FAIL;
        }
        if (written == 0 || written > rest) {
            // A write that makes no progress would be retried forever; the system gave no
            // reason, so report the device as failing.
            DWORD code = GetLastError();
            PlatformError::SetSystemError(code != ERROR_SUCCESS ? code : ERROR_WRITE_FAULT);
            PlatformError::AddContext(nullptr, L"WriteFile");
            return E_FAIL;
        }
        next += written;
        rest -= written;
    }
    return S_OK;
}

HRESULT FileBuffer::Flush()
{
    if (!FlushFileBuffers(file_.get())) {
        PlatformError::SetSystemError();
        PlatformError::AddContext(nullptr, L"FlushFileBuffers", reported_);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT FileBuffer::Close()
{
    if (!file_.close()) {
        PlatformError::SetSystemError();
        PlatformError::AddContext(nullptr, L"CloseHandle", reported_);
        return E_FAIL;
    }
    return S_OK;
}
