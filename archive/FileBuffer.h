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

    // Test seam: a WriteFile that reports success without writing cannot be provoked on a
    // real file. Null restores the system's WriteFile.
    typedef BOOL(WINAPI* WriteFileFunction)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    static void SetWriteFileForTest(WriteFileFunction function);

private:
    HANDLE file_;
};
