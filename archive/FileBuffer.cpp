#include "archive/FileBuffer.h"

#include "foundation/PlatformError.h"

HRESULT FileBuffer::OpenWrite(const WString& path)
{
    file_.reset();      // closed first: the path may be the file still open
    file_.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        PlatformError::SetSystemError();
        PlatformError::AddContext(nullptr, L"CreateFile.Write", path);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT FileBuffer::OpenNew(const WString& path, const WString& reportedPath, bool* exists)
{
    *exists = false;
    file_.reset();
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

HRESULT FileBuffer::Close()
{
    file_.close();
    return S_OK;
}
