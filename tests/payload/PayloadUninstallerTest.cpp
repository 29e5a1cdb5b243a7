// The product's uninstaller: its name checks and data-file reader directly, then the program
// itself against fake installations made here (files, uninstall data, uninstall entry,
// shortcuts and class keys), started the way the setup and the Start menu start it.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "PayloadTestSupport.h"
#include "payload/programs/uninstall/UninstallData.h"
#include "payload/programs/uninstall/Uninstaller.h"

using namespace PayloadTest;

namespace {

const DWORD kProgramTimeout = 30000;
const wchar_t kEntryKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kaze-Mar Orlix Player";
const wchar_t kCaption[] = L"Kaze Mar Orlix Player Uninstall";

bool Safe(const wchar_t* name)
{
    return Uninstaller::IsSafeName(name, lstrlenW(name));
}

TEST(UninstallerNames, AcceptsRelativeNamesBelowTheFolder)
{
    EXPECT_TRUE(Safe(L"code\\bin\\OrlixPlayer.exe"));
    EXPECT_TRUE(Safe(L"a\\.hidden"));
    EXPECT_TRUE(Safe(L"code\\CONSOLE.dll"));
}

// The setup's rule: what it would not extract, the uninstaller does not remove (devices, "/",
// its own data file).
TEST(UninstallerNames, RefusesNamesThatLeaveTheFolder)
{
    for (const wchar_t* name :
         {L"", L"..", L".", L"..\\x", L"a\\..\\..\\x", L"a/../../x", L"\\Windows\\x", L"/x", L"C:\\x", L"C:x",
          L"file.txt:stream", L"a\\\\b", L"a\\", L"a//b", L"...\\x", L".. \\x", L"a \\x", L"x.", L"a*b", L"a?b",
          L"\\\\server\\share\\x", L"a\tb", L"resources/graphic/OrlixFile.ico", L"CON", L"code\\NUL.txt",
          L"code\\com1", L"LPT\u00B9", L"CONIN$", L"Uninstall"}) {
        EXPECT_FALSE(Safe(name)) << std::string(name, name + lstrlenW(name));
    }
    // A NUL unit inside a stored name would hide its rest.
    const wchar_t hidden[] = L"a\0..\\..\\x";
    EXPECT_FALSE(Uninstaller::IsSafeName(hidden, 9));
}

TEST(UninstallerData, ReadsTheRecordedNames)
{
    // The single name code\x.dll gives a file of 28 bytes.
    const std::wstring one[] = {L"code\\x.dll"};
    const std::string bytes = UninstallDataBytes(one, 1);
    ASSERT_EQ(bytes.size(), 28u);
    ::UninstallData data;
    ASSERT_TRUE(data.Parse(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<DWORD>(bytes.size())));
    ASSERT_EQ(data.Count(), 1);
    EXPECT_STREQ(data.Name(0), L"code\\x.dll");
    EXPECT_EQ(data.Length(0), 10);

    const std::wstring three[] = {L"a", L"", L"b\\c"};
    const std::string more = UninstallDataBytes(three, 3);
    ASSERT_TRUE(data.Parse(reinterpret_cast<const unsigned char*>(more.data()), static_cast<DWORD>(more.size())));
    ASSERT_EQ(data.Count(), 3);
    EXPECT_STREQ(data.Name(1), L"");
    EXPECT_STREQ(data.Name(2), L"b\\c");

    const std::string empty(4, '\0');
    ASSERT_TRUE(data.Parse(reinterpret_cast<const unsigned char*>(empty.data()), 4));
    EXPECT_EQ(data.Count(), 0);
}

TEST(UninstallerData, RefusesDamagedFilesWhole)
{
    const std::wstring names[] = {L"code\\x.dll", L"y"};
    const std::string good = UninstallDataBytes(names, 2);
    ::UninstallData data;
    auto parse = [&data](const std::string& bytes) {
        return data.Parse(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    };
    EXPECT_TRUE(parse(good));

    EXPECT_FALSE(parse(good.substr(0, 3)));                 // no count
    EXPECT_FALSE(parse(good.substr(0, good.size() - 1)));   // last name cut off
    EXPECT_FALSE(parse(good + "x"));                        // bytes after the last name
    std::string count = good;
    count[0] = 3;                                           // more records than there are
    EXPECT_FALSE(parse(count));
    std::string huge = good;
    huge[0] = '\xFF';
    huge[1] = huge[2] = huge[3] = '\x7F';                   // a count no file could hold
    EXPECT_FALSE(parse(huge));
    std::string length = good;
    length[4] = 11;                                         // first length beyond its text
    EXPECT_FALSE(parse(length));
    std::string negative = good;
    negative[4] = negative[5] = negative[6] = negative[7] = '\xFF';
    EXPECT_FALSE(parse(negative));
    EXPECT_EQ(data.Count(), 0);
}

// ---------------------------------------------------------------------------------------------

// One fake installation: target folder T\Kaze Mar Orlix Player, install location ...\intel_a.
class UninstallerRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = MakeTempFolder(L"kz-uninstall");
        ASSERT_FALSE(root_.empty());
        target_ = root_ + L"\\Kaze Mar Orlix Player";
        location_ = target_ + L"\\intel_a";
        wchar_t programs[MAX_PATH];
        ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programs, CSIDL_COMMON_PROGRAMS, TRUE));
        menu_ = std::wstring(programs) + L"\\Kaze Mar Orlix Player";
        other_ = std::wstring(programs) + L"\\Kaze Mar Other Product";
        RemoveTree(menu_);
        ClearRegistry();
    }
    void TearDown() override
    {
        RemoveTree(root_);
        RemoveTree(target_);   // outside root_ when placed below a drive root
        RemoveTree(menu_);
        RemoveTree(other_);
        ClearRegistry();
    }
    static void ClearRegistry()
    {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kEntryKey);
        for (const wchar_t* key :
             {L"CLSID\\{A3F0D7E1-52C4-4B8A-8E6D-1C9B2F47E305}", L"CLSID\\{6E1B4C02-7A39-4F5D-9C21-3B8E5D0F7A64}",
              L"OrlixPlayer", L"OrlixPlayer.ocx", L".orlix", L".orx", L".qgm"})
            DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    }

    // The product's files, the data file listing them, the files the setup adds, the entry.
    void MakeInstallation(const std::vector<std::wstring>& listed)
    {
        for (const std::wstring& name : listed)
            ASSERT_TRUE(WriteBytes(location_ + L"\\" + name, "content of " + std::string(name.begin(), name.end())));
        ASSERT_TRUE(WriteBytes(location_ + L"\\Uninstall", UninstallDataBytes(listed.data(), static_cast<int>(listed.size()))));
        ASSERT_TRUE(WriteBytes(location_ + L"\\resources\\License.rtf", "{\\rtf1 license}"));
        ASSERT_TRUE(WriteBytes(location_ + L"\\Environnement.txt", "QorScope=global\r\n"));
        WriteEntry(location_);
    }

    // As the setup stores them: InstallLocation in 2n bytes without terminator, UninstallString
    // in quotation marks.
    static void WriteEntry(const std::wstring& location)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEntryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        std::wstring padded = location + L"X";   // the unit after the data is not NUL
        EXPECT_EQ(RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(padded.c_str()),
                                 static_cast<DWORD>(location.size() * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        const std::wstring uninstaller = L"\"" + location + L"\\code\\bin\\OrlixPlayerUninstall.exe\"";
        EXPECT_EQ(RegSetValueExW(key, L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(uninstaller.c_str()),
                                 static_cast<DWORD>((uninstaller.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    void MakeShortcuts()
    {
        for (const wchar_t* name : {L"License.lnk", L"Uninstall.lnk", L"Quickstart guide.lnk"})
            ASSERT_TRUE(WriteBytes(menu_ + L"\\" + name, "link"));
        for (const wchar_t* name : {L"Microsoft Powerpoint sample.lnk", L"Microsoft Word sample.lnk"})
            ASSERT_TRUE(WriteBytes(menu_ + L"\\Orlix Player samples\\" + name, "link"));
        ASSERT_TRUE(WriteBytes(other_ + L"\\Other.lnk", "link"));
    }

    void MakeRegistration()
    {
        const std::wstring control = L"CLSID\\{A3F0D7E1-52C4-4B8A-8E6D-1C9B2F47E305}";
        const std::wstring server = L"CLSID\\{6E1B4C02-7A39-4F5D-9C21-3B8E5D0F7A64}";
        ASSERT_TRUE(SetRegistryText(HKEY_CLASSES_ROOT, control + L"\\InprocServer32", nullptr, L"x.ocx"));
        ASSERT_TRUE(SetRegistryText(HKEY_CLASSES_ROOT, server + L"\\LocalServer32", nullptr, L"x.exe"));
        ASSERT_TRUE(SetRegistryText(HKEY_CLASSES_ROOT, server + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}", nullptr, L""));
        ASSERT_TRUE(SetRegistryText(HKEY_CLASSES_ROOT, L"OrlixPlayer\\shell\\open\\command", nullptr, L"x.exe \"%1\""));
        ASSERT_TRUE(SetRegistryText(HKEY_CLASSES_ROOT, L"OrlixPlayer.ocx\\CLSID", nullptr, L"{A3F0D7E1-52C4-4B8A-8E6D-1C9B2F47E305}"));
        ASSERT_TRUE(SetRegistryText(HKEY_CLASSES_ROOT, L".orlix", nullptr, L"OrlixPlayer"));
        // Another program owns .orx, and something else hangs below .qgm.
        ASSERT_TRUE(SetRegistryText(HKEY_CLASSES_ROOT, L".orx", nullptr, L"OtherViewer"));
        ASSERT_TRUE(SetRegistryText(HKEY_CLASSES_ROOT, L".qgm", nullptr, L"OrlixPlayer"));
        ASSERT_TRUE(SetRegistryText(HKEY_CLASSES_ROOT, L".qgm\\OpenWithProgids", L"OtherViewer", L""));
    }

    // A copy of the uninstaller under a temporary name, as the setup runs it.
    std::wstring TemporaryCopy()
    {
        const std::wstring copy = root_ + L"\\{3C2A9F10-0000-4000-8000-000000000001}.exe";
        EXPECT_TRUE(CopyFileW(ProgramPath(L"OrlixPlayerUninstall.exe").c_str(), copy.c_str(), FALSE));
        return copy;
    }

    DWORD RunSilent(const std::wstring& program)
    {
        DWORD code = 0xFFFF;
        // Application name plus the bare arguments, exactly as the setup starts it; a message
        // box would keep it from ending in time.
        EXPECT_TRUE(RunProgram(program, L" /Uninstall", kProgramTimeout, &code)) << "the uninstaller did not end";
        return code;
    }

    std::wstring root_;
    std::wstring target_;
    std::wstring location_;
    std::wstring menu_;
    std::wstring other_;
};

const std::vector<std::wstring> kProductFiles = {
    L"code\\bin\\OrlixPlayer.exe", L"code\\bin\\ZephyrixOCXViewer.ocx", L"code\\bin\\setqorenv.exe",
    L"code\\bin\\OrlixPlayerUninstall.exe", L"resources\\graphic\\OrlixFile.ico",
    L"resources\\Zephyrix\\HTML\\quickstart.html", L"resources\\Zephyrix\\versions\\PlayerVersion.txt"};

TEST_F(UninstallerRun, SilentRunRemovesTheInstallation)
{
    MakeInstallation(kProductFiles);
    MakeShortcuts();
    MakeRegistration();
    ASSERT_TRUE(WriteBytes(root_ + L"\\unrelated.txt", "keep"));

    EXPECT_EQ(RunSilent(TemporaryCopy()), 0u);

    EXPECT_FALSE(Exists(location_));
    EXPECT_FALSE(Exists(target_)) << "the empty target folder goes too";
    EXPECT_TRUE(Exists(root_ + L"\\unrelated.txt"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));

    EXPECT_FALSE(Exists(menu_));
    EXPECT_TRUE(Exists(other_ + L"\\Other.lnk"));

    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\{A3F0D7E1-52C4-4B8A-8E6D-1C9B2F47E305}"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\{6E1B4C02-7A39-4F5D-9C21-3B8E5D0F7A64}"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"OrlixPlayer"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"OrlixPlayer.ocx"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".orlix"));
    std::wstring text;
    EXPECT_TRUE(ReadRegistryText(HKEY_CLASSES_ROOT, L".orx", nullptr, &text));
    EXPECT_EQ(text, L"OtherViewer");
    // Only the binding of .qgm was ours: the key stays for what else it holds.
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L".qgm\\OpenWithProgids"));
    EXPECT_FALSE(ReadRegistryText(HKEY_CLASSES_ROOT, L".qgm", nullptr, &text));
}

TEST_F(UninstallerRun, FilesOfTheUserStayWithTheirFolders)
{
    MakeInstallation(kProductFiles);
    const std::wstring html = location_ + L"\\resources\\Zephyrix\\HTML\\";
    ASSERT_TRUE(WriteBytes(html + L"my notes.html", "mine"));
    // A killed setup's temporary files go, by the setup's exact rule; names near it stay.
    for (const wchar_t* left : {L"code\\bin\\~kz77-1.tmp", L"~kz5-2147483649.tmp", L"resources\\Zephyrix\\versions\\~kz1-0.tmp"})
        ASSERT_TRUE(WriteBytes(location_ + L"\\" + left, "staged"));
    const wchar_t* const alike[] = {L"~kz12.tmp", L"~kzA-1.tmp", L"~kz1-2.tmp.bak", L"~kz1-.tmp", L"x~kz1-2.tmp"};
    for (const wchar_t* name : alike)
        ASSERT_TRUE(WriteBytes(html + name, "mine"));

    EXPECT_EQ(RunSilent(TemporaryCopy()), 0u);

    for (const wchar_t* name : alike)
        EXPECT_TRUE(Exists(html + name)) << name;
    EXPECT_FALSE(Exists(location_ + L"\\~kz5-2147483649.tmp"));

    EXPECT_TRUE(Exists(location_ + L"\\resources\\Zephyrix\\HTML\\my notes.html"));
    EXPECT_FALSE(Exists(location_ + L"\\resources\\Zephyrix\\HTML\\quickstart.html"));
    EXPECT_FALSE(Exists(location_ + L"\\resources\\Zephyrix\\versions"));
    EXPECT_FALSE(Exists(location_ + L"\\code"));
    EXPECT_FALSE(Exists(location_ + L"\\Uninstall"));
    EXPECT_FALSE(Exists(location_ + L"\\Environnement.txt"));
    EXPECT_FALSE(Exists(location_ + L"\\resources\\License.rtf"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
}

// One name the setup would never write, beside a good one: refused and reported, nothing
// outside touched, and the installation still counts as removed.
class UninstallerRefusal : public UninstallerRun, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(UninstallerRefusal, NamesTheSetupWouldNotWriteAreRefused)
{
    const std::wstring outside = target_ + L"\\outside.txt";
    const std::wstring absolute = root_ + L"\\absolute.txt";
    ASSERT_TRUE(WriteBytes(outside, "keep"));
    ASSERT_TRUE(WriteBytes(absolute, "keep"));
    MakeInstallation({L"code\\bin\\OrlixPlayer.exe"});
    // The empty parameter stands for the absolute path of a file outside.
    const std::wstring names[] = {L"code\\bin\\OrlixPlayer.exe", *GetParam() ? std::wstring(GetParam()) : absolute};
    ASSERT_TRUE(WriteBytes(location_ + L"\\Uninstall", UninstallDataBytes(names, 2)));

    EXPECT_EQ(RunSilent(TemporaryCopy()), 1u) << "a refused name is reported";

    EXPECT_TRUE(Exists(outside));
    EXPECT_TRUE(Exists(absolute));
    EXPECT_FALSE(Exists(location_ + L"\\code\\bin\\OrlixPlayer.exe"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
}

INSTANTIATE_TEST_SUITE_P(HostileNames, UninstallerRefusal,
                         ::testing::Values(L"", L"..\\outside.txt", L"code\\..\\..\\outside.txt",
                                           L"code/../../outside.txt", L"C:outside.txt", L"code\\\\bin", L"...",
                                           L"CON", L"code\\AUX.txt"));

TEST_F(UninstallerRun, DamagedDataFileRemovesNoListedFile)
{
    MakeInstallation(kProductFiles);
    std::string data;
    ASSERT_TRUE(ReadBytes(location_ + L"\\Uninstall", &data));
    data[4] = '\x40';   // first length far beyond the file
    ASSERT_TRUE(WriteBytes(location_ + L"\\Uninstall", data));

    EXPECT_EQ(RunSilent(TemporaryCopy()), 1u);

    for (const std::wstring& name : kProductFiles)
        EXPECT_TRUE(Exists(location_ + L"\\" + name)) << std::string(name.begin(), name.end());
    EXPECT_TRUE(Exists(location_ + L"\\Uninstall")) << "kept for a later look";
    EXPECT_FALSE(Exists(location_ + L"\\Environnement.txt"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey)) << "the files are still installed";
}

TEST_F(UninstallerRun, RunFromInsideTheInstallationKeepsOnlyItself)
{
    MakeInstallation(kProductFiles);
    const std::wstring installed = location_ + L"\\code\\bin\\OrlixPlayerUninstall.exe";
    ASSERT_TRUE(CopyFileW(ProgramPath(L"OrlixPlayerUninstall.exe").c_str(), installed.c_str(), FALSE));

    EXPECT_EQ(RunSilent(installed), 0u) << "its own file is skipped silently";

    EXPECT_TRUE(Exists(installed));
    EXPECT_FALSE(Exists(location_ + L"\\code\\bin\\OrlixPlayer.exe"));
    EXPECT_FALSE(Exists(location_ + L"\\resources"));
    EXPECT_FALSE(Exists(location_ + L"\\Uninstall"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
}

TEST_F(UninstallerRun, NothingInstalledOrBadArguments)
{
    const std::wstring copy = TemporaryCopy();
    EXPECT_EQ(RunSilent(copy), 1u);

    MakeInstallation(kProductFiles);
    DWORD code = 0;
    ASSERT_TRUE(RunProgram(copy, L"\"" + copy + L"\" /Remove", kProgramTimeout, &code));
    EXPECT_EQ(code, 2u);
    ASSERT_TRUE(RunProgram(copy, L"\"" + copy + L"\" /Uninstall extra", kProgramTimeout, &code));
    EXPECT_EQ(code, 2u);
    EXPECT_TRUE(Exists(location_ + L"\\code\\bin\\OrlixPlayer.exe"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
}

TEST_F(UninstallerRun, EntryWithARootLocationRemovesNoFile)
{
    MakeInstallation(kProductFiles);
    const std::wstring drive = location_.substr(0, 3);   // "C:\"
    WriteEntry(drive);
    MakeRegistration();

    EXPECT_EQ(RunSilent(TemporaryCopy()), 1u);
    EXPECT_TRUE(Exists(location_ + L"\\code\\bin\\OrlixPlayer.exe"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"OrlixPlayer"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey)) << "no file was removed: the installation stays listed";
}

TEST_F(UninstallerRun, InstallationBelowADriveRootIsRemoved)
{
    // A drive root chosen as target: the setup writes "C:\\<product>\intel_a", separator doubled.
    const std::wstring drive = root_.substr(0, 2);
    const std::wstring folder = L"Kaze Mar Orlix Player " + std::to_wstring(GetCurrentProcessId());
    target_ = drive + L"\\" + folder;
    location_ = target_ + L"\\intel_a";
    RemoveTree(target_);
    MakeInstallation(kProductFiles);
    WriteEntry(drive + L"\\\\" + folder + L"\\intel_a");
    MakeShortcuts();
    MakeRegistration();

    EXPECT_EQ(RunSilent(TemporaryCopy()), 0u);
    EXPECT_FALSE(Exists(location_ + L"\\code\\bin\\OrlixPlayer.exe"));
    EXPECT_FALSE(Exists(target_)) << "the emptied target folder below the root goes too";
    EXPECT_TRUE(Exists(drive + L"\\"));
    EXPECT_FALSE(Exists(menu_));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"OrlixPlayer"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
}

// Answers the uninstaller's message boxes from another thread: Yes (or No) to the question,
// OK to the report, whose text it keeps.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int answer) : answer_(answer), stop_(false), thread_([this] { Watch(); }) {}
    ~BoxAnswerer() { Stop(); }
    // Ends the watching; the results are read after this.
    void Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    std::wstring Report() const { return report_; }
    int Questions() const { return questions_; }

private:
    void Watch()
    {
        const DWORD deadline = GetTickCount() + kProgramTimeout;
        while (!stop_ && GetTickCount() < deadline) {
            HWND box = FindWindowW(L"#32770", kCaption);
            if (box && IsWindowVisible(box)) {
                if (GetDlgItem(box, IDYES)) {
                    ++questions_;
                    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(GetDlgItem(box, answer_)));
                } else {
                    wchar_t text[4096] = L"";
                    SendMessageTimeoutW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                                        SMTO_ABORTIFHUNG, 2000, nullptr);
                    report_ = text;
                    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
                }
                // Let the box close before looking again.
                for (int i = 0; i < 100 && IsWindow(box); ++i)
                    Sleep(20);
            }
            Sleep(50);
        }
    }

    int answer_;
    std::atomic<bool> stop_;
    std::wstring report_;
    int questions_ = 0;
    std::thread thread_;
};

TEST_F(UninstallerRun, AHeldFileIsReportedAndKeepsTheInstallationListed)
{
    MakeInstallation(kProductFiles);
    const std::wstring locked = location_ + L"\\resources\\graphic\\OrlixFile.ico";
    HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    const std::wstring copy = TemporaryCopy();
    DWORD code = 0;
    std::wstring report;
    int questions = 0;
    {
        BoxAnswerer answerer(IDYES);
        EXPECT_TRUE(RunProgram(copy, L"\"" + copy + L"\"", kProgramTimeout, &code));
        answerer.Stop();
        report = answerer.Report();
        questions = answerer.Questions();
    }
    CloseHandle(hold);

    EXPECT_EQ(questions, 1);
    EXPECT_EQ(code, 1u);
    EXPECT_NE(report.find(locked), std::wstring::npos) << std::string(report.begin(), report.end());
    EXPECT_TRUE(Exists(locked));
    // The installation is not gone: its entry, its list and the uninstaller the entry names
    // stay, so the setup asks again and can run it again.
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
    EXPECT_TRUE(Exists(location_ + L"\\Uninstall"));
    EXPECT_TRUE(Exists(location_ + L"\\code\\bin\\OrlixPlayerUninstall.exe"));
    EXPECT_FALSE(Exists(location_ + L"\\code\\bin\\OrlixPlayer.exe"));

    // Once the file is free, the next run (as the setup starts it) finishes the job.
    EXPECT_EQ(RunSilent(copy), 0u);
    EXPECT_FALSE(Exists(target_));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
}

TEST_F(UninstallerRun, AnsweringNoRemovesNothing)
{
    MakeInstallation(kProductFiles);
    const std::wstring copy = TemporaryCopy();
    DWORD code = 0;
    {
        BoxAnswerer answerer(IDNO);
        EXPECT_TRUE(RunProgram(copy, L"\"" + copy + L"\"", kProgramTimeout, &code));
    }
    EXPECT_EQ(code, 2u);
    for (const std::wstring& name : kProductFiles)
        EXPECT_TRUE(Exists(location_ + L"\\" + name));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
}

} // namespace
