#pragma once
// Helpers of the archive tests: the fixture payload on the host and archives built in memory;
// the common helpers (tests/support) under the names these tests know.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Platform.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSystem.h"

namespace ArchiveTest {

using kztest::FileExists;
using kztest::FolderExists;
using kztest::RemoveTree;
using kztest::SystemText;
using kztest::TempFolder;
using kztest::UninstallBytes;
inline bool ReadFileBytes(const std::wstring& path, std::string* bytes) { return kztest::ReadBytes(path, bytes); }
inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
{
    return kztest::WriteBytes(path, bytes, attributes);
}
// Bytes of a resource of this executable; empty when missing.
std::string ResourceBytes(const wchar_t* name, const wchar_t* type);
// A file of the test fixtures laid out on the host at build time (reached through Wine's Z:).
std::wstring FixturePath(const std::wstring& relative);
// Names of the files in a folder tree, relative to it.
std::vector<std::wstring> FilesBelow(const std::wstring& root, const std::wstring& relative = L"");
// Windows-1252 bytes as text.
std::wstring FromCp1252(const std::string& bytes);
// File-list lines as the setup reads them: names after "->" without leading spaces.
std::vector<std::wstring> ListNames(const std::string& list);

void PutInt32(std::vector<uint8_t>& out, int32_t value);
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data);

// Lays down archives in memory. Blocks are closed by the caller, so tests choose where block
// boundaries fall; records can be given any field values.
class MemoryArchive {
public:
    struct Entry {
        std::u16string name;
        int32_t block;
        int32_t offset;
        int32_t storedLength;
    };
    // Adds an entry to the open block and records it.
    void Add(const std::u16string& name, const std::string& content);
    void CloseBlock();
    // Entries as recorded so far; tests may change them before Build.
    std::vector<Entry>& Entries() { return entries_; }
    // Block part as laid down so far.
    std::vector<uint8_t>& Blocks() { return blocks_; }
    std::vector<uint8_t> DirectoryBytes() const;
    // Blocks, D, N, directory stream, Z.
    std::vector<uint8_t> Build() const;
    static std::vector<uint8_t> Assemble(const std::vector<uint8_t>& blocks, const std::vector<uint8_t>& stream,
                                         int32_t directorySize, int32_t entryCount);

private:
    std::vector<uint8_t> blocks_;
    std::vector<uint8_t> open_;
    std::vector<Entry> entries_;
    int32_t blockNumber_ = 0;
};

std::u16string U16(const wchar_t* text);

} // namespace ArchiveTest
