// Install runs end to end into temporary folders: the generic task with the uninstall entry,
// without it, with a failing extraction, and the whole product install followed by its own
// uninstaller.
#include "setup/KZOrlixPlayerSetupTask.h"

#include "archive/Archive.h"
#include "foundation/PlatformError.h"
#include "foundation/ProductDefinition.h"
#include "tests/ProductDefinitionReset.h"

#include "TasksEventRecorder.h"
#include "TasksTestSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

using namespace tasks;

namespace {

const wchar_t kEntry[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kaze-Mar Orlix Player";
const wchar_t kUninstaller[] = L"\\code\\bin\\OrlixPlayerUninstall.exe";

// The names recorded in an uninstall data file.
bool ReadUninstallData(const std::wstring& path, std::vector<std::wstring>* names)
{
    std::string bytes;
    if (!ReadBytes(path, &bytes) || bytes.size() < 4)
        return false;
    size_t at = 0;
    auto next = [&](uint32_t* value) {
        if (bytes.size() - at < 4)
            return false;
        memcpy(value, bytes.data() + at, 4);
        at += 4;
        return true;
    };
    uint32_t count = 0;
    if (!next(&count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        if (!next(&length) || bytes.size() - at < length * 2u)
            return false;
        names->push_back(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + at), length));
        at += length * 2u;
    }
    return at == bytes.size();
}

std::wstring ProgramsFolder()
{
    wchar_t buffer[MAX_PATH + 1] = L"";
    SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_COMMON_PROGRAMS, FALSE);
    return buffer;
}

void RemoveProductKeys()
{
    for (const wchar_t* key : {L".orlix", L".orx", L".qgm", L"OrlixPlayer", L"OrlixPlayer.ocx"})
        DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    DeleteKeyTree(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(KZOrlixPlayerSetupTask::kServerClass));
    DeleteKeyTree(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(KZOrlixPlayerSetupTask::kControlClass));
}

// The product install with its viewer control gone just before registration, as if the
// extraction had left it out.
class ControlLostTask : public KZOrlixPlayerSetupTask {
public:
    ControlLostTask(const std::wstring& target) : KZOrlixPlayerSetupTask(target.c_str(), nullptr, 0) {}
    int RegisterProduct() override
    {
        DeleteFileW((GetInstallDirectory() + L"\\code\\bin\\ZephyrixOCXViewer.ocx").c_str());
        return KZOrlixPlayerSetupTask::RegisterProduct();
    }
};

class RefusingTask : public KZOrlixSetupTask {
public:
    RefusingTask(const std::wstring& target) : KZOrlixSetupTask(target.c_str(), nullptr, 0) {}
    int PreInstall() override { return -1; }
};

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // As the setup window fills them in.
        ResetProductDefinition();
        ProductDefinition::SetDisplayName(L"Kaze Mar Orlix Player");
        ProductDefinition::SetRegistryKeyName(L"Kaze-Mar Orlix Player");
        ProductDefinition::SetVersionFile(L"resources\\Zephyrix\\versions\\PlayerVersion.txt");
        PrepareMainThread();
        originalDirectory_ = CurrentDirectory();
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kEntry);
        RemoveProductKeys();
        menu_ = ProgramsFolder() + L"\\Kaze Mar Orlix Player";
        target_ = MakeTempFolder(L"install");
        install_ = target_ + L"\\intel_a";
    }
    void TearDown() override
    {
        // The install leaves the process in the product's folder.
        SetCurrentDirectoryW(originalDirectory_.c_str());
        SetEnvironmentVariableW(L"Zephyrix_QGM_Support", nullptr);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kEntry);
        RemoveProductKeys();
        RemoveTree(menu_);
        RemoveTree(target_);
    }

    // Runs task from the main loop up to its end; the task is freed when its worker is done.
    void RunToEnd(KZOrlixSetupTask* task, EventRecorder* recorder)
    {
        ASSERT_EQ(S_OK, task->Start());
        bool ended = RunMainLoopFor(120000);
        bool idle = WaitUntilIdle(task);
        ASSERT_TRUE(ended);
        ASSERT_TRUE(idle);
        ASSERT_EQ(1u, recorder->results.size());
    }

    void ExpectText(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& expected)
    {
        std::wstring text;
        DWORD size = 0;
        ASSERT_TRUE(ReadText(root, path, name, &text, &size)) << name;
        EXPECT_EQ(expected, text) << name;
        // 2n bytes for n characters (the system may count a terminator it found after them).
        EXPECT_TRUE(size == expected.size() * 2 || size == expected.size() * 2 + 2) << name << " " << size;
    }

    void ExpectDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD expected)
    {
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(ReadValue(root, path, name, &type, &data)) << name;
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type) << name;
        ASSERT_EQ(4u, data.size()) << name;
        DWORD value = 0;
        memcpy(&value, data.data(), 4);
        EXPECT_EQ(expected, value) << name;
    }

    std::wstring originalDirectory_;
    std::wstring menu_;
    std::wstring target_;
    std::wstring install_;
};

TEST_F(InstallTest, TheGenericTaskInstallsTheFilesAndTheUninstallEntry)
{
    KZOrlixSetupTask* task = new KZOrlixSetupTask(target_.c_str(), nullptr, 0);
    task->SetCatalog("KZOrlixPlayerSetup");
    task->SetUninstallerPath(kUninstaller);
    EventRecorder recorder(task);
    RunToEnd(task, &recorder);
    EXPECT_EQ(0, recorder.results[0]) << PlatformError::GetMessage().c_str();
    delete task;

    std::vector<std::wstring> names;
    ASSERT_TRUE(ReadUninstallData(install_ + L"\\Uninstall", &names));
    ASSERT_FALSE(names.empty());
    bool hasUninstaller = false;
    for (const std::wstring& name : names) {
        EXPECT_TRUE(FileExists(install_ + L"\\" + name)) << name;
        hasUninstaller = hasUninstaller || name == L"code\\bin\\OrlixPlayerUninstall.exe";
    }
    EXPECT_TRUE(hasUninstaller);

    WString version;
    ASSERT_EQ(S_OK, GetPackagedVersion(&version));
    ASSERT_FALSE(version.IsEmpty());
    std::wstring uninstaller = install_ + kUninstaller;
    ExpectText(HKEY_LOCAL_MACHINE, kEntry, L"DisplayName", L"Kaze Mar Orlix Player");
    ExpectText(HKEY_LOCAL_MACHINE, kEntry, L"DisplayIcon", uninstaller + L",0");
    ExpectText(HKEY_LOCAL_MACHINE, kEntry, L"UninstallString", L"\"" + uninstaller + L"\"");
    ExpectText(HKEY_LOCAL_MACHINE, kEntry, L"InstallLocation", install_);
    ExpectText(HKEY_LOCAL_MACHINE, kEntry, L"DisplayVersion", version.c_str());
    ExpectDword(HKEY_LOCAL_MACHINE, kEntry, L"NoModify", 1);
    ExpectDword(HKEY_LOCAL_MACHINE, kEntry, L"NoRepair", 1);
}

TEST_F(InstallTest, WithoutUninstallerThereIsNoUninstallEntry)
{
    KZOrlixSetupTask* task = new KZOrlixSetupTask(target_.c_str(), nullptr, 0);
    EventRecorder recorder(task);
    RunToEnd(task, &recorder);
    EXPECT_EQ(0, recorder.results[0]) << PlatformError::GetMessage().c_str();
    delete task;
    EXPECT_TRUE(FileExists(install_ + L"\\Uninstall"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
}

TEST_F(InstallTest, AFailingExtractionEndsAfterTheExtractStep)
{
    // Nothing can be created below an install directory that is a plain file.
    ASSERT_TRUE(WriteBytes(install_, "not a folder"));
    KZOrlixSetupTask* task = new KZOrlixSetupTask(target_.c_str(), nullptr, 0);
    task->SetUninstallerPath(kUninstaller);
    EventRecorder recorder(task);
    RunToEnd(task, &recorder);
    EXPECT_EQ(E_FAIL, recorder.results[0]);
    EXPECT_EQ((std::vector<int>{0, 1}), recorder.DistinctPositions());
    std::wstring message = PlatformError::GetMessage().c_str();
    const std::wstring context = L"Unable to extract files";
    ASSERT_GE(message.size(), context.size());
    EXPECT_EQ(context, message.substr(message.size() - context.size())) << message;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
    delete task;
}

TEST_F(InstallTest, ANegativePreInstallStopsBeforeAnything)
{
    RefusingTask* task = new RefusingTask(target_);
    task->SetUninstallerPath(kUninstaller);
    EventRecorder recorder(task);
    RunToEnd(task, &recorder);
    EXPECT_EQ(E_FAIL, recorder.results[0]);
    EXPECT_EQ((std::vector<int>{0}), recorder.DistinctPositions());
    EXPECT_FALSE(FolderExists(install_));
    delete task;
}

TEST_F(InstallTest, AFailedRegistrationStillCompletesTheOtherStepsAndReportsItsError)
{
    ControlLostTask* task = new ControlLostTask(target_);
    task->SetCatalog("KZOrlixPlayerSetup");
    task->SetUninstallerPath(kUninstaller);
    EventRecorder recorder(task);
    DialogAnswerer watcher(L"Warning", IDYES, 120000);
    RunToEnd(task, &recorder);
    watcher.Stop();
    EXPECT_EQ(E_FAIL, recorder.results[0]);
    // "Complete" is posted before the failing end.
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), recorder.DistinctPositions());
    delete task;

    // The control that did not load heads the message, not the class key missing because of
    // it; the later steps did not replace it.
    std::wstring message = PlatformError::GetMessage().c_str();
    std::wstring expected = L"Unable to load executable module [" + install_ + L"\\code\\bin\\ZephyrixOCXViewer.ocx]\n";
    EXPECT_EQ(expected, message.substr(0, expected.size())) << message;
    // The steps after the registration ran all the same.
    EXPECT_TRUE(FileExists(menu_ + L"\\Quickstart guide.lnk"));
    std::string bytes;
    ASSERT_TRUE(ReadBytes(install_ + L"\\Environnement.txt", &bytes));
    EXPECT_NE(std::string::npos, bytes.find("QorUserSettingPath=CSIDL_APPDATA\\..\\OrlixPlayer\\QorSettings\r\n"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
}

TEST_F(InstallTest, TheProductInstallRegistersEverythingAndItsUninstallerRemovesIt)
{
    std::string license = "{\\rtf1\\ansi Orlix license\r\n\\par terms}\r\n";
    SetEnvironmentVariableW(L"Zephyrix_QGM_Support", L"1");
    KZOrlixPlayerSetupTask* task = new KZOrlixPlayerSetupTask(target_.c_str(), license.data(),
                                                              static_cast<int>(license.size()));
    task->SetCatalog("KZOrlixPlayerSetup");
    task->SetUninstallerPath(kUninstaller);
    EventRecorder recorder(task);
    // A fresh registry has no ".orlix": no question is expected; one would be answered Yes.
    DialogAnswerer watcher(L"Warning", IDYES, 120000);
    RunToEnd(task, &recorder);
    watcher.Stop();
    EXPECT_EQ(0, watcher.Answered());
    EXPECT_EQ(0, recorder.results[0]) << PlatformError::GetMessage().c_str();
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), recorder.DistinctPositions());
    delete task;
    EXPECT_TRUE(SamePath(install_ + L"\\code\\bin", CurrentDirectory()));

    const std::wstring bin = install_ + L"\\code\\bin\\";
    const std::wstring environment = install_ + L"\\Environnement.txt";
    std::wstring text;
    // The control, as its own registration and RegisterProduct left it.
    const std::wstring control = L"CLSID\\" + GuidText(KZOrlixPlayerSetupTask::kControlClass);
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, control + L"\\InprocServer32", nullptr, &text));
    EXPECT_TRUE(SamePath(bin + L"ZephyrixOCXViewer.ocx", text)) << text;
    ExpectDword(HKEY_CLASSES_ROOT, control, L"Installation Mode", 0);
    ExpectText(HKEY_CLASSES_ROOT, L"OrlixPlayer.ocx\\CLSID", nullptr, GuidText(KZOrlixPlayerSetupTask::kControlClass));
    // The local server.
    const std::wstring server = L"CLSID\\" + GuidText(KZOrlixPlayerSetupTask::kServerClass);
    ExpectText(HKEY_CLASSES_ROOT, server + L"\\LocalServer32", nullptr,
               L"\"" + bin + L"OrlixPlayer.exe\" -env \"" + environment + L"\"");
    ExpectText(HKEY_CLASSES_ROOT, server + L"\\InprocHandler32", nullptr, L"ole32.dll");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, server + L"\\Insertable"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, server + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}"));
    // The document types.
    for (const wchar_t* extension : {L".orlix", L".orx", L".qgm"})
        ExpectText(HKEY_CLASSES_ROOT, extension, nullptr, L"OrlixPlayer");
    ExpectText(HKEY_CLASSES_ROOT, L"OrlixPlayer\\shell\\open\\command", nullptr,
               L"\"" + bin + L"OrlixPlayer.exe\" \"%1\" -env \"" + environment + L"\"");

    // The environment file the tool wrote, with its setting line rewritten.
    std::string bytes;
    ASSERT_TRUE(ReadBytes(environment, &bytes));
    EXPECT_NE(std::string::npos, bytes.find("QorUserSettingPath=CSIDL_APPDATA\\..\\OrlixPlayer\\QorSettings")) << bytes;
    EXPECT_EQ(1u, [&] {
        size_t count = 0;
        for (size_t at = bytes.find("QorUserSettingPath="); at != std::string::npos;
             at = bytes.find("QorUserSettingPath=", at + 1))
            ++count;
        return count;
    }());
    // The license copy.
    ASSERT_TRUE(ReadBytes(install_ + L"\\resources\\License.rtf", &bytes));
    EXPECT_EQ(license, bytes);
    // The shortcuts.
    EXPECT_TRUE(FileExists(menu_ + L"\\License.lnk"));
    EXPECT_TRUE(FileExists(menu_ + L"\\Uninstall.lnk"));
    EXPECT_TRUE(FileExists(menu_ + L"\\Quickstart guide.lnk"));
    EXPECT_TRUE(FileExists(menu_ + L"\\Orlix Player samples\\Microsoft Word sample.lnk"));

    std::vector<std::wstring> names;
    ASSERT_TRUE(ReadUninstallData(install_ + L"\\Uninstall", &names));

    // The installed uninstaller, started as an earlier setup would start it.
    SetCurrentDirectoryW(originalDirectory_.c_str());
    std::wstring program = install_ + kUninstaller;
    wchar_t commandLine[] = L" /Uninstall";
    STARTUPINFOW startup;
    GetStartupInfoW(&startup);
    PROCESS_INFORMATION process;
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    DWORD wait = WaitForSingleObject(process.hProcess, 60000);
    if (wait != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_EQ(WAIT_OBJECT_0, wait);

    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, control));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, server));
    for (const wchar_t* key : {L".orlix", L".orx", L".qgm", L"OrlixPlayer", L"OrlixPlayer.ocx"})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_FALSE(FileExists(menu_ + L"\\License.lnk"));
    EXPECT_FALSE(FileExists(menu_ + L"\\Orlix Player samples\\Microsoft Word sample.lnk"));
    // A program cannot delete itself while it runs; every other installed file is gone.
    for (const std::wstring& name : names) {
        if (name != L"code\\bin\\OrlixPlayerUninstall.exe") {
            EXPECT_FALSE(FileExists(install_ + L"\\" + name)) << name;
        }
    }
}

} // namespace
