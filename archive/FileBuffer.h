#pragma once
#include "archive/ByteStream.h"
#include "archive/TargetFile.h"

// A disk file written through the one writer (TargetFile): an existing file is replaced only
// once Close has put the complete new one in its place.
class FileBuffer : public ByteStream {
public:
    FileBuffer() = default;
    // Closes as Close does; a failure then is not reported.
    ~FileBuffer() override;

    HRESULT OpenWrite(const WString& path);
    // A failed write removes what was written: the old file, if any, stays whole.
    HRESULT WriteBuffer(const void* data, int size) override;
    // Flushes a replacing file, closes it and moves it over the old one; a failure is
    // recorded with the file's name.
    HRESULT Close();

private:
    TargetFile file_;
    bool open_ = false;
};
