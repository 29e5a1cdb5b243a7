#include "archive/ResourceBuffer.h"

#include <climits>
#include <cstring>

#include "foundation/PlatformError.h"

ResourceBuffer::ResourceBuffer()
    : data_(nullptr), remaining_(0)
{
}

ResourceBuffer::~ResourceBuffer()
{
    // The resource belongs to the executable's image: nothing to free.
    data_ = nullptr;
    remaining_ = 0;
}

HRESULT ResourceBuffer::Open(const WString& name, const WString& type)
{
    const WString described = name + L" (" + type + L")";
    SetLastError(ERROR_SUCCESS);
    HRSRC resource = FindResourceW(nullptr, name.c_str(), type.c_str());
    DWORD size = resource != nullptr ? SizeofResource(nullptr, resource) : 0;
    if (resource == nullptr || size == 0) {
        // An empty resource is found without an error of the system's: report it as missing
        // rather than as "completed successfully".
        DWORD code = GetLastError();
        PlatformError::SetSystemError(resource == nullptr || code != ERROR_SUCCESS ? code : ERROR_RESOURCE_NAME_NOT_FOUND);
        PlatformError::AddContext(nullptr, L"FindResource", described);
        return E_FAIL;
    }
    HGLOBAL loaded = LoadResource(nullptr, resource);
    const void* locked = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (locked == nullptr) {
        PlatformError::SetSystemError();
        PlatformError::AddContext(nullptr, L"LoadResource", described);
        return E_FAIL;
    }
    if (size > static_cast<DWORD>(INT_MAX)) {
        // Every user takes the size as a signed count.
        PlatformError::SetSystemError(ERROR_FILE_TOO_LARGE);
        PlatformError::AddContext(nullptr, L"LoadResource", described);
        return E_FAIL;
    }
    data_ = static_cast<const unsigned char*>(locked);
    remaining_ = static_cast<int>(size);
    return S_OK;
}

HRESULT ResourceBuffer::ReadBuffer(void* destination, int size)
{
    if (data_ == nullptr) {
        PlatformError::SetError(nullptr, L"ResourceBuffer.NotOpened.Read");
        return E_FAIL;
    }
    if (size < 0 || size > remaining_ || (destination == nullptr && size > 0)) {
        PlatformError::SetError(nullptr, L"ResourceBuffer.EOF");
        return E_FAIL;
    }
    if (size > 0)
        std::memcpy(destination, data_, static_cast<size_t>(size));
    data_ += size;
    remaining_ -= size;
    return S_OK;
}
