#pragma once
#include "archive/ByteStream.h"

// A resource of the running executable as a read-only block of memory.
class ResourceBuffer : public ByteStream {
public:
    ResourceBuffer();
    ~ResourceBuffer() override;

    HRESULT Open(const WString& name, const WString& type);
    HRESULT ReadBuffer(void* destination, int size) override;

    const unsigned char* Data() const { return data_; }
    int Remaining() const { return remaining_; }

private:
    const unsigned char* data_;
    int remaining_;
};
