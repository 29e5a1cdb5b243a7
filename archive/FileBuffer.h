#pragma once
#include "archive/ByteStream.h"
#include "foundation/ScopedHandle.h"

// A disk file opened for writing (created anew).
class FileBuffer : public ByteStream {
public:
    FileBuffer() = default;

    // Replaces a read-only file too: callers open a target only once its new content is
    // ready (the extraction checks a block before it opens the block's targets).
    HRESULT OpenWrite(const WString& path);
    // Creates path only if no file of that name exists; false with *exists set when one does
    // (nothing recorded then). Any other failure is recorded with reportedPath as the file.
    HRESULT OpenNew(const WString& path, const WString& reportedPath, bool* exists);
    HRESULT WriteBuffer(const void* data, int size) override;
    // Makes what was written durable before the file takes another's place.
    HRESULT Flush();
    // A failing close (a write-behind error, on a network share for example) is recorded
    // with the file's name: what was written may not be on the disk.
    HRESULT Close();
    bool IsOpen() const { return static_cast<bool>(file_); }

private:
    ScopedFile file_;
    WString reported_;      // the file as errors name it
};

// After a write or a move over path was refused with refusal: takes the read-only attribute off
// when that is why, giving in *attributes what to put back should the retry fail as well. False
// when there is nothing to retry.
bool ClearReadOnly(const WString& path, DWORD refusal, DWORD* attributes);
