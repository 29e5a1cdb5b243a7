// Launch of a registered uninstaller from a temporary copy, with a stand-in uninstaller
// (kz_fake_uninstaller.exe) that reports its command line and its own path and exits with 3.
#include <gtest/gtest.h>

#include <cwctype>

#include "InstallTestSupport.h"
#include "foundation/PlatformError.h"
#include "install/InstallServices.h"

using namespace kztest;

namespace {

class UninstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        keyName_ = L"KZ Test Uninstall " + Pid();
        path_ = kUninstallRoot + keyName_;
        DeleteTree(HKEY_LOCAL_MACHINE, path_);
        uninstaller_ = TestDirectory() + L"kz_fake_uninstaller.exe";
        ASSERT_TRUE(FileExists(uninstaller_));
        output_ = TestDirectory() + L"uninstall-output-" + Pid() + L".txt";
        DeleteFileW(output_.c_str());
        SetEnvironmentVariableW(L"KZ_TEST_UNINSTALL_OUTPUT", output_.c_str());
        PlatformError::Clear();
    }
    void TearDown() override
    {
        DeleteTree(HKEY_LOCAL_MACHINE, path_);
        DeleteFileW(output_.c_str());
        for (const std::wstring& copy : copies_)
            DeleteFileW(copy.c_str());
        SetEnvironmentVariableW(L"KZ_TEST_UNINSTALL_OUTPUT", nullptr);
    }

    void Register(const std::wstring& uninstaller)
    {
        InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
        ASSERT_EQ(S_OK, services.RegisterInstall(L"C:\\KZ", uninstaller.c_str(), L"1"));
    }

    // What the started program reported: its command line and its own path.
    bool Report(std::wstring* commandLine, std::wstring* program)
    {
        const std::wstring text = ReadTextFile(output_);
        const size_t newline = text.find(L'\n');
        if (newline == std::wstring::npos)
            return false;
        *commandLine = text.substr(0, newline);
        *program = text.substr(newline + 1);
        DeleteFileW(output_.c_str());
        return true;
    }

    static std::wstring Lower(std::wstring text)
    {
        for (wchar_t& c : text)
            c = static_cast<wchar_t>(towlower(c));
        return text;
    }

    std::wstring keyName_;
    std::wstring path_;
    std::wstring uninstaller_;
    std::wstring output_;
    std::vector<std::wstring> copies_;
};

// temp folder + "\" + "{8-4-4-4-12}" + ".exe". The system reports the running image with
// the doubled backslash folded into one, so both forms are accepted.
bool IsTemporaryCopyName(const std::wstring& name, const std::wstring& temp)
{
    if (name.size() < temp.size() || _wcsnicmp(name.c_str(), temp.c_str(), temp.size()) != 0)
        return false;
    size_t start = temp.size();
    if (name.size() == start + 1 + 38 + 4 && name[start] == L'\\')
        ++start;
    if (name.size() != start + 38 + 4)
        return false;
    const std::wstring guid = name.substr(start, 38);
    if (guid[0] != L'{' || guid[37] != L'}')
        return false;
    for (int i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? guid[i] != L'-' : !iswxdigit(guid[i]) || iswlower(guid[i]))
            return false;
    }
    return name.compare(name.size() - 4, 4, L".exe") == 0;
}

TEST_F(UninstallerTest, RunsAFreshCopyWithExactlyTheCommandLine)
{
    Register(uninstaller_);
    wchar_t tempBuffer[MAX_PATH];
    const std::wstring temp(tempBuffer, GetTempPathW(MAX_PATH, tempBuffer));

    std::vector<std::wstring> programs;
    for (int run = 0; run < 2; ++run) {
        // The stand-in exits with 3: the result is still success.
        ASSERT_EQ(S_OK, InstallServices::RunUninstaller(L" /Uninstall")) << run;
        std::wstring commandLine;
        std::wstring program;
        ASSERT_TRUE(Report(&commandLine, &program)) << run;
        copies_.push_back(program);
        EXPECT_EQ(L" /Uninstall", commandLine);
        // The copy runs, not the registered program; the doubled backslash stays in its name.
        EXPECT_NE(Lower(uninstaller_), Lower(program));
        EXPECT_TRUE(IsTemporaryCopyName(program, temp)) << program;
        programs.push_back(program);
    }
    EXPECT_NE(programs[0], programs[1]);
    // Each copy is deleted once its run has ended: nothing is left in the temporary folder.
    EXPECT_FALSE(FileExists(programs[0]));
    EXPECT_FALSE(FileExists(programs[1]));
    EXPECT_TRUE(FileExists(uninstaller_));
}

TEST_F(UninstallerTest, MissingEntryFailsAtOnceAndStartsNothing)
{
    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    EXPECT_EQ(E_FAIL, InstallServices::RunUninstaller(L" /Uninstall"));
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), ErrorText());
    EXPECT_EQ(std::vector<std::wstring>{L"Unable to open system registry key [" + path_ + L"]"},
              ContextLines());
    Sleep(200);
    EXPECT_FALSE(FileExists(output_));
}

TEST_F(UninstallerTest, MissingUninstallStringFailsWithRegQueryValueEx)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, path_.c_str(), &key));
    RegCloseKey(key);
    InstallServices services(L"KZ Test Display", keyName_.c_str(), nullptr, nullptr);
    EXPECT_EQ(E_FAIL, InstallServices::RunUninstaller(L" /Uninstall"));
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), ErrorText());
    EXPECT_EQ(std::vector<std::wstring>{L"Failed to read system registry key [" + path_ +
                                        L".UninstallString]"},
              ContextLines());
}

TEST_F(UninstallerTest, MissingUninstallerFailsWithCreateProcess)
{
    Register(TestDirectory() + L"no-such-uninstaller.exe");
    EXPECT_EQ(E_FAIL, InstallServices::RunUninstaller(L" /Uninstall"));
    EXPECT_FALSE(ErrorText().empty());
    EXPECT_EQ(std::vector<std::wstring>{L"Unable to start program [" + keyName_ + L"]"},
              ContextLines());
}

TEST_F(UninstallerTest, WithoutTemporaryFolderTheRegisteredProgramRuns)
{
    Register(uninstaller_);
    wchar_t saved[MAX_PATH];
    const DWORD savedLength = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", (L"C:\\" + std::wstring(300, L't')).c_str());
    const HRESULT result = InstallServices::RunUninstaller(L" /Uninstall");
    SetEnvironmentVariableW(L"TMP", savedLength != 0 ? saved : nullptr);

    ASSERT_EQ(S_OK, result);
    std::wstring commandLine;
    std::wstring program;
    ASSERT_TRUE(Report(&commandLine, &program));
    EXPECT_EQ(L" /Uninstall", commandLine);
    EXPECT_EQ(Lower(uninstaller_), Lower(program));
    EXPECT_TRUE(FileExists(uninstaller_)) << "only a copy of its own is deleted";
}

} // namespace
