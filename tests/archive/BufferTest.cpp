// Resource and file buffers, the uninstall data serialisation and folder creation.
#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"
#include "ImportSeams.h"
#include "archive/ByteStream.h"
#include "archive/DirectoryPath.h"
#include "archive/FileBuffer.h"
#include "archive/ResourceBuffer.h"
#include "foundation/PlatformError.h"

using namespace ArchiveTest;

namespace {

void MarkRecord()
{
    PlatformError::Clear();
    PlatformError::SetError(nullptr, L"Marker.Untouched");
}

bool RecordUntouched()
{
    return PlatformError::GetErrorText() == L"Marker.Untouched" && PlatformError::GetContext().Count() == 0;
}

std::wstring W(const WString& text)
{
    return std::wstring(text.c_str(), text.Length());
}

} // namespace

TEST(ResourceBuffer, OpensByNameWithoutRegardToCase)
{
    const std::string expected = ResourceBytes(L"FILES", L"SETUP");
    ASSERT_FALSE(expected.empty());
    ResourceBuffer buffer;
    EXPECT_EQ(nullptr, buffer.Data());
    ASSERT_EQ(S_OK, buffer.Open(L"Files", L"setup"));
    ASSERT_EQ(static_cast<int>(expected.size()), buffer.Remaining());
    EXPECT_EQ(0, std::memcmp(expected.data(), buffer.Data(), expected.size()));

    // A second Open replaces the first.
    ASSERT_EQ(S_OK, buffer.Open(L"VERSIONLIST", L"SETUP"));
    EXPECT_EQ(static_cast<int>(ResourceBytes(L"VERSIONLIST", L"SETUP").size()), buffer.Remaining());
}

TEST(ResourceBuffer, ReadsUpToTheEndAndNoFurther)
{
    ResourceBuffer buffer;
    ASSERT_EQ(S_OK, buffer.Open(L"DUPS", L"SETUP"));
    const unsigned char* start = buffer.Data();
    const int size = buffer.Remaining();
    std::string copy(size, '\0');
    ASSERT_EQ(S_OK, buffer.ReadBuffer(&copy[0], 5));
    EXPECT_EQ(size - 5, buffer.Remaining());
    EXPECT_EQ(start + 5, buffer.Data());
    ASSERT_EQ(S_OK, buffer.ReadBuffer(&copy[5], size - 5));
    EXPECT_EQ(0, buffer.Remaining());
    EXPECT_EQ(ResourceBytes(L"DUPS", L"SETUP"), copy);

    char probe = 'q';
    EXPECT_EQ(E_FAIL, buffer.ReadBuffer(&probe, 1));
    EXPECT_EQ(L"Unexpected end of program resource", W(PlatformError::GetErrorText()));
    EXPECT_EQ('q', probe);
    EXPECT_EQ(0, buffer.Remaining());
    EXPECT_EQ(S_OK, buffer.ReadBuffer(&probe, 0));
}

TEST(ResourceBuffer, RefusesReadsBeyondTheRest)
{
    ResourceBuffer buffer;
    ASSERT_EQ(S_OK, buffer.Open(L"DUPS", L"SETUP"));
    const int size = buffer.Remaining();
    std::string copy(size + 1, 'z');
    EXPECT_EQ(E_FAIL, buffer.ReadBuffer(&copy[0], size + 1));
    EXPECT_EQ(std::string(size + 1, 'z'), copy);      // nothing copied
    EXPECT_EQ(size, buffer.Remaining());             // nothing consumed
    EXPECT_EQ(E_FAIL, buffer.ReadBuffer(&copy[0], -1));
    EXPECT_EQ(size, buffer.Remaining());
}

TEST(ResourceBuffer, ReadWithNothingOpen)
{
    ResourceBuffer buffer;
    char byte = 0;
    EXPECT_EQ(E_FAIL, buffer.ReadBuffer(&byte, 1));
    EXPECT_EQ(L"Attempt to read from program resource, but no resource open", W(PlatformError::GetErrorText()));
}

TEST(ResourceBuffer, MissingResourceRecordsSystemTextAndContext)
{
    ResourceBuffer buffer;
    ASSERT_EQ(S_OK, buffer.Open(L"FILES", L"SETUP"));
    const unsigned char* data = buffer.Data();
    const int size = buffer.Remaining();

    SetLastError(0);
    EXPECT_EQ(E_FAIL, buffer.Open(L"NOSUCH", L"KZ"));
    // The buffer stays as it was.
    EXPECT_EQ(data, buffer.Data());
    EXPECT_EQ(size, buffer.Remaining());
    const std::wstring error = W(PlatformError::GetErrorText());
    EXPECT_TRUE(error == SystemText(ERROR_RESOURCE_NAME_NOT_FOUND) || error == SystemText(ERROR_RESOURCE_TYPE_NOT_FOUND))
        << std::string(error.begin(), error.end());
    EXPECT_FALSE(error.empty());
    WStringArray context = PlatformError::GetContext();
    ASSERT_EQ(1, context.Count());
    EXPECT_EQ(L"Program resource [NOSUCH (KZ)] is missing", W(context.At(0)));
    EXPECT_EQ(L"Program resource [NOSUCH (KZ)] is missing\n" + error, W(PlatformError::GetMessage()));
}

TEST(ResourceBuffer, EmptyResourceCountsAsMissing)
{
    ResourceBuffer buffer;
    EXPECT_EQ(E_FAIL, buffer.Open(L"ZERO", L"SETUP"));
    EXPECT_EQ(nullptr, buffer.Data());
    EXPECT_NE(SystemText(ERROR_SUCCESS), W(PlatformError::GetErrorText()));
    EXPECT_FALSE(PlatformError::GetErrorText().IsEmpty());
    WStringArray context = PlatformError::GetContext();
    ASSERT_EQ(1, context.Count());
    EXPECT_EQ(L"Program resource [ZERO (SETUP)] is missing", W(context.At(0)));
}

TEST(ByteStream, BaseOperationsAreNotSupportedAndRecordNothing)
{
    ResourceBuffer resource;
    ASSERT_EQ(S_OK, resource.Open(L"FILES", L"SETUP"));
    ByteStream& stream = resource;
    MarkRecord();
    EXPECT_EQ(E_FAIL, stream.WriteBuffer("x", 1));
    EXPECT_TRUE(RecordUntouched());

    FileBuffer file;
    ByteStream& output = file;
    char byte = 0;
    EXPECT_EQ(E_FAIL, output.ReadBuffer(&byte, 1));
    EXPECT_TRUE(RecordUntouched());
}

// An existing file keeps its bytes until the complete new ones replace it.
TEST(FileBuffer, ReplacesAFileOnlyOnceComplete)
{
    TempFolder folder;
    const std::wstring path = folder / L"out.bin";
    ASSERT_TRUE(WriteFileBytes(path, std::string(1000, 'o')));
    FileBuffer file;
    ASSERT_EQ(S_OK, file.OpenWrite(path.c_str()));
    EXPECT_EQ(S_OK, file.WriteBuffer(nullptr, 0));   // nothing to write: done at once
    EXPECT_EQ(S_OK, file.WriteBuffer("abc", 3));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ(std::string(1000, 'o'), bytes);
    EXPECT_EQ(S_OK, file.Close());
    EXPECT_EQ(S_OK, file.Close());
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ("abc", bytes);
    EXPECT_EQ(1u, FilesBelow(folder.Path()).size());
}

TEST(FileBuffer, DestructionFinishesTheFile)
{
    TempFolder folder;
    const std::wstring path = folder / L"held.bin";
    {
        FileBuffer file;
        ASSERT_EQ(S_OK, file.OpenWrite(path.c_str()));
        ASSERT_EQ(S_OK, file.WriteBuffer("held", 4));
        // The file is opened without sharing while the buffer holds it.
        HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(INVALID_HANDLE_VALUE, other);
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
    }
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes) && bytes == "held");
}

TEST(FileBuffer, OpenWriteFailureRecordsPathAndSystemText)
{
    TempFolder folder;
    const std::wstring path = folder / L"no such folder\\out.bin";
    FileBuffer file;
    EXPECT_EQ(E_FAIL, file.OpenWrite(path.c_str()));
    EXPECT_EQ(SystemText(ERROR_PATH_NOT_FOUND), W(PlatformError::GetErrorText()));
    WStringArray context = PlatformError::GetContext();
    ASSERT_EQ(1, context.Count());
    EXPECT_EQ(L"Unable to open file [" + path + L"] in write mode", W(context.At(0)));
    // Nothing usable is left open.
    EXPECT_EQ(E_FAIL, file.WriteBuffer("x", 1));
    EXPECT_EQ(L"Attempt to write in file, but no file open", W(PlatformError::GetErrorText()));
}

namespace {

int g_calls = 0;
std::string g_written;

BOOL WINAPI WritesNothing(HANDLE, LPCVOID, DWORD, LPDWORD written, LPOVERLAPPED)
{
    ++g_calls;
    *written = 0;
    return TRUE;
}

BOOL WINAPI WritesThreeAtATime(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    ++g_calls;
    g_written.append(static_cast<const char*>(data), size < 3 ? size : 3);
    return ReplacedWriteFile::System(file, data, size < 3 ? size : 3, written, overlapped);
}

class WriteFileSeam : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls = 0;
        g_written.clear();
    }
    void TearDown() override { ReplacedWriteFile::Use(nullptr); }
};

} // namespace

// A full disk, or a write that makes no progress: the new file is removed, an old one stays
// whole, and no temporary file is left.
TEST_F(WriteFileSeam, FailedWriteLeavesTheOldFileOrNone)
{
    for (bool existed : {false, true}) {
        for (bool stuck : {false, true}) {
            TempFolder folder;
            const std::wstring path = folder / L"out.bin";
            ASSERT_TRUE(!existed || WriteFileBytes(path, "old"));
            FileBuffer file;
            ASSERT_EQ(S_OK, file.OpenWrite(path.c_str()));
            if (stuck)
                ReplacedWriteFile::Use(WritesNothing);
            else
                ReplacedWriteFile::FillDiskAfter(5);
            EXPECT_EQ(E_FAIL, file.WriteBuffer("0123456789", 10));
            ReplacedWriteFile::Use(nullptr);
            EXPECT_EQ(SystemText(stuck ? ERROR_WRITE_FAULT : ERROR_DISK_FULL), W(PlatformError::GetErrorText()));
            WStringArray context = PlatformError::GetContext();
            ASSERT_EQ(1, context.Count());
            EXPECT_EQ(L"File write operation failed", W(context.At(0)));
            EXPECT_EQ(S_OK, file.Close());
            std::string bytes;
            EXPECT_EQ(existed, ReadFileBytes(path, &bytes) && bytes == "old");
            EXPECT_EQ(existed ? 1u : 0u, FilesBelow(folder.Path()).size());
        }
    }
}

TEST_F(WriteFileSeam, PartialWritesAreRepeatedUntilAllIsWritten)
{
    TempFolder folder;
    const std::wstring path = folder / L"slow.bin";
    FileBuffer file;
    ASSERT_EQ(S_OK, file.OpenWrite(path.c_str()));
    ReplacedWriteFile::Use(WritesThreeAtATime);
    EXPECT_EQ(S_OK, file.WriteBuffer("0123456789", 10));
    EXPECT_EQ(4, g_calls);
    file.Close();
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ("0123456789", bytes);
}

// ---- uninstall data serialisation ------------------------------------------------------

namespace {

// Records every WriteBuffer; fails the one numbered failAt (1-based), 0 for never.
class RecordingStream : public ByteStream {
public:
    explicit RecordingStream(int failAt = 0) : failAt_(failAt) {}
    HRESULT WriteBuffer(const void* data, int size) override
    {
        ++calls;
        if (calls == failAt_)
            return E_FAIL;
        sizes.push_back(size);
        bytes.append(static_cast<const char*>(data), size);
        return S_OK;
    }
    int calls = 0;
    std::vector<int> sizes;
    std::string bytes;

private:
    int failAt_;
};

} // namespace

TEST(UninstallData, SingleNameGivesTheDocumentedBytes)
{
    TempFolder folder;
    const std::wstring path = folder / L"Uninstall";
    FileBuffer file;
    ASSERT_EQ(S_OK, file.OpenWrite(path.c_str()));
    WStringArray names;
    names.Append(L"code\\x.dll");
    ASSERT_EQ(S_OK, file.WriteStringList(names));
    file.Close();
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    const char expected[] = "\x01\0\0\0\x0A\0\0\0c\0o\0d\0e\0\\\0x\0.\0d\0l\0l\0";
    ASSERT_EQ(28u, bytes.size());
    EXPECT_EQ(std::string(expected, 28), bytes);
}

TEST(UninstallData, EmptyListsAndEmptyNames)
{
    RecordingStream empty;
    EXPECT_EQ(S_OK, empty.WriteStringList(WStringArray()));
    EXPECT_EQ(std::string(4, '\0'), empty.bytes);

    RecordingStream blank;
    WStringArray names;
    names.Append(WString());
    names.Append(L"\u00e9");
    EXPECT_EQ(S_OK, blank.WriteStringList(names));
    // Count, a length of 0 with no text, then the length and one unit: no write of 0 bytes.
    EXPECT_EQ((std::vector<int>{4, 4, 4, 2}), blank.sizes);
    EXPECT_EQ(std::string("\x02\0\0\0\0\0\0\0\x01\0\0\0\xE9\0", 14), blank.bytes);
}

TEST(UninstallData, FirstFailingWriteEndsTheList)
{
    WStringArray names;
    names.Append(L"a");
    names.Append(L"bb");
    names.Append(L"ccc");
    for (int failAt = 1; failAt <= 7; ++failAt) {
        RecordingStream stream(failAt);
        EXPECT_EQ(E_FAIL, stream.WriteStringList(names)) << failAt;
        EXPECT_EQ(failAt, stream.calls) << failAt;
    }
    RecordingStream whole;
    EXPECT_EQ(S_OK, whole.WriteStringList(names));
    EXPECT_EQ(7, whole.calls);
    EXPECT_EQ(UninstallBytes({L"a", L"bb", L"ccc"}), whole.bytes);
}

TEST(UninstallData, RewritingReplacesTheWholeFile)
{
    TempFolder folder;
    const std::wstring path = folder / L"Uninstall";
    WStringArray longList;
    for (int i = 0; i < 50; ++i)
        longList.Append(L"some\\rather\\long\\name.txt");
    WStringArray shortList;
    shortList.Append(L"x");
    for (const WStringArray* list : {&longList, &shortList}) {
        FileBuffer file;
        ASSERT_EQ(S_OK, file.OpenWrite(path.c_str()));
        ASSERT_EQ(S_OK, file.WriteStringList(*list));
    }
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ(UninstallBytes({L"x"}), bytes);
}

// ---- folder creation ---------------------------------------------------------------------

TEST(CreateDirectoryPath, CreatesEveryMissingLevel)
{
    TempFolder folder;
    const std::wstring deep = folder / L"a\\b c\\d\\e";
    CreateDirectoryPath(deep.c_str());
    EXPECT_TRUE(FolderExists(folder / L"a"));
    EXPECT_TRUE(FolderExists(folder / L"a\\b c"));
    EXPECT_TRUE(FolderExists(deep));
    // Existing: nothing changes, nothing fails.
    CreateDirectoryPath(deep.c_str());
    EXPECT_TRUE(FolderExists(deep));
}

TEST(CreateDirectoryPath, TakesSlashesAndDoubledSeparators)
{
    TempFolder folder;
    CreateDirectoryPath((folder.Path() + L"/x/y\\\\z/").c_str());
    EXPECT_TRUE(FolderExists(folder / L"x\\y\\z"));
    CreateDirectoryPath((folder / L"caf\u00e9\\\u20ac").c_str());
    EXPECT_TRUE(FolderExists(folder / L"caf\u00e9\\\u20ac"));
}

TEST(CreateDirectoryPath, AFileInTheWayIsLeftForTheNextWriteToReport)
{
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder / L"file", "x"));
    CreateDirectoryPath((folder / L"file\\sub\\deeper").c_str());
    EXPECT_TRUE(FileExists(folder / L"file"));
    EXPECT_FALSE(FolderExists(folder / L"file\\sub"));
    FileBuffer buffer;
    EXPECT_EQ(E_FAIL, buffer.OpenWrite((folder / L"file\\sub\\deeper\\x.txt").c_str()));
    // Empty paths and a lone name do nothing harmful.
    CreateDirectoryPath(WString());
    CreateDirectoryPath(L"\\");
}

TEST(CreateDirectoryPath, VeryDeepPath)
{
    TempFolder folder;
    std::wstring path = L"\\\\?\\" + folder.Path();
    for (int i = 0; i < 150; ++i)
        path += L"\\d";
    CreateDirectoryPath(path.c_str());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
    // Removing 150 levels needs the long form as well.
    for (int i = 0; i < 150; ++i) {
        RemoveDirectoryW(path.c_str());
        path.resize(path.size() - 2);
    }
}
