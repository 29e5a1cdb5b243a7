#pragma once
#include "archive/ByteStream.h"

// A disk file opened for writing (created anew).
class FileBuffer : public ByteStream {
public:
    FileBuffer();
    ~FileBuffer() override;

    HRESULT OpenWrite(const WString& path);
    HRESULT WriteBuffer(const void* data, int size) override;
    HRESULT Close();
    bool IsOpen() const { return file_ != nullptr; }

private:
    HANDLE file_;
};
