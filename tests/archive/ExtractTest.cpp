// ExtractResourceArchive over this executable's own resources.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "ImportSeams.h"
#include "TestSupport.h"
#include "archive/Archive.h"
#include "archive/StreamInflate.h"
#include "archive/Extraction.h"
#include "archive/ArchiveFormat.h"
#include "archive/ResourceBuffer.h"
#include "foundation/PlatformError.h"
#include "foundation/ScopedHandle.h"

#include <tlhelp32.h>

using namespace ArchiveTest;

namespace {

std::wstring W(const WString& text)
{
    return std::wstring(text.c_str(), text.Length());
}

std::vector<std::wstring> Context()
{
    std::vector<std::wstring> lines;
    WStringArray context = PlatformError::GetContext();
    for (int i = 0; i < context.Count(); ++i)
        lines.push_back(W(context.At(i)));
    return lines;
}

// Payload source of every entry of a list, in list order.
std::vector<std::pair<std::wstring, std::wstring>> FilesAndSources(const wchar_t* listName = L"FILES")
{
    std::vector<std::pair<std::wstring, std::wstring>> out;
    const std::string list = ResourceBytes(listName, L"SETUP");
    size_t position = 0;
    while (position < list.size()) {
        size_t end = list.find("\r\n", position);
        std::string line = list.substr(position, end - position);
        position = end + 2;
        size_t arrow = line.find("->");
        if (arrow == std::string::npos)
            continue;
        std::string source = line.substr(0, arrow);
        source.erase(source.find_last_not_of(' ') + 1);
        std::string target = line.substr(arrow + 2);
        target.erase(0, target.find_first_not_of(' '));
        out.push_back({FromCp1252(target), FromCp1252(source)});
    }
    return out;
}

void ExpectSameAsPayload(const std::wstring& install, const std::wstring& name, const std::wstring& source)
{
    std::string expected, written;
    ASSERT_TRUE(ReadFileBytes(FixturePath(L"payload\\" + source), &expected));
    ASSERT_TRUE(ReadFileBytes(install + L"\\" + name, &written)) << std::string(name.begin(), name.end());
    EXPECT_EQ(expected.size(), written.size());
    EXPECT_TRUE(expected == written) << std::string(name.begin(), name.end());
}

// Threads of this process: the extraction's helper thread must be gone when it returns.
int ThreadsOfThisProcess()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// Where an entry of this executable's install archive lies.
struct Placement {
    int block = -1;
    ArchiveFormat::BlockHeader header = {};
};
Placement Place(const wchar_t* name)
{
    Placement placement;
    ResourceBuffer resource;
    Archive archive;
    Archive::Entry entry;
    ArchiveFormat::Trailer trailer;
    if (resource.Open(L"RESOURCES", L"KZ") != S_OK || archive.Open(resource.Data(), resource.Remaining()) != S_OK ||
        archive.Find(name, &entry) != S_OK ||
        !ArchiveFormat::DecodeTrailer(resource.Data(), resource.Remaining(), &trailer) ||
        !ArchiveFormat::LocateBlock(resource.Data(), trailer.streamOffset - 8, entry.block, &placement.header))
        return Placement();
    placement.block = entry.block;
    return placement;
}

// Flips one byte of this executable's own install archive in memory for its lifetime, so that
// ExtractResourceArchive meets a damaged block; the byte and the page protection come back after.
class DamagedResource {
public:
    explicit DamagedResource(size_t offset)
    {
        ResourceBuffer resource;
        if (resource.Open(L"RESOURCES", L"KZ") != S_OK || offset >= static_cast<size_t>(resource.Remaining()))
            return;
        byte_ = const_cast<unsigned char*>(resource.Data()) + offset;
        if (!VirtualProtect(byte_, 1, PAGE_READWRITE, &protection_)) {
            byte_ = nullptr;
            return;
        }
        *byte_ ^= 0x5A;
    }
    ~DamagedResource()
    {
        if (byte_ == nullptr)
            return;
        *byte_ ^= 0x5A;
        DWORD ignored = 0;
        VirtualProtect(byte_, 1, protection_, &ignored);
    }
    bool Ok() const { return byte_ != nullptr; }

private:
    unsigned char* byte_ = nullptr;
    DWORD protection_ = 0;
};

} // namespace

TEST(ExtractResourceArchive, WritesEveryFileAndTheUninstallData)
{
    TempFolder folder;
    // The install folder itself need not exist: every target's folder is made on the way.
    const std::wstring install = folder / L"Program Files\\Orlix \u00e9";
    ASSERT_EQ(S_OK, ExtractResourceArchive(install.c_str(), L"Files"));

    const auto files = FilesAndSources();
    ASSERT_EQ(66u, files.size());
    for (const auto& file : files)
        ExpectSameAsPayload(install, file.first, file.second);
    std::string empty;
    ASSERT_TRUE(ReadFileBytes(install + L"\\code\\empty.dat", &empty));
    EXPECT_TRUE(empty.empty());

    std::string uninstall;
    ASSERT_TRUE(ReadFileBytes(install + L"\\Uninstall", &uninstall));
    EXPECT_EQ(UninstallBytes(ListNames(ResourceBytes(L"FILES", L"SETUP"))), uninstall);
    // The names are those of the targets, not of the sources.
    EXPECT_NE(std::string::npos, uninstall.find(std::string("c\0o\0d\0e\0\\\0b\0i\0n\0", 16)));
    EXPECT_EQ(std::string::npos, uninstall.find(std::string("s\0r\0c\0\\\0", 8)));
}

TEST(ExtractResourceArchive, ListNameMatchesWithoutRegardToCase)
{
    TempFolder folder;
    ASSERT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), L"resources"));
    std::string version;
    ASSERT_TRUE(ReadFileBytes(folder / L"resources\\Zephyrix\\versions\\PlayerVersion.txt", &version));
    EXPECT_EQ("1.2.3\r\n", version);
    std::string uninstall;
    ASSERT_TRUE(ReadFileBytes(folder / L"Uninstall", &uninstall));
    EXPECT_EQ(UninstallBytes({L"resources\\msgcatalog\\KZ_PlatformErrors.QorNls",
                              L"resources\\Zephyrix\\versions\\PlayerVersion.txt"}),
              uninstall);
}

TEST(ExtractResourceArchive, ListShapes)
{
    {
        SCOPED_TRACE("text after the last line break is a line");
        TempFolder folder;
        ASSERT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), L"NoTrailing"));
        EXPECT_TRUE(FileExists(folder / L"data\\small\\file 5.bin"));
        std::string uninstall;
        ASSERT_TRUE(ReadFileBytes(folder / L"Uninstall", &uninstall));
        EXPECT_EQ(UninstallBytes({L"data\\small\\file 4.bin", L"data\\small\\file 5.bin"}), uninstall);
    }
    {
        SCOPED_TRACE("duplicates are kept in the uninstall data");
        TempFolder folder;
        ASSERT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), L"Dups"));
        std::string uninstall;
        ASSERT_TRUE(ReadFileBytes(folder / L"Uninstall", &uninstall));
        EXPECT_EQ(UninstallBytes({L"data\\small\\file 6.bin", L"data\\small\\file 6.bin"}), uninstall);
    }
    {
        SCOPED_TRACE("a list of blank lines writes an empty uninstall file");
        TempFolder folder;
        ASSERT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), L"Blank"));
        std::string uninstall;
        ASSERT_TRUE(ReadFileBytes(folder / L"Uninstall", &uninstall));
        EXPECT_EQ(std::string(4, '\0'), uninstall);
    }
}

TEST(ExtractResourceArchive, MissingListFails)
{
    TempFolder folder;
    EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), L"NoSuchList"));
    EXPECT_EQ((std::vector<std::wstring>{L"Program resource [NoSuchList (SETUP)] is missing"}), Context());
    EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), L"Zero"));
    EXPECT_FALSE(FileExists(folder / L"Uninstall"));
}

TEST(ExtractResourceArchive, MissingEntryStopsPartWay)
{
    TempFolder folder;
    const int threads = ThreadsOfThisProcess();
    EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), L"Missing"));
    EXPECT_EQ(threads, ThreadsOfThisProcess());
    EXPECT_EQ(L"Archive.NotFound", W(PlatformError::GetErrorText()));
    EXPECT_EQ((std::vector<std::wstring>{L"Unable to read [no\\such\\entry.txt] from the install archive"}), Context());
    // Files before the failure stay, the ones after are not written, no uninstall data.
    EXPECT_TRUE(FileExists(folder / L"code\\empty.dat"));
    EXPECT_TRUE(FileExists(folder / L"data\\small\\file 2.bin"));
    EXPECT_FALSE(FileExists(folder / L"data\\small\\file 3.bin"));
    EXPECT_FALSE(FileExists(folder / L"Uninstall"));
}

// Into an empty folder, and over an earlier installation (whose files are looked for first).
TEST(ExtractResourceArchive, TargetBlockedByAFolderStopsPartWay)
{
    for (bool earlier : {false, true}) {
        TempFolder folder;
        ASSERT_TRUE(!earlier || ExtractResourceArchive(folder.Path().c_str(), L"Files") == S_OK);
        ASSERT_TRUE(CreateDirectoryW((folder / L"docs").c_str(), nullptr) || earlier);
        ASSERT_TRUE(!earlier || DeleteFileW((folder / L"docs\\read me.txt").c_str()));
        ASSERT_TRUE(CreateDirectoryW((folder / L"docs\\read me.txt").c_str(), nullptr));
        EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), L"Files"));

        const std::wstring target = folder / L"docs\\read me.txt";
        const std::wstring system = W(PlatformError::GetErrorText());
        EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED), system);
        EXPECT_EQ((std::vector<std::wstring>{L"Unable to open file [" + target + L"] in write mode", L"fileBuffer.OpenWrite"}),
                  Context());
        // The composed message names the entry's path and the step that failed.
        EXPECT_EQ(L"Unable to open file [" + target + L"] in write mode\n" + system + L"\n\nfileBuffer.OpenWrite",
                  W(PlatformError::GetMessage()));

        EXPECT_TRUE(FileExists(folder / L"code\\bin\\viewer.exe"));
        EXPECT_TRUE(FileExists(folder / L"code\\empty.dat"));
        // What comes after it is not written: still there from the earlier installation, or absent.
        EXPECT_EQ(earlier, FileExists(folder / L"docs\\caf\u00e9\\notes \u00e8.txt"));
        EXPECT_EQ(earlier, FileExists(folder / L"data\\small\\file 1.bin"));
        EXPECT_EQ(earlier, FileExists(folder / L"Uninstall"));
    }
}

TEST(ExtractResourceArchive, UninstallFileThatCannotBeWritten)
{
    TempFolder folder;
    ASSERT_TRUE(CreateDirectoryW((folder / L"Uninstall").c_str(), nullptr));
    EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), L"VersionList"));
    const std::wstring path = folder / L"Uninstall";
    EXPECT_EQ((std::vector<std::wstring>{L"Unable to open file [" + path + L"] in write mode",
                                         L"Unable to save un-installation data in file [" + path + L"]"}),
              Context());
    // The files themselves were written.
    EXPECT_TRUE(FileExists(folder / L"resources\\Zephyrix\\versions\\PlayerVersion.txt"));
}

TEST(ExtractResourceArchive, UnsafeNamesAreRefusedBeforeAnythingIsWritten)
{
    struct Case {
        const wchar_t* list;
        const wchar_t* name;
    };
    const Case cases[] = {
        {L"UnsafeDotDot", L"..\\evil.txt"},
        {L"UnsafeDrive", L"C:\\evil.txt"},
        {L"UnsafeUnc", L"\\\\server\\share\\evil.txt"},
        {L"UnsafeRooted", L"\\evil.txt"},
        {L"UnsafeEmptyPart", L"code\\\\evil.txt"},
        {L"UnsafeStream", L"code\\empty.dat:stream"},
        {L"UnsafeSlash", L"code/../../evil.txt"},
        {L"UnsafeEmpty", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.list);
        TempFolder parent;
        const std::wstring install = parent / L"inst";
        ASSERT_TRUE(CreateDirectoryW(install.c_str(), nullptr));
        EXPECT_EQ(E_FAIL, ExtractResourceArchive(install.c_str(), c.list));
        EXPECT_EQ(L"Unsafe file name [" + std::wstring(c.name) + L"] in the file list",
                  W(PlatformError::GetErrorText()));
        EXPECT_EQ((std::vector<std::wstring>{L"archive.CheckName"}), Context());
        // Not even the safe first line was extracted, and nothing escaped the folder.
        EXPECT_FALSE(FileExists(install + L"\\code\\empty.dat"));
        EXPECT_FALSE(FileExists(install + L"\\Uninstall"));
        EXPECT_FALSE(FileExists(parent / L"evil.txt"));
    }
}

TEST(ExtractResourceArchive, OverlongListLineIsRefused)
{
    TempFolder folder;
    EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), L"LongLine"));
    EXPECT_EQ(L"Line 2 of file list LongLine is too long", W(PlatformError::GetErrorText()));
    EXPECT_FALSE(FileExists(folder / L"code\\empty.dat"));
    EXPECT_FALSE(FileExists(folder / L"Uninstall"));

    // 259 bytes is the longest line taken: it is read as a whole name, which the archive
    // does not hold.
    EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), L"Line259"));
    EXPECT_EQ(L"Archive.NotFound", W(PlatformError::GetErrorText()));
    ASSERT_EQ(1u, Context().size());
    EXPECT_EQ(L"Unable to read [" + std::wstring(259, L'y') + L"] from the install archive", Context()[0]);
    EXPECT_TRUE(FileExists(folder / L"data\\small\\file 1.bin"));
}

// The table kzpack_safe_names runs against kzpack: the setup takes exactly the names it packs.
TEST(IsSafeEntryName, SameTableAsThePacker)
{
    const std::string table = ResourceBytes(L"SAFENAMES", L"TABLE");
    int cases = 0;
    size_t position = 0;
    while (position < table.size()) {
        size_t end = table.find('\n', position);
        if (end == std::string::npos)
            end = table.size();
        const std::string row = table.substr(position, end - position);
        position = end + 1;
        if (row.size() < 2 || row[0] == '#')
            continue;
        const std::wstring name = FromCp1252(row.substr(2));
        EXPECT_EQ(row[0] == '+', IsSafeEntryName(WString(name.c_str(), static_cast<int>(name.size())))) << row;
        ++cases;
    }
    EXPECT_GT(cases, 40);
}

// The STREAM list's entries lie in a small block, then one block of several MB ("lead.txt",
// the empty "empty.dat", "noise.bin" and the mixed "movie.dat"), then another small block.
TEST(ExtractResourceArchive, LargeBlocksAreWrittenThroughTheWindowByteForByte)
{
    const Placement before = Place(L"stream\\before.bin"), movie = Place(L"stream\\movie.dat"),
                    after = Place(L"stream\\after.txt");
    ASSERT_GE(movie.block, 0);
    EXPECT_EQ(movie.block, Place(L"stream\\lead.txt").block);
    EXPECT_EQ(movie.block, Place(L"stream\\noise.bin").block);
    EXPECT_EQ(movie.block - 1, before.block);
    EXPECT_EQ(movie.block + 1, after.block);
    EXPECT_GT(movie.header.contentSize, 10 * kInflateWindow);
    EXPECT_LE(before.header.contentSize, kInflateWindow);
    EXPECT_LE(after.header.contentSize, kInflateWindow);

    TempFolder folder;
    ASSERT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), L"Stream"));
    const auto files = FilesAndSources(L"STREAM");
    ASSERT_EQ(7u, files.size());
    for (const auto& file : files)
        ExpectSameAsPayload(folder.Path(), file.first, file.second);
    std::string uninstall;
    ASSERT_TRUE(ReadFileBytes(folder / L"Uninstall", &uninstall));
    EXPECT_EQ(UninstallBytes(ListNames(ResourceBytes(L"STREAM", L"SETUP"))), uninstall);
}

// Installing over an earlier installation from a damaged archive: a block that fails its check
// never replaces an existing file, small blocks (checked before the target is touched) and
// large ones (written beside the target, put in place once the check has passed) alike.
static void ExpectBadBlocksNeverCostAFile()
{
    const Placement before = Place(L"stream\\before.bin"), movie = Place(L"stream\\movie.dat");
    ASSERT_GE(before.block, 0);
    ASSERT_GE(movie.block, 0);
    auto streamEnd = [](const Placement& p) {
        return static_cast<size_t>(p.header.offset) + ArchiveFormat::kBlockHeaderSize +
               static_cast<size_t>(p.header.compressedSize);
    };
    const std::vector<std::wstring> stream = {L"before.bin", L"lead.txt", L"empty.dat", L"noise.bin",
                                              L"movie.dat", L"after.txt", L"tail.bin"};
    const std::vector<std::wstring> largeBlock = {L"lead.txt", L"empty.dat", L"noise.bin", L"movie.dat"};
    struct Case {
        const char* what;
        const wchar_t* list;
        size_t offset;
        const wchar_t* named;
        std::vector<std::wstring> replaced;   // files written before the failure
        bool held = false;  // before.bin open without FILE_SHARE_DELETE: it cannot be replaced
    };
    // The large block's faults show only at its stream's end, MBs after its start.
    const Case cases[] = {
        {"small block's Adler-32", L"Stream", streamEnd(before) - 1, L"stream\\before.bin", {}},
        {"small block's deflate data", L"Stream", streamEnd(before) - 300, L"stream\\before.bin", {}},
        {"large block's Adler-32", L"Stream", streamEnd(movie) - 1, L"stream\\movie.dat", {L"before.bin"}},
        {"large block's deflate data", L"Stream", streamEnd(movie) - 300, L"stream\\movie.dat", {L"before.bin"}},
        // The check runs when the extraction leaves the block and names the file that came
        // from it, not the next one.
        {"large block, only its first entry listed", L"StreamHead", streamEnd(movie) - 1, L"stream\\lead.txt", {}},
        // Its move comes after the large block is written: it still fails first, in list order.
        {"a small file that cannot be replaced, then a bad block", L"Stream", streamEnd(movie) - 1, L"stream\\before.bin", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        ASSERT_TRUE(CreateDirectoryW((folder / L"stream").c_str(), nullptr));
        for (const std::wstring& name : stream)
            ASSERT_TRUE(WriteFileBytes(folder / (L"stream\\" + name), "earlier " + std::string(name.begin(), name.end()),
                                       FILE_ATTRIBUTE_READONLY));
        {
            ScopedFile held(c.held ? CreateFileW((folder / L"stream\\before.bin").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                 nullptr, OPEN_EXISTING, 0, nullptr)
                                   : INVALID_HANDLE_VALUE);
            DamagedResource damage(c.offset);
            ASSERT_TRUE(damage.Ok());
            const int threads = ThreadsOfThisProcess();
            EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), c.list));
            // The helper that inflated ahead is joined on the way out.
            EXPECT_EQ(threads, ThreadsOfThisProcess());
        }
        EXPECT_EQ(!c.held, L"Archive.InvalidData" == W(PlatformError::GetErrorText()));
        const std::vector<std::wstring> context =
            c.held ? std::vector<std::wstring>{L"Unable to open file [" + (folder / c.named) + L"] in write mode",
                                               L"fileBuffer.OpenWrite"}
                   : std::vector<std::wstring>{L"Unable to read [" + std::wstring(c.named) + L"] from the install archive"};
        EXPECT_EQ(context, Context());
        for (const std::wstring& name : stream) {
            if (std::find(c.replaced.begin(), c.replaced.end(), name) != c.replaced.end()) {
                ExpectSameAsPayload(folder.Path(), L"stream\\" + name, L"src\\stream\\" + name);
                continue;
            }
            std::string bytes;
            ASSERT_TRUE(ReadFileBytes(folder / (L"stream\\" + name), &bytes));
            EXPECT_EQ("earlier " + std::string(name.begin(), name.end()), bytes);
            EXPECT_NE(0u, GetFileAttributesW((folder / (L"stream\\" + name)).c_str()) & FILE_ATTRIBUTE_READONLY);
        }
        // Nothing else: no temporary or part-written file, no uninstall data.
        std::vector<std::wstring> left = FilesBelow(folder.Path());
        std::sort(left.begin(), left.end());
        std::vector<std::wstring> expected;
        for (const std::wstring& name : stream)
            expected.push_back(L"stream\\" + name);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, left);
    }
    {
        SCOPED_TRACE("into an empty folder");
        TempFolder folder;
        {
            DamagedResource damage(streamEnd(movie) - 1);
            ASSERT_TRUE(damage.Ok());
            EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), L"Stream"));
        }
        // Only what came from checked blocks is there.
        EXPECT_EQ((std::vector<std::wstring>{L"stream\\before.bin"}), FilesBelow(folder.Path()));
    }
    // The archive whole again: every earlier file is replaced, a killed setup's temporary file
    // goes, look-alikes stay, and nothing else is left.
    TempFolder folder;
    std::vector<std::wstring> expected = {L"Uninstall", L"stream\\~kz12-.tmp", L"stream\\~kz1-2.tmp.txt",
                                          L"stream\\~kzabc-1.tmp", L"stream\\~kz7-7.tmp\\~kz8-8.tmp"};
    ASSERT_TRUE(CreateDirectoryW((folder / L"stream").c_str(), nullptr) && CreateDirectoryW((folder / L"stream\\~kz7-7.tmp").c_str(), nullptr));
    for (size_t i = 1; i < expected.size(); ++i)
        ASSERT_TRUE(WriteFileBytes(folder / expected[i], ""));
    for (const wchar_t* left : {L"stream\\~kz123-4.tmp", L"~kz5-2147483653.tmp"})  // the worker's, the stager's
        ASSERT_TRUE(WriteFileBytes(folder / left, "left by a killed setup"));
    for (const std::wstring& name : largeBlock)
        ASSERT_TRUE(WriteFileBytes(folder / (L"stream\\" + name), "earlier", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), L"Stream"));
    for (const std::wstring& name : stream) {
        ExpectSameAsPayload(folder.Path(), L"stream\\" + name, L"src\\stream\\" + name);
        expected.push_back(L"stream\\" + name);
    }
    std::vector<std::wstring> left = FilesBelow(folder.Path());
    std::sort(left.begin(), left.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, left);
}

// Three large blocks in a row (PAIR), two of them inflated and written at once: the failure
// reported is still the first in list order, and nothing written ahead of it is left.
static void ExpectFirstFailureInListOrder()
{
    const std::vector<std::wstring> pair = {L"one.dat", L"two.dat", L"three.dat"};
    auto adler = [](const wchar_t* name) {
        const Placement p = Place(name);
        return static_cast<size_t>(p.header.offset) + ArchiveFormat::kBlockHeaderSize + p.header.compressedSize - 1;
    };
    struct Case {
        const wchar_t* damaged;
        bool firstIsAFolder;
        size_t named;   // index of the entry the error names; those before it are replaced
    };
    const Case cases[] = {{L"pair\\one.dat", false, 0}, {L"pair\\two.dat", false, 1},
                          {L"pair\\three.dat", false, 2}, {L"pair\\three.dat", true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.damaged, c.damaged + wcslen(c.damaged)) << c.firstIsAFolder);
        TempFolder folder;
        ASSERT_TRUE(CreateDirectoryW((folder / L"pair").c_str(), nullptr));
        for (const std::wstring& name : pair)
            ASSERT_TRUE(c.firstIsAFolder && name == pair[0] ? CreateDirectoryW((folder / (L"pair\\" + name)).c_str(), nullptr)
                                                            : WriteFileBytes(folder / (L"pair\\" + name), "earlier"));
        {
            DamagedResource damage(adler(c.damaged));
            ASSERT_TRUE(damage.Ok());
            const int threads = ThreadsOfThisProcess();
            EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), L"Pair"));
            EXPECT_EQ(threads, ThreadsOfThisProcess());
        }
        const std::wstring named = L"pair\\" + pair[c.named];
        const std::vector<std::wstring> context =
            c.firstIsAFolder ? std::vector<std::wstring>{L"Unable to open file [" + (folder / named) + L"] in write mode",
                                                         L"fileBuffer.OpenWrite"}
                             : std::vector<std::wstring>{L"Unable to read [" + named + L"] from the install archive"};
        EXPECT_EQ(context, Context());
        std::vector<std::wstring> expected;
        std::string bytes;
        for (size_t i = 0; i < pair.size(); ++i) {
            if (c.firstIsAFolder && i == 0)
                continue;
            if (i < c.named) {
                ExpectSameAsPayload(folder.Path(), L"pair\\" + pair[i], L"src\\pair\\" + pair[i]);
            } else {
                EXPECT_TRUE(ReadFileBytes(folder / (L"pair\\" + pair[i]), &bytes) && bytes == "earlier");
            }
            expected.push_back(L"pair\\" + pair[i]);
        }
        // No temporary file of a block written ahead.
        std::vector<std::wstring> left = FilesBelow(folder.Path());
        std::sort(left.begin(), left.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, left);
    }
    TempFolder folder;
    ASSERT_TRUE(CreateDirectoryW((folder / L"pair").c_str(), nullptr));
    for (const wchar_t* name : {L"pair\\two.dat", L"pair\\three.dat"})
        ASSERT_TRUE(WriteFileBytes(folder / name, "earlier", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), L"Pair"));
    std::vector<std::wstring> expected = {L"Uninstall"};
    for (const std::wstring& name : pair) {
        ExpectSameAsPayload(folder.Path(), L"pair\\" + name, L"src\\pair\\" + name);
        expected.push_back(L"pair\\" + name);
    }
    std::vector<std::wstring> left = FilesBelow(folder.Path());
    std::sort(left.begin(), left.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, left);
}

TEST(ExtractResourceArchive, BadBlockNeverCostsAnExistingFile)
{
    ExpectBadBlocksNeverCostAFile();
    ExpectFirstFailureInListOrder();
}

// Without a helper thread the calling thread inflates and writes in turn: the same files, the
// same failures.
TEST(ExtractResourceArchive, WithoutAHelperThreadTheSameFilesAndFailures)
{
    NoNewThreads noThreads;
    TempFolder folder;
    ASSERT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), L"Stream"));
    EXPECT_GT(noThreads.Refused(), 0);
    for (const auto& file : FilesAndSources(L"STREAM"))
        ExpectSameAsPayload(folder.Path(), file.first, file.second);
    ExpectBadBlocksNeverCostAFile();
    ExpectFirstFailureInListOrder();
}

// A failing close (a write-behind error) fails its file, named; the earlier file stays when it
// was a large entry's temporary file.
TEST(ExtractResourceArchive, FailingCloseIsReportedWithTheFile)
{
    for (LONG close = 1; close <= 3; close += 2) {  // stream\lead.txt's temporary file, Uninstall
        TempFolder folder;
        ASSERT_TRUE(CreateDirectoryW((folder / L"stream").c_str(), nullptr) && WriteFileBytes(folder / L"stream\\lead.txt", "old"));
        closeFailsAt = close;
        EXPECT_EQ(E_FAIL, ExtractResourceArchive(folder.Path().c_str(), L"StreamHead"));
        closeFailsAt = 0;
        const std::wstring path = folder / (close == 1 ? L"stream\\lead.txt" : L"Uninstall");
        EXPECT_EQ(SystemText(ERROR_NETNAME_DELETED), W(PlatformError::GetErrorText()));
        EXPECT_EQ(L"Unable to finish writing file [" + path + L"]", W(PlatformError::GetContext().At(0)));
        std::string lead;
        EXPECT_EQ(close == 1, ReadFileBytes(folder / L"stream\\lead.txt", &lead) && lead == "old");
        EXPECT_EQ(close == 1 ? 1u : 2u, FilesBelow(folder / L"stream").size());
    }
}

// An upgrade over an earlier installation whose files are smaller, on a disk that fills up part
// way (small files, then large ones), with and without helper threads: every file is the old
// one or the new one, never cut off; the old uninstall data stays; no temporary file is left;
// the error names the file. Then, with room again, hidden, system and read-only files are
// replaced like any other (Windows refuses to create them anew over themselves).
TEST(ExtractResourceArchive, FullDiskDuringAnUpgradeCostsNoFile)
{
    const wchar_t* lists[] = {L"Files", L"Stream"};
    for (const wchar_t* list : lists) {
        const auto files = FilesAndSources(std::wstring(list) == L"Files" ? L"FILES" : L"STREAM");
        // Negative: the disk has room for every write, and the flush (of data the system
        // wrote late) finds it full, from the flush numbered -room on.
        for (long long room : {1000LL, 300000LL, 2500000LL, -1LL, -4LL}) {
            for (bool threads : {true, false}) {
                TempFolder folder;
                ASSERT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), list));
                for (const auto& file : files)
                    ASSERT_TRUE(WriteFileBytes(folder / file.first, "old " + std::string(file.first.begin(), file.first.end())));
                ASSERT_TRUE(WriteFileBytes(folder / L"Uninstall", "old list"));
                std::unique_ptr<NoNewThreads> noThreads(threads ? nullptr : new NoNewThreads);
                if (room > 0)
                    ReplacedWriteFile::FillDiskAfter(room);
                flushFailsAt = room < 0 ? static_cast<LONG>(-room) : 0;
                const HRESULT result = ExtractResourceArchive(folder.Path().c_str(), list);
                ReplacedWriteFile::Use(nullptr);
                flushFailsAt = 0;
                noThreads.reset();
                EXPECT_TRUE(room > 0 || result == E_FAIL) << "every replaced file is flushed";
                if (result == S_OK)
                    continue;   // everything fitted
                EXPECT_EQ(SystemText(ERROR_DISK_FULL), W(PlatformError::GetErrorText()));
                const std::vector<std::wstring> context = Context();
                ASSERT_EQ(2u, context.size());
                bool named = false;
                for (const auto& file : files) {
                    named = named || (room > 0 ? context == std::vector<std::wstring>{L"File write operation failed",
                                                                                      L"Unable to write file [" + file.first + L"]"}
                                               : context == std::vector<std::wstring>{L"Unable to write file [" + (folder / file.first) + L"] to disk",
                                                                                      L"fileBuffer.Close"});
                    std::string expected, written;
                    ASSERT_TRUE(ReadFileBytes(FixturePath(L"payload\\" + file.second), &expected));
                    ASSERT_TRUE(ReadFileBytes(folder / file.first, &written));
                    EXPECT_TRUE(written == expected || written == "old " + std::string(file.first.begin(), file.first.end()))
                        << std::string(file.first.begin(), file.first.end()) << " room " << room;
                }
                EXPECT_TRUE(named) << std::string(context[0].begin(), context[0].end()) << " room " << room;
                std::string uninstall;
                EXPECT_TRUE(ReadFileBytes(folder / L"Uninstall", &uninstall) && uninstall == "old list");
                EXPECT_EQ(files.size() + 1, FilesBelow(folder.Path()).size()) << "room " << room;
            }
        }
        // A fresh install flushes nothing; an upgrade flushes each file it replaces once, the
        // uninstall data file too, whichever thread wrote it.
        TempFolder folder;
        flushCalls = 0;
        ASSERT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), list));
        EXPECT_EQ(0, flushCalls);
        const DWORD marks[] = {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN};
        for (size_t i = 0; i < files.size(); ++i)
            ASSERT_TRUE(WriteFileBytes(folder / files[i].first, "old", marks[i % 3]));
        ASSERT_EQ(S_OK, ExtractResourceArchive(folder.Path().c_str(), list)) << W(PlatformError::GetMessage());
        EXPECT_EQ(static_cast<LONG>(files.size()) + 1, flushCalls);
        for (const auto& file : files) {
            ExpectSameAsPayload(folder.Path(), file.first, file.second);
            EXPECT_EQ(0u, GetFileAttributesW((folder / file.first).c_str()) &
                              (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
        }
    }
}
