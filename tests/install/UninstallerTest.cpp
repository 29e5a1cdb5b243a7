// Launch of a registered uninstaller from a private copy, with a stand-in uninstaller
// (kz_fake_uninstaller.exe) that reports its command line and its own path and exits with 3.
#include <gtest/gtest.h>

#include <cwctype>

#include "InstallTestSupport.h"
#include "foundation/PlatformError.h"
#include "install/InstallServices.h"

using namespace kztest;

// FolderSeams.cpp
extern std::wstring g_folderDescriptor;
extern bool g_failCopy;

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
        g_failCopy = false;
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

// <Windows>\Temp\{8-4-4-4-12}\kz_fake_uninstaller.exe: the folder, or "" for another path.
std::wstring PrivateFolderOf(const std::wstring& program)
{
    wchar_t temp[MAX_PATH];
    lstrcpyW(temp + GetSystemWindowsDirectoryW(temp, MAX_PATH), L"\\Temp\\");
    const std::wstring folder = program.substr(0, program.size() - 24);
    GUID guid;
    return _wcsicmp(program.c_str(), (temp + folder.substr(lstrlenW(temp)) + L"\\kz_fake_uninstaller.exe").c_str()) == 0 &&
                   SUCCEEDED(CLSIDFromString(&folder[lstrlenW(temp)], &guid)) ? folder : std::wstring();
}

// The delayed deletions Windows runs at the next restart, as one text: each one is "\??\"
// and the path, then an empty target; lower case.
std::wstring PendingDeletions()
{
    std::wstring data(32768, L'\0');
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                     L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, &data[0], &size) != ERROR_SUCCESS)
        return std::wstring();
    data.resize(size / sizeof(wchar_t));
    for (wchar_t& c : data)
        c = static_cast<wchar_t>(towlower(c));
    return data;
}

std::wstring Deletion(const std::wstring& path)
{
    std::wstring entry = L"\\??\\" + path;
    entry.append(2, L'\0');
    for (wchar_t& c : entry)
        c = static_cast<wchar_t>(towlower(c));
    return entry;
}

TEST_F(UninstallerTest, RunsACopyInAFreshFolderOfAdministratorsWithExactlyTheCommandLine)
{
    std::vector<std::wstring> folders;
    for (int run = 0; run < 2; ++run) {
        // Registered in quotation marks, and bare as earlier setups wrote it.
        if (run == 0)
            Register(uninstaller_);
        else
            ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, path_.c_str(), L"UninstallString", REG_SZ,
                                                     uninstaller_.c_str(), (uninstaller_.size() + 1) * 2));
        g_folderDescriptor.clear();
        // The stand-in exits with 3: the result is still success.
        ASSERT_EQ(S_OK, InstallServices::RunUninstaller(L" /Uninstall")) << run;
        std::wstring commandLine;
        std::wstring program;
        ASSERT_TRUE(Report(&commandLine, &program)) << run;
        copies_.push_back(program);
        EXPECT_EQ(L" /Uninstall", commandLine);
        const std::wstring folder = PrivateFolderOf(program);
        EXPECT_FALSE(folder.empty()) << program;
        // Made with it: only Administrators and SYSTEM, nothing inherited from the parent.
        EXPECT_EQ(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", g_folderDescriptor);
        // Marked as soon as made, so that a killed setup leaves nothing for good: the copy,
        // then its folder.
        EXPECT_NE(PendingDeletions().find(Deletion(program) + Deletion(folder)), std::wstring::npos) << program;
        // Both go once the run has ended.
        EXPECT_FALSE(FileExists(program));
        EXPECT_FALSE(DirectoryExists(folder));
        folders.push_back(folder);
    }
    EXPECT_NE(folders[0], folders[1]);
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

TEST_F(UninstallerTest, WithoutACopyTheRegisteredProgramRuns)
{
    Register(uninstaller_);
    g_failCopy = true;
    ASSERT_EQ(S_OK, InstallServices::RunUninstaller(L" /Uninstall"));
    std::wstring commandLine;
    std::wstring program;
    ASSERT_TRUE(Report(&commandLine, &program));
    EXPECT_EQ(L" /Uninstall", commandLine);
    EXPECT_EQ(Lower(uninstaller_), Lower(program));
    EXPECT_TRUE(FileExists(uninstaller_)) << "only a copy of its own is deleted";
    EXPECT_EQ(PendingDeletions().find(Deletion(uninstaller_)), std::wstring::npos) << "nor marked for deletion";
}

} // namespace
