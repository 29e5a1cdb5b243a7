#include "archive/FileBuffer.h"

#include "foundation/PlatformError.h"

FileBuffer::~FileBuffer()
{
    if (open_)
        file_.Commit();
}

HRESULT FileBuffer::OpenWrite(const WString& path)
{
    if (open_)
        file_.Commit();
    open_ = file_.Open(path);
    if (!open_) {
        RecordTargetFailure(file_);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT FileBuffer::WriteBuffer(const void* data, int size)
{
    if (!open_) {
        PlatformError::SetError(nullptr, L"FileBuffer.NotOpened.Write");
        return E_FAIL;
    }
    if (!file_.Write(data, size)) {
        open_ = false;
        RecordTargetFailure(file_);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT FileBuffer::Close()
{
    if (!open_)
        return S_OK;
    open_ = false;
    if (!file_.Commit()) {
        RecordTargetFailure(file_);
        return E_FAIL;
    }
    return S_OK;
}
