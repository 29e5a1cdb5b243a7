// The resources that kz_add_resources() links into an executable, read back through the
// system: the install archive (decoded here independently of the setup's reader, and then
// through the setup's own catalog lookup), the two file lists, the icon and the manifest.
#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "foundation/KZ_EventListener.h"
#include "foundation/MessageCatalog.h"
#include "foundation/Platform.h"
#include "foundation/ProductDefinition.h"
#include "tests/ProductDefinitionReset.h"

namespace {

std::string Resource(const wchar_t* name, const wchar_t* type)
{
    HRSRC found = FindResourceW(nullptr, name, type);
    if (!found)
        return std::string();
    HGLOBAL loaded = LoadResource(nullptr, found);
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string(data, SizeofResource(nullptr, found)) : std::string();
}

int32_t Int32(const std::string& bytes, size_t at)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
    return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

struct Entry {
    std::wstring name;
    int block;
    std::string content;
};

std::string Inflate(const std::string& stream, size_t size, bool* ok)
{
    std::string out(size, '\0');
    uLongf length = static_cast<uLongf>(size);
    *ok = uncompress(reinterpret_cast<Bytef*>(&out[0]), &length, reinterpret_cast<const Bytef*>(stream.data()),
                     static_cast<uLong>(stream.size())) == Z_OK &&
          length == size;
    return out;
}

// Decodes the whole archive: trailer, directory, every block, every entry.
::testing::AssertionResult DecodeArchive(const std::string& archive, std::vector<Entry>* entries)
{
    if (archive.size() < 16)
        return ::testing::AssertionFailure() << "archive of " << archive.size() << " bytes";
    const int32_t z = Int32(archive, archive.size() - 4);
    if (z <= 0 || static_cast<size_t>(z) + 12 > archive.size())
        return ::testing::AssertionFailure() << "directory stream length " << z;
    const size_t streamAt = archive.size() - 4 - z;
    const int32_t d = Int32(archive, streamAt - 8);
    const int32_t n = Int32(archive, streamAt - 4);
    if (d <= 0 || n <= 0)
        return ::testing::AssertionFailure() << "D " << d << " N " << n;
    if (archive.compare(streamAt, 2, "\x78\x9C") != 0)
        return ::testing::AssertionFailure() << "directory stream is not a default-level zlib stream";
    bool ok = false;
    const std::string directory = Inflate(archive.substr(streamAt, z), d, &ok);
    if (!ok)
        return ::testing::AssertionFailure() << "directory does not inflate to " << d << " bytes";

    std::vector<std::string> blocks;
    for (size_t at = 0; at < streamAt - 8;) {
        const int32_t compressed = Int32(archive, at);
        const int32_t content = Int32(archive, at + 4);
        if (compressed <= 0 || at + 8 + compressed > streamAt - 8)
            return ::testing::AssertionFailure() << "block " << blocks.size() << " leaves the data part";
        if (archive.compare(at + 8, 2, "\x78\x9C") != 0)
            return ::testing::AssertionFailure() << "block " << blocks.size() << " is not a zlib stream";
        blocks.push_back(Inflate(archive.substr(at + 8, compressed), content, &ok));
        if (!ok)
            return ::testing::AssertionFailure() << "block " << blocks.size() - 1 << " does not inflate";
        at += 8 + compressed;
    }

    size_t at = 0;
    for (int i = 0; i < n; ++i) {
        Entry entry;
        for (;;) {
            if (at + 2 > directory.size())
                return ::testing::AssertionFailure() << "record " << i << " has no end";
            const wchar_t unit = static_cast<wchar_t>(static_cast<unsigned char>(directory[at]) |
                                                      (static_cast<unsigned char>(directory[at + 1]) << 8));
            at += 2;
            if (!unit)
                break;
            entry.name.push_back(unit);
        }
        if (at + 12 > directory.size())
            return ::testing::AssertionFailure() << "record " << i << " is cut off";
        entry.block = Int32(directory, at);
        const int32_t offset = Int32(directory, at + 4);
        const int32_t stored = Int32(directory, at + 8);
        at += 12;
        if (entry.block < 0 || static_cast<size_t>(entry.block) >= blocks.size() || stored < 4 ||
            static_cast<size_t>(offset) + stored > blocks[entry.block].size())
            return ::testing::AssertionFailure() << "record " << i << " points outside its block";
        const std::string& block = blocks[entry.block];
        if (Int32(block, offset) != stored - 4)
            return ::testing::AssertionFailure() << "record " << i << " disagrees with its length prefix";
        entry.content = block.substr(offset + 4, stored - 4);
        entries->push_back(entry);
    }
    if (at != directory.size())
        return ::testing::AssertionFailure() << "bytes after the last record";
    return ::testing::AssertionSuccess();
}

std::wstring Widen(const std::string& text)
{
    std::wstring out;
    for (char c : text)
        out.push_back(static_cast<unsigned char>(c));
    return out;
}

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; *text; ++text)
        out.push_back(*text < 128 ? static_cast<char>(*text) : '?');
    return out;
}

// The lines of a file list (or a catalog), checked to end in CR LF each. The setup reads list
// lines of at most 259 bytes.
::testing::AssertionResult ListLines(const std::string& list, std::vector<std::string>* lines, size_t longest = 259)
{
    size_t at = 0;
    while (at < list.size()) {
        const size_t end = list.find("\r\n", at);
        if (end == std::string::npos)
            return ::testing::AssertionFailure() << "text after the last CR LF";
        const std::string line = list.substr(at, end - at);
        if (line.find_first_of("\r\n") != std::string::npos)
            return ::testing::AssertionFailure() << "bare CR or LF in \"" << line << "\"";
        if (line.empty())
            return ::testing::AssertionFailure() << "empty line";
        if (line.back() == ' ' || line.size() > longest)
            return ::testing::AssertionFailure() << "line \"" << line << "\" ends in a blank or is too long";
        lines->push_back(line);
        at = end + 2;
    }
    return ::testing::AssertionSuccess();
}

// The entry name of a list line, as the extraction reads it.
std::wstring TargetOf(const std::string& line)
{
    const size_t arrow = line.find("->");
    if (arrow == std::string::npos)
        return Widen(line);
    size_t from = arrow + 2;
    while (from < line.size() && line[from] == ' ')
        ++from;
    return Widen(line.substr(from));
}

class PayloadResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        archive_ = new std::vector<Entry>();
        decoded_ = DecodeArchive(Resource(L"RESOURCES", L"KZ"), archive_);
    }
    static void TearDownTestSuite()
    {
        delete archive_;
        archive_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(decoded_) << "the install archive does not decode"; }

    static const Entry* Find(const std::wstring& name)
    {
        for (const Entry& entry : *archive_) {
            if (entry.name == name)
                return &entry;
        }
        return nullptr;
    }
    static std::string Content(const std::wstring& name)
    {
        const Entry* entry = Find(name);
        return entry ? entry->content : std::string();
    }

    static std::vector<Entry>* archive_;
    static bool decoded_;
};

std::vector<Entry>* PayloadResources::archive_ = nullptr;
bool PayloadResources::decoded_ = false;

TEST(PayloadResourceTable, ExecutableCarriesArchiveListsIconAndManifest)
{
    EXPECT_GT(Resource(L"RESOURCES", L"KZ").size(), 1000u);
    // Resource names and types match without regard to case, as the extraction asks for "Files".
    EXPECT_FALSE(Resource(L"Files", L"SETUP").empty());
    EXPECT_FALSE(Resource(L"RESOURCES", L"SETUP").empty());
    EXPECT_NE(FindResourceW(nullptr, L"PROGRAMICON", RT_GROUP_ICON), nullptr);
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"PROGRAMICON", IMAGE_ICON, 48, 48, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap;
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 48);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

TEST(PayloadResourceTable, ManifestAsksForCommonControlsSixAndElevation)
{
    const std::string manifest = Resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
    EXPECT_NE(manifest.find("requestedExecutionLevel level=\"requireAdministrator\""), std::string::npos);
}

TEST(PayloadResourceTable, ListsEndEveryLineWithCrLf)
{
    for (const wchar_t* name : {L"FILES", L"RESOURCES"}) {
        std::vector<std::string> lines;
        EXPECT_TRUE(ListLines(Resource(name, L"SETUP"), &lines)) << name;
        EXPECT_GT(lines.size(), 3u) << name;
    }
}

TEST_F(PayloadResources, ArchiveStartsWithTheCatalogsInOneBlock)
{
    ASSERT_GE(archive_->size(), 4u);
    EXPECT_EQ((*archive_)[0].name, L"resources\\msgcatalog\\KZOrlixPlayerSetup.QorNls");
    EXPECT_EQ((*archive_)[1].name, L"resources\\msgcatalog\\KZOrlixSetup.QorNls");
    for (const wchar_t* catalog : {L"KZOrlixPlayerSetup", L"KZOrlixSetup", L"KZ_PlatformErrors", L"KZ_UIWizard"}) {
        const Entry* entry = Find(std::wstring(L"resources\\msgcatalog\\") + catalog + L".QorNls");
        ASSERT_NE(entry, nullptr) << catalog;
        EXPECT_EQ(entry->block, 0) << catalog;
    }
}

TEST_F(PayloadResources, ArchiveHoldsEachListedTargetOnce)
{
    std::set<std::wstring> listed;
    std::vector<std::wstring> resourcesOrder;
    for (const wchar_t* list : {L"RESOURCES", L"FILES"}) {
        std::vector<std::string> lines;
        ASSERT_TRUE(ListLines(Resource(list, L"SETUP"), &lines));
        for (const std::string& line : lines) {
            const std::wstring target = TargetOf(line);
            listed.insert(target);
            if (std::wstring(list) == L"RESOURCES")
                resourcesOrder.push_back(target);
            EXPECT_NE(Find(target), nullptr) << line;
        }
    }
    std::set<std::wstring> names;
    for (const Entry& entry : *archive_) {
        EXPECT_TRUE(names.insert(entry.name).second) << "twice in the archive";
        EXPECT_EQ(listed.count(entry.name), 1u) << "not in a list";
    }
    // The RESOURCES list is packed first, in its order.
    for (size_t i = 0; i < resourcesOrder.size(); ++i)
        EXPECT_EQ((*archive_)[i].name, resourcesOrder[i]);
}

TEST_F(PayloadResources, FilesListInstallsTheProduct)
{
    std::vector<std::string> lines;
    ASSERT_TRUE(ListLines(Resource(L"FILES", L"SETUP"), &lines));
    std::set<std::wstring> targets;
    for (const std::string& line : lines)
        targets.insert(TargetOf(line));
    for (const wchar_t* name :
         {L"code\\bin\\OrlixPlayer.exe", L"code\\bin\\ZephyrixOCXViewer.ocx", L"code\\bin\\setqorenv.exe",
          L"code\\bin\\OrlixPlayerUninstall.exe", L"resources\\graphic\\OrlixFile.ico",
          L"resources\\Zephyrix\\HTML\\quickstart.html", L"resources\\Zephyrix\\HTML\\PPTDemo.ppt",
          L"resources\\Zephyrix\\HTML\\WordDemo.doc", L"resources\\Zephyrix\\versions\\PlayerVersion.txt"})
        EXPECT_EQ(targets.count(name), 1u) << Narrow(name);
    // Programs are real executables for this architecture.
    for (const wchar_t* name : {L"code\\bin\\OrlixPlayer.exe", L"code\\bin\\ZephyrixOCXViewer.ocx"}) {
        const std::string program = Content(name);
        ASSERT_GT(program.size(), 0x200u);
        ASSERT_EQ(program.compare(0, 2, "MZ"), 0);
        const int32_t pe = Int32(program, 0x3C);
        ASSERT_EQ(program.compare(pe, 4, std::string("PE\0\0", 4)), 0);
        const unsigned machine = static_cast<unsigned char>(program[pe + 4]) | (static_cast<unsigned char>(program[pe + 5]) << 8);
        EXPECT_EQ(machine, sizeof(void*) == 8 ? 0x8664u : 0x14Cu);
    }
    EXPECT_NE(Content(L"resources\\Zephyrix\\HTML\\quickstart.html").find("<html"), std::string::npos);
}

// Strict reading of a shipped catalog: one `Key="Text";` per line, CR LF, Windows-1252.
::testing::AssertionResult CatalogEntries(const std::string& text, std::vector<std::pair<std::string, std::string>>* out)
{
    std::vector<std::string> lines;
    ::testing::AssertionResult ok = ListLines(text, &lines, 4095);
    if (!ok)
        return ok;
    for (const std::string& line : lines) {
        const size_t equals = line.find("=\"");
        if (equals == std::string::npos || equals == 0 || line.size() < equals + 4 ||
            line.compare(line.size() - 2, 2, "\";") != 0)
            return ::testing::AssertionFailure() << "not an entry: " << line;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 2, line.size() - equals - 4);
        for (unsigned char c : key) {
            if (c <= 32 || c > 127 || c == '=')
                return ::testing::AssertionFailure() << "bad key byte in " << line;
        }
        for (unsigned char c : value) {
            // Undefined in Windows-1252, or ends the text early.
            if (c == '"' || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D || c < 32)
                return ::testing::AssertionFailure() << "bad text byte in " << line;
        }
        out->push_back(std::make_pair(key, value));
    }
    return ::testing::AssertionSuccess();
}

TEST_F(PayloadResources, CatalogsAreWrittenOneEntryPerLine)
{
    for (const wchar_t* catalog : {L"KZOrlixPlayerSetup", L"KZOrlixSetup", L"KZ_PlatformErrors", L"KZ_UIWizard"}) {
        std::vector<std::pair<std::string, std::string>> entries;
        EXPECT_TRUE(CatalogEntries(Content(std::wstring(L"resources\\msgcatalog\\") + catalog + L".QorNls"), &entries))
            << Narrow(catalog);
        // No key twice, except the one duplicate the platform catalog has always carried.
        std::set<std::string> keys;
        for (const auto& entry : entries) {
            if (entry.first != "CoCreateInstance.E_NOINTERFACE") {
                EXPECT_TRUE(keys.insert(entry.first).second) << entry.first;
            }
            if (entry.first.find(".Pad.") != std::string::npos) {
                EXPECT_EQ(entry.second, " ") << entry.first;
            }
        }
    }
}

TEST_F(PayloadResources, PlatformErrorCatalogHoldsEveryKeyInOrder)
{
    std::vector<std::pair<std::string, std::string>> entries;
    ASSERT_TRUE(CatalogEntries(Content(L"resources\\msgcatalog\\KZ_PlatformErrors.QorNls"), &entries));
    const char* const keys[] = {
        "OutOfMemory", "RegOpenKey", "RegDeleteKey", "RegCreateKey", "RegSetValueEx", "RegQueryValueEx",
        "CreateFile.Write", "CreateFile.Read", "WriteFile", "ReadFile", "DeleteFile", "GetTempPath", "CopyFile",
        "FileNotFound", "FindFirstFile", "RemoveDirectory", "LoadLibrary", "CreateProcess", "GetModuleFileName",
        "FindResource", "LoadResource", "UpdateResource", "InstallServices.CreateUUID",
        "InstallServices.GetInstallPath", "InstallServices.ReadUninstall", "InstallServices.LockedByProcess",
        "InstallServices.CreateUninstall", "FileBuffer.NotOpened.Write", "FileBuffer.NotOpened.Read",
        "ResourceBuffer.NotOpened.Read", "ResourceBuffer.EOF", "zlib.uncompress", "zlib.compress",
        "CoCreateInstance.E_NOINTERFACE", "CoCreateInstance.E_NOINTERFACE", "CoCreateInstance.REGDB_E_CLASSNOTREG",
        "UIControlContainer.Create.IOleObject", "UIControlContainer.Create.SetClientSite",
        "UIControlContainer.Create.DoVerb",
        // The extraction's own refusals of a bad file list, after the fixed table, and the
        // entry it could not read, named; a file written but not made durable, or whose write
        // failed, named.
        "Archive.InvalidName", "Archive.ListLineTooLong", "archive.Get", "FlushFileBuffers", "CloseHandle",
        // A module that does not register itself, named with its reason.
        "GetProcAddress", "DllRegisterServer", "OleInitialize", "fileBuffer.WriteBuffer"};
    ASSERT_EQ(entries.size(), sizeof keys / sizeof keys[0]);
    for (size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(entries[i].first, keys[i]) << "entry " << i;
    EXPECT_EQ(entries[34].second, "COM Object does not implement requested interface");
}

WString W(const wchar_t* text)
{
    return WString(text);
}

std::wstring Text(const WString& text)
{
    return std::wstring(text.c_str());
}



TEST_F(PayloadResources, SetupLookupsFindTheShippedTexts)
{
    EXPECT_EQ(Text(MessageCatalog::Lookup("KZ_UIWizard", W(L"Next.Title"))), L"&Next >");
    EXPECT_EQ(Text(MessageCatalog::Lookup("KZ_UIWizard", W(L"Next.Install"))), L"&Install >");
    EXPECT_EQ(Text(MessageCatalog::Lookup("KZ_UIWizard", W(L"Back.Title"))), L"< &Back");
    EXPECT_EQ(Text(MessageCatalog::Lookup("KZ_UIWizard", W(L"Cancel.Title"))), L"Cancel");
    EXPECT_EQ(Text(MessageCatalog::Lookup("KZ_UIWizard", W(L"Finish.Title"))), L"&Finish");

    WStringArray one;
    one.Append(W(L"C:\\x.txt"));
    EXPECT_EQ(Text(MessageCatalog::Lookup(nullptr, W(L"CreateFile.Read"), one)),
              L"Unable to open file [C:\\x.txt] in read mode");
    EXPECT_EQ(Text(MessageCatalog::Lookup(nullptr, W(L"CoCreateInstance.E_NOINTERFACE"))), L"Unable to create COM object");
    WStringArray three;
    three.Append(W(L"a.dll"));
    three.Append(W(L"viewer.exe"));
    three.Append(W(L"42"));
    EXPECT_EQ(Text(MessageCatalog::Lookup("KZ_PlatformErrors", W(L"InstallServices.LockedByProcess"), three)),
              L"Orlix Player file 'a.dll'\nis locked by process 'viewer.exe' (pid #42)\nPlease close all appplications "
              L"using Orlix Player then push 'Retry' to continue uninstallation.\nElse, choose 'Cancel' to abort "
              L"uninstallation.");
}

// Every text the setup window and its task ask for, through the window's own catalog and its
// fallback, as the setup window is configured.
TEST_F(PayloadResources, SetupWindowChainAnswersEveryKey)
{
    KZ_EventListener window;
    window.SetCatalog("KZOrlixPlayerSetup");
    window.SetFallbackCatalog("KZOrlixSetup");
    const wchar_t* const expected[][2] = {
        {L"Title", L"Kaze Mar Orlix Player Install wizard"},
        {L"Welcome.Title.Label", L"Welcome to the Installation Wizard for Kaze Mar Orlix Player 4.2.1"},
        {L"Welcome.Info.Label", L"Kaze Mar Orlix Player is a powerful 3D Viewing tool."},
        {L"Welcome.Warn.Label", L""},
        {L"Welcome.Pad.Label", L" "},
        {L"License.Agree.Title", L"I &accept the terms in the license agreement"},
        {L"License.NoAgree.Title", L"I &do not accept the terms in the license agreement"},
        {L"Target.TargetPanel.Title.Label", L"Choose installation folder"},
        {L"Target.TargetPanel.Label.Label", L"Install Kaze Mar Orlix Player to:"},
        {L"Target.TargetPanel.Browse.Title", L"&Change..."},
        {L"Target.TargetPanel.Pad.Label", L" "},
        {L"Summary.SummaryPanel.Title.Label", L"Ready to process installation."},
        {L"Summary.SummaryPanel.Label.Label",
         L"Click Back if you want to review or change any of your installation settings.\nClick Install to run "
         L"installation.\nClick Cancel to exit the wizard."},
        {L"Summary.SummaryPanel.Pad.Label", L" "},
        {L"Install.InstallPanel.Pad.Label", L" "},
        {L"End.Title.Label", L"Kaze Mar Orlix Player Installation Complete"},
        {L"End.Info.Label",
         L"The Installation Wizard has successfully installed Kaze Mar Orlix Player. Click Finish to exit the wizard."},
        {L"End.Pad.Label", L" "},
        {L"Progress.Prepare", L"Prepare to install..."},
        {L"Progress.Extract", L"Extract files to installation directory..."},
        {L"Progress.Register", L"Register application..."},
        {L"Progress.Complete", L"Installation complete"},
        {L"ShutdownBlock.Reason",
         L"Kaze Mar Orlix Player is being installed. Wait until the installation has ended before you restart or log off."},
        {L"AnotherSetupRuns", L"Another installation wizard is running on this computer. Wait until it has ended, then "
                              L"start the Kaze Mar Orlix Player Install wizard again."},
        {L"ExtractResourceArchive", L"Unable to extract files"},
        {L"RegisterInstall", L"Unable to register un-installer"},
        {L"Register", L"Unable to register program files"},
        {L"AlreadyInstalled.Title", L"Program already installed"},
        {L"Demo.Lic.Link", L"License"},
        {L"Demo.Lic.Desc", L"Kaze Mar Orlix Player license agreement"},
        {L"Demo.Uni.Link", L"Uninstall"},
        {L"Demo.Uni.Desc", L"Uninstall Kaze Mar Orlix Player"},
        {L"Demo.Html.Link", L"Quickstart guide"},
        {L"Demo.Html.Desc", L"Kaze Mar Orlix Player quickstart guide"},
        {L"Demo.PPT.Link", L"Microsoft Powerpoint sample"},
        {L"Demo.PPT.Desc", L"Kaze Mar Orlix Player in Microsoft Powerpoint sample"},
        {L"Demo.Word.Link", L"Microsoft Word sample"},
        {L"Demo.Word.Desc", L"Kaze Mar Orlix Player in Microsoft Word sample"},
    };
    for (const auto& pair : expected)
        EXPECT_EQ(Text(window.GetMessage(W(pair[0]), W(L"4.2.1"))), pair[1]) << Narrow(pair[0]);

    WStringArray versions;
    versions.Append(W(L"4.0.0"));
    versions.Append(W(L"4.2.1"));
    EXPECT_EQ(Text(window.GetMessage(W(L"AlreadyInstalled.Details"), versions)),
              L"A previous installation 4.0.0 of the program has been detected by the Installation Wizard 4.2.1.\nDo you "
              L"want to uninstall previous version first ?\n\nClick YES to uninstall previous version now,\nClick NO to "
              L"continue installation (Previous version will not work anymore),\nClick Cancel to exit the Wizard.");

    EXPECT_EQ(Text(MessageCatalog::Lookup("KZOrlixSetup", W(L"AnotherSetupRuns"))),
              L"Another installation wizard is running on this computer. Wait until it has ended, then start this one "
              L"again.");

    // These two get their text from the program; a catalog entry would flash up first.
    EXPECT_EQ(Text(window.GetMessage(W(L"Install.InstallPanel.Status.Label"))), L"Install.InstallPanel.Status.Label");
    EXPECT_EQ(Text(window.GetMessage(W(L"Target.TargetPanel.Path.Label"))), L"Target.TargetPanel.Path.Label");
}

TEST_F(PayloadResources, PackagedVersionIsTheVersionFile)
{
    EXPECT_EQ(Content(L"resources\\Zephyrix\\versions\\PlayerVersion.txt"), "4.2.1\r\n");
    ProductDefinition::SetVersionFile(W(L"resources\\Zephyrix\\versions\\PlayerVersion.txt"));
    WString version;
    EXPECT_EQ(GetPackagedVersion(&version), S_OK);
    EXPECT_EQ(Text(version), L"4.2.1");
    ResetProductDefinition();
}

TEST_F(PayloadResources, BannersAreBitmapsTheSetupAccepts)
{
    struct Banner {
        const wchar_t* name;
        int width;
        int height;
    };
    for (const Banner& banner : {Banner{L"KZOrlixSetup", 164, 355}, Banner{L"KZOrlixSetupH", 500, 58}}) {
        const std::string bmp = Content(std::wstring(L"resources\\graphic\\icons\\") + banner.name + L".bmp");
        ASSERT_GT(bmp.size(), 54u);
        // The checks of the setup's bitmap control: "BM" and a file size field equal to the entry.
        EXPECT_EQ(bmp.compare(0, 2, "BM"), 0);
        EXPECT_EQ(static_cast<size_t>(Int32(bmp, 2)), bmp.size());
        EXPECT_EQ(Int32(bmp, 10), 54);
        const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(bmp.data() + 14);
        EXPECT_EQ(header->biSize, 40u);
        EXPECT_EQ(header->biWidth, banner.width);
        EXPECT_EQ(header->biHeight, banner.height);   // positive: bottom-up
        EXPECT_EQ(header->biBitCount, 24);
        EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
        const size_t stride = (banner.width * 3 + 3) & ~3u;
        EXPECT_EQ(bmp.size(), 54 + stride * banner.height);

        HDC screen = GetDC(nullptr);
        HBITMAP bitmap = CreateDIBitmap(screen, header, CBM_INIT, bmp.data() + Int32(bmp, 10),
                                        reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        EXPECT_NE(bitmap, nullptr);
        if (bitmap)
            DeleteObject(bitmap);
    }
}

TEST_F(PayloadResources, LicenseIsPlainRtf)
{
    const std::string rtf = Content(L"resources\\KZOrlixLicense.rtf");
    ASSERT_EQ(rtf.compare(0, 6, "{\\rtf1"), 0);
    EXPECT_NE(rtf.find("{\\fonttbl"), std::string::npos);
    EXPECT_NE(rtf.find("\\b "), std::string::npos);
    EXPECT_NE(rtf.find("\\par"), std::string::npos);
    EXPECT_NE(rtf.find("Kaze Mar Orlix Player"), std::string::npos);
    int depth = 0;
    size_t closed = std::string::npos;
    for (size_t i = 0; i < rtf.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(rtf[i]);
        ASSERT_LT(c, 0x80) << "offset " << i;
        if (c == '\\') {
            ++i;   // an escaped brace or backslash
            continue;
        }
        if (c == '{')
            ++depth;
        if (c == '}' && --depth == 0)
            closed = i;
        ASSERT_GE(depth, 0);
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(rtf.find_first_not_of("\r\n", closed + 1), std::string::npos);
}

TEST_F(PayloadResources, DocumentIconHoldsThreeSizes)
{
    const std::string ico = Content(L"resources\\graphic\\OrlixFile.ico");
    ASSERT_GT(ico.size(), 6u + 3 * 16);
    EXPECT_EQ(ico.compare(0, 4, std::string("\0\0\1\0", 4)), 0);
    ASSERT_EQ(static_cast<unsigned char>(ico[4]), 3);
    const int sizes[] = {16, 32, 48};
    for (int i = 0; i < 3; ++i) {
        const size_t entry = 6 + 16 * i;
        EXPECT_EQ(static_cast<unsigned char>(ico[entry]), sizes[i]);
        const int32_t bytes = Int32(ico, entry + 8);
        const int32_t offset = Int32(ico, entry + 12);
        ASSERT_LE(static_cast<size_t>(offset) + bytes, ico.size());
        HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(const_cast<char*>(ico.data())) + offset, bytes,
                                              TRUE, 0x00030000, sizes[i], sizes[i], 0);
        EXPECT_NE(icon, nullptr) << sizes[i];
        if (icon)
            DestroyIcon(icon);
    }
}

} // namespace
