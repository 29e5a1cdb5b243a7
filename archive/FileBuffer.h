#pragma once
#include "archive/ByteStream.h"

// A disk file opened for writing (created anew).
class FileBuffer : public ByteStream {
public:
    FileBuffer();
    ~FileBuffer() override;

    HRESULT OpenWrite(const WString& path);
    // Creates path only if no file of that name exists; false with *exists set when one does
    // (nothing recorded then). Any other failure is recorded with reportedPath as the file.
    HRESULT OpenNew(const WString& path, const WString& reportedPath, bool* exists);
    HRESULT WriteBuffer(const void* data, int size) override;
    HRESULT Close();
    // Takes over a file already opened for writing (closing the one held, if any).
    void Adopt(HANDLE file);
    bool IsOpen() const { return file_ != nullptr; }

    // Test seam: a WriteFile that reports success without writing cannot be provoked on a
    // real file. Null restores the system's WriteFile.
    typedef BOOL(WINAPI* WriteFileFunction)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    static void SetWriteFileForTest(WriteFileFunction function);

private:
    HANDLE file_;
};
