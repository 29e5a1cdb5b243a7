#pragma once
#include "archive/Archive.h"
#include "archive/ResourceBuffer.h"

// One entry of the install archive the executable carries (resource "RESOURCES" of type
// "KZ"): its content stays readable while the object lives.
class UIArchiveEntry {
public:
    UIArchiveEntry() : content_(nullptr), length_(0) {}

    // E_FAIL when the archive or the entry cannot be read.
    HRESULT Open(const WString& name)
    {
        if (FAILED(OpenEmbeddedArchive(resource_, archive_)))
            return E_FAIL;
        return archive_.Get(name, &content_, &length_);
    }
    const unsigned char* Data() const { return static_cast<const unsigned char*>(content_); }
    int Length() const { return length_; }

private:
    UIArchiveEntry(const UIArchiveEntry&) = delete;
    UIArchiveEntry& operator=(const UIArchiveEntry&) = delete;

    ResourceBuffer resource_;
    Archive archive_;
    const void* content_;
    int length_;
};
