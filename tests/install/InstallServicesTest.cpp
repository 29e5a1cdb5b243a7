// The product's uninstall entry, the Start-menu folder and the temporary folder, against
// Wine's registry and file system.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "InstallTestSupport.h"
#include "foundation/PlatformError.h"
#include "foundation/ProductDefinition.h"
#include "foundation/ScopedHandle.h"
#include "install/InstallServices.h"
#include "tests/ProductDefinitionReset.h"

using namespace kztest;

namespace {

class UninstallEntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        keyName_ = L"KZ Test Product " + Pid();
        path_ = kUninstallRoot + keyName_;
        DeleteTree(HKEY_LOCAL_MACHINE, path_);
        PlatformError::Clear();
    }
    void TearDown() override
    {
        DeleteTree(HKEY_LOCAL_MACHINE, path_);
        ResetProductDefinition();
    }
    RegValue Value(const wchar_t* name) { return ReadValue(HKEY_LOCAL_MACHINE, path_, name); }

    std::wstring keyName_;
    std::wstring path_;
};

TEST_F(UninstallEntryTest, RegisterInstallWritesTheEntryWithTypesAndSizes)
{
    InstallServices services(L"KZ Test Display", keyName_.c_str(), GetModuleHandleW(nullptr),
                             nullptr);
    const std::wstring location = L"C:\\Program Files\\KZ Test\\intel_a";
    const std::wstring uninstaller = location + L"\\code\\bin\\Uninstall.exe";
    ASSERT_EQ(S_OK, services.RegisterInstall(location.c_str(), uninstaller.c_str(), L"2.5.1"));

    EXPECT_TRUE(Value(L"DisplayName").HoldsText(L"KZ Test Display"));
    EXPECT_TRUE(Value(L"DisplayIcon").HoldsText(uninstaller + L",0"));
    EXPECT_TRUE(Value(L"UninstallString").HoldsText(L"\"" + uninstaller + L"\""));
    EXPECT_TRUE(Value(L"InstallLocation").HoldsText(location));
    EXPECT_TRUE(Value(L"DisplayVersion").HoldsText(L"2.5.1"));
    for (const wchar_t* name : {L"NoModify", L"NoRepair"}) {
        RegValue flag = Value(name);
        ASSERT_TRUE(flag.found) << name;
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), flag.type) << name;
        EXPECT_EQ(4u, flag.size) << name;
        EXPECT_EQ(1u, flag.Dword()) << name;
    }
    // Wine enumerates values sorted by name, so the order of writing cannot be seen here.
    EXPECT_EQ(7u, ValueNames(HKEY_LOCAL_MACHINE, path_).size());
}

TEST_F(UninstallEntryTest, TextsAreWrittenWithoutTerminator)
{
    // Only an empty text shows what the code hands the system: a non-empty one from a
    // terminated buffer gets its NUL counted in by the registry itself.
    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    ASSERT_EQ(S_OK, services.RegisterInstall(L"", L"", L"9"));
    RegValue location = Value(L"InstallLocation");
    ASSERT_TRUE(location.found);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), location.type);
    EXPECT_EQ(0u, location.size);
    EXPECT_EQ(0u, Value(L"UninstallString").size);
    EXPECT_TRUE(Value(L"DisplayIcon").HoldsText(L",0"));

    WString read(L"stale");
    EXPECT_EQ(S_OK, services.GetInstallPath(read));
    EXPECT_TRUE(read.IsEmpty());
}

TEST_F(UninstallEntryTest, EmptyVersionKeepsTheEarlierDisplayVersion)
{
    InstallServices first(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    ASSERT_EQ(S_OK, first.RegisterInstall(L"C:\\Old", L"C:\\Old\\u.exe", L"1.0"));
    InstallServices second(L"KZ Test Display 2", keyName_.c_str(), nullptr, nullptr);
    ASSERT_EQ(S_OK, second.RegisterInstall(L"C:\\New", L"C:\\New\\u.exe", L""));

    EXPECT_TRUE(Value(L"DisplayVersion").HoldsText(L"1.0"));
    EXPECT_TRUE(Value(L"InstallLocation").HoldsText(L"C:\\New"));
    EXPECT_TRUE(Value(L"DisplayName").HoldsText(L"KZ Test Display 2"));

    ProductDefinition::SetRegistryKeyName(keyName_.c_str());
    WString version;
    EXPECT_EQ(S_OK, InstallServices::GetInstalledVersion(version));
    EXPECT_EQ(L"1.0", Std(version));
}

TEST_F(UninstallEntryTest, EmptyVersionOnANewKeyWritesSixValues)
{
    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    ASSERT_EQ(S_OK, services.RegisterInstall(L"C:\\A", L"C:\\A\\u.exe", L""));
    EXPECT_FALSE(Value(L"DisplayVersion").found);
    EXPECT_EQ(6u, ValueNames(HKEY_LOCAL_MACHINE, path_).size());
}

TEST_F(UninstallEntryTest, ConstructorsSetTheProcessWideNames)
{
    {
        InstallServices services(L"Shown Name", L"Key Name", nullptr, nullptr);
    }
    // The names outlive the object.
    EXPECT_EQ(L"Shown Name", Std(InstallServices::GetDisplayName()));
    EXPECT_EQ(L"Key Name", Std(InstallServices::GetKeyName()));

    InstallServices single(keyName_.c_str(), GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(keyName_, Std(InstallServices::GetDisplayName()));
    EXPECT_EQ(keyName_, Std(InstallServices::GetKeyName()));
    EXPECT_EQ(GetModuleHandleW(nullptr), single.GetInstance());
    EXPECT_EQ(nullptr, single.GetOwner());
    ASSERT_EQ(S_OK, single.RegisterInstall(L"C:\\A", L"C:\\A\\u.exe", L""));
    EXPECT_TRUE(Value(L"DisplayName").HoldsText(keyName_));
}

TEST_F(UninstallEntryTest, GetInstallPathReadsExactlyTheTextWritten)
{
    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    // 259 characters: the longest that fits the reader's buffer with room to spare.
    const std::wstring location = L"C:\\" + std::wstring(256, L'x');
    ASSERT_EQ(S_OK, services.RegisterInstall(location.c_str(), L"C:\\u.exe", L"1"));
    WString read;
    ASSERT_EQ(S_OK, services.GetInstallPath(read));
    EXPECT_EQ(location, Std(read));
}

TEST_F(UninstallEntryTest, ReadsEndAtAnEarlierNul)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, path_.c_str(), &key));
    const wchar_t data[] = {L'C', L':', L'\\', L'A', 0, L'B', L'C'};
    RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                   sizeof(data));
    RegSetValueExW(key, L"DisplayVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                   sizeof(data));
    RegCloseKey(key);

    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    WString read;
    ASSERT_EQ(S_OK, services.GetInstallPath(read));
    EXPECT_EQ(L"C:\\A", Std(read));
    ProductDefinition::SetRegistryKeyName(keyName_.c_str());
    ASSERT_EQ(S_OK, InstallServices::GetInstalledVersion(read));
    EXPECT_EQ(L"C:\\A", Std(read));
}

TEST_F(UninstallEntryTest, GetInstallPathOfAMissingEntryFailsWithRegOpenKey)
{
    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    WString location(L"stale");
    EXPECT_EQ(E_FAIL, services.GetInstallPath(location));
    EXPECT_TRUE(location.IsEmpty());
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), ErrorText());
    EXPECT_EQ(std::vector<std::wstring>{L"Unable to open system registry key [" + path_ + L"]"},
              ContextLines());
}

TEST_F(UninstallEntryTest, GetInstallPathOfAnOverlongLocationFailsWithRegQueryValueEx)
{
    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    const std::wstring location = L"C:\\" + std::wstring(300, L'y');
    ASSERT_EQ(S_OK, services.RegisterInstall(location.c_str(), L"C:\\u.exe", L"1"));
    WString read(L"stale");
    EXPECT_EQ(E_FAIL, services.GetInstallPath(read));
    EXPECT_TRUE(read.IsEmpty());
    EXPECT_EQ(SystemText(ERROR_MORE_DATA), ErrorText());
    EXPECT_EQ(std::vector<std::wstring>{L"Failed to read system registry key [" + path_ +
                                        L".InstallLocation]"},
              ContextLines());
}

TEST_F(UninstallEntryTest, GetInstallPathOfALocationThatIsNoTextFails)
{
    ScopedRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, path_.c_str(), key.put()));
    const wchar_t data[] = L"C:\\A";
    RegSetValueExW(key.get(), L"InstallLocation", 0, REG_BINARY, reinterpret_cast<const BYTE*>(data), sizeof(data));

    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    WString read(L"stale");
    EXPECT_EQ(E_FAIL, services.GetInstallPath(read));
    EXPECT_TRUE(read.IsEmpty());
    EXPECT_EQ(SystemText(ERROR_INVALID_DATATYPE), ErrorText());
}

TEST_F(UninstallEntryTest, GetInstalledVersionCases)
{
    ProductDefinition::SetRegistryKeyName(keyName_.c_str());
    WString version(L"stale");
    // No key: failure, nothing recorded.
    EXPECT_EQ(E_FAIL, InstallServices::GetInstalledVersion(version));
    EXPECT_TRUE(version.IsEmpty());
    EXPECT_TRUE(ErrorText().empty());
    EXPECT_TRUE(ContextLines().empty());

    // Key without DisplayVersion: success, empty.
    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    ASSERT_EQ(S_OK, services.RegisterInstall(L"C:\\A", L"C:\\A\\u.exe", L""));
    version = L"stale";
    EXPECT_EQ(S_OK, InstallServices::GetInstalledVersion(version));
    EXPECT_TRUE(version.IsEmpty());

    // Longer than the 128-character buffer: success, empty.
    ASSERT_EQ(S_OK, services.RegisterInstall(L"C:\\A", L"C:\\A\\u.exe",
                                             std::wstring(200, L'7').c_str()));
    version = L"stale";
    EXPECT_EQ(S_OK, InstallServices::GetInstalledVersion(version));
    EXPECT_TRUE(version.IsEmpty());

    // 127 characters fit.
    const std::wstring fits(127, L'8');
    ASSERT_EQ(S_OK, services.RegisterInstall(L"C:\\A", L"C:\\A\\u.exe", fits.c_str()));
    EXPECT_EQ(S_OK, InstallServices::GetInstalledVersion(version));
    EXPECT_EQ(fits, Std(version));
}

TEST_F(UninstallEntryTest, GetInstalledVersionUsesTheProductDefinitionKey)
{
    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    ASSERT_EQ(S_OK, services.RegisterInstall(L"C:\\A", L"C:\\A\\u.exe", L"3.1"));
    // The process-wide key name of the services plays no part.
    ProductDefinition::SetRegistryKeyName((keyName_ + L" other").c_str());
    WString version;
    EXPECT_EQ(E_FAIL, InstallServices::GetInstalledVersion(version));
    ProductDefinition::SetRegistryKeyName(keyName_.c_str());
    EXPECT_EQ(S_OK, InstallServices::GetInstalledVersion(version));
    EXPECT_EQ(L"3.1", Std(version));
}

TEST_F(UninstallEntryTest, KeyThatCannotBeCreatedFailsWithRegCreateKey)
{
    // Key names are limited to 255 characters.
    const std::wstring longName(300, L'k');
    InstallServices services(L"KZ Test Display", longName.c_str(), nullptr, nullptr);
    EXPECT_EQ(E_FAIL, services.RegisterInstall(L"C:\\A", L"C:\\A\\u.exe", L"1"));
    EXPECT_FALSE(ErrorText().empty());
    EXPECT_EQ(std::vector<std::wstring>{L"Unable to create system registry key [" +
                                        std::wstring(kUninstallRoot) + longName + L"]"},
              ContextLines());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallRoot + longName));
}

// Runs a program with its output captured through a pipe; the wait is bounded.
std::string RunAndCapture(const std::wstring& program, const std::wstring& commandLine,
                          DWORD* exitCode)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16))
        return "<no pipe>";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = nullptr;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    PROCESS_INFORMATION process = {};
    std::string output;
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return "<not started>";
    }
    CloseHandle(writeEnd);
    const DWORD deadline = GetTickCount() + 30000;
    for (;;) {
        DWORD available = 0;
        if (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            std::vector<char> chunk(available);
            DWORD read = 0;
            if (ReadFile(readEnd, chunk.data(), available, &read, nullptr))
                output.append(chunk.data(), read);
            continue;
        }
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) {
            // Drain what came after the last look.
            if (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0)
                continue;
            break;
        }
        if (GetTickCount() > deadline) {
            TerminateProcess(process.hProcess, 99);
            output += "<timeout>";
            break;
        }
    }
    GetExitCodeProcess(process.hProcess, exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(readEnd);
    return output;
}

TEST_F(UninstallEntryTest, RegExeSeesTheEntry)
{
    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    ASSERT_EQ(S_OK, services.RegisterInstall(L"C:\\KZ\\intel_a", L"C:\\KZ\\intel_a\\Uninstall.exe",
                                             L"4.2"));
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring reg = std::wstring(system) + L"\\reg.exe";
    DWORD exitCode = 1;
    const std::string output = RunAndCapture(
        reg, L"reg query \"HKLM\\" + path_ + L"\"", &exitCode);
    EXPECT_EQ(0u, exitCode) << output;
    for (const char* expected :
         {"DisplayName    REG_SZ    KZ Test Display",
          "DisplayIcon    REG_SZ    C:\\KZ\\intel_a\\Uninstall.exe,0",
          "UninstallString    REG_SZ    \"C:\\KZ\\intel_a\\Uninstall.exe\"",
          "InstallLocation    REG_SZ    C:\\KZ\\intel_a", "NoModify    REG_DWORD    0x1",
          "NoRepair    REG_DWORD    0x1", "DisplayVersion    REG_SZ    4.2"})
        EXPECT_NE(std::string::npos, output.find(expected)) << expected << "\n" << output;
}

class ProgramMenuFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t programs[MAX_PATH] = {};
        ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programs, CSIDL_COMMON_PROGRAMS, TRUE));
        programs_ = programs;
        name_ = L"KZ Test Menu " + Pid();
        InstallServices services(name_.c_str(), L"unused", nullptr, nullptr);
    }
    void TearDown() override
    {
        RemoveDirectoryW((programs_ + L"\\" + name_ + L"\\Samples").c_str());
        RemoveDirectoryW((programs_ + L"\\" + name_).c_str());
    }
    std::wstring programs_;
    std::wstring name_;
};

TEST_F(ProgramMenuFolderTest, WithoutSubfolder)
{
    WString folder(L"stale");
    ASSERT_EQ(S_OK, InstallServices::CreateProgramMenuFolder(folder, WString()));
    EXPECT_EQ(programs_ + L"\\" + name_ + L"\\", Std(folder));
    EXPECT_TRUE(DirectoryExists(programs_ + L"\\" + name_));
    // A second call finds the folder in place.
    ASSERT_EQ(S_OK, InstallServices::CreateProgramMenuFolder(folder, WString()));
    EXPECT_EQ(programs_ + L"\\" + name_ + L"\\", Std(folder));
}

TEST_F(ProgramMenuFolderTest, WithSubfolder)
{
    WString folder;
    ASSERT_EQ(S_OK, InstallServices::CreateProgramMenuFolder(folder, L"Samples"));
    EXPECT_EQ(programs_ + L"\\" + name_ + L"\\Samples\\", Std(folder));
    EXPECT_TRUE(DirectoryExists(programs_ + L"\\" + name_));
    EXPECT_TRUE(DirectoryExists(programs_ + L"\\" + name_ + L"\\Samples"));
}

// Restores an environment variable when the test ends.
class SavedVariable {
public:
    explicit SavedVariable(const wchar_t* name) : name_(name)
    {
        wchar_t value[32768];
        DWORD length = GetEnvironmentVariableW(name, value, 32768);
        had_ = length != 0;
        if (had_)
            value_.assign(value, length);
    }
    ~SavedVariable() { SetEnvironmentVariableW(name_, had_ ? value_.c_str() : nullptr); }

private:
    const wchar_t* name_;
    bool had_;
    std::wstring value_;
};

TEST(TempDirectoryTest, GivesTheSystemTemporaryFolder)
{
    wchar_t expected[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, expected);
    ASSERT_GT(length, 0u);
    WString folder;
    ASSERT_EQ(S_OK, InstallServices::GetTempDirectory(folder));
    EXPECT_EQ(std::wstring(expected, length), Std(folder));
    EXPECT_EQ(L'\\', folder[folder.Length() - 1]);
}

TEST(TempDirectoryTest, OverlongTemporaryFolderFails)
{
    SavedVariable tmp(L"TMP");
    SetEnvironmentVariableW(L"TMP", (L"C:\\" + std::wstring(300, L't')).c_str());
    PlatformError::Clear();
    WString folder(L"stale");
    EXPECT_EQ(E_FAIL, InstallServices::GetTempDirectory(folder));
    EXPECT_TRUE(folder.IsEmpty());
    EXPECT_FALSE(ErrorText().empty());
    EXPECT_EQ(std::vector<std::wstring>{L"Failed to get temporary directory"}, ContextLines());
}

} // namespace
