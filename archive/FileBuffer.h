#pragma once
#include "archive/ByteStream.h"
#include "foundation/ScopedHandle.h"

// A disk file opened for writing (created anew).
class FileBuffer : public ByteStream {
public:
    FileBuffer() = default;

    HRESULT OpenWrite(const WString& path);
    // Creates path only if no file of that name exists; false with *exists set when one does
    // (nothing recorded then). Any other failure is recorded with reportedPath as the file.
    HRESULT OpenNew(const WString& path, const WString& reportedPath, bool* exists);
    HRESULT WriteBuffer(const void* data, int size) override;
    HRESULT Close();
    bool IsOpen() const { return static_cast<bool>(file_); }

private:
    ScopedFile file_;
};
