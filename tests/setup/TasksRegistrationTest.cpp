// Product registration against the real registry: the ".orlix" ownership check and its
// question, the server and file-type registrations, and RegisterProduct's outcome.
#include "setup/KZOrlixPlayerSetupTask.h"

#include "foundation/PlatformError.h"
#include "foundation/ProductDefinition.h"
#include "install/InstallServices.h"
#include "tests/ProductDefinitionReset.h"

#include "TasksTestSupport.h"

#include <gtest/gtest.h>
#include <objbase.h>

using namespace tasks;

namespace {

const wchar_t kQuestion[] =
    L"Orlix extension is already registered by another program. Do you want to associate Orlix files with this program ?";
const GUID kOtherClass = {0x1D7C3A55, 0x0B7E, 0x4C1F, {0x9A, 0x42, 0x6F, 0x10, 0x2B, 0x93, 0xC4, 0x7E}};

// Opens the protected steps of the product task.
class ProbeTask : public KZOrlixPlayerSetupTask {
public:
    explicit ProbeTask(const std::wstring& target) : KZOrlixPlayerSetupTask(target.c_str(), nullptr, 0) {}
    using KZOrlixPlayerSetupTask::RegisterProduct;
    using KZOrlixPlayerSetupTask::RegisterServers;
};

std::wstring ClassKey(const GUID& clsid)
{
    return L"CLSID\\" + GuidText(clsid);
}

void RemoveProductKeys()
{
    for (const wchar_t* key :
         {L".orlix", L".orx", L".qgm", L"OrlixPlayer", L"OrlixPlayer.ocx", L"KzTasks.OtherProgram", L"KzTasks.NoClass"})
        DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    DeleteKeyTree(HKEY_CLASSES_ROOT, ClassKey(KZOrlixPlayerSetupTask::kServerClass));
    DeleteKeyTree(HKEY_CLASSES_ROOT, ClassKey(KZOrlixPlayerSetupTask::kControlClass));
    DeleteKeyTree(HKEY_CLASSES_ROOT, ClassKey(kOtherClass));
}

// Binds extension to a program id whose class is clsid.
void BindToProgram(const wchar_t* extension, const wchar_t* programId, const GUID& clsid)
{
    ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, extension, nullptr, programId));
    ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, std::wstring(programId) + L"\\CLSID", nullptr, GuidText(clsid)));
}

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ResetProductDefinition();
        ProductDefinition::SetDisplayName(L"Kaze Mar Orlix Player");
        ProductDefinition::SetRegistryKeyName(L"Kaze-Mar Orlix Player");
        RemoveProductKeys();
        SetEnvironmentVariableW(L"Zephyrix_QGM_Support", nullptr);
        originalDirectory_ = CurrentDirectory();
        target_ = MakeTempFolder(L"reg");
        bin_ = target_ + L"\\intel_a\\code\\bin";
        InstallServices::CreateDirectoryPath(bin_.c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(originalDirectory_.c_str());
        SetEnvironmentVariableW(L"Zephyrix_QGM_Support", nullptr);
        RemoveProductKeys();
        RemoveTree(target_);
        CoUninitialize();
    }

    // Registers the server with a watcher pressing answer; the question it answered, or "".
    std::wstring RegisterAnswering(int answer)
    {
        ProbeTask task(target_);
        DialogAnswerer watcher(L"Warning", answer);
        EXPECT_EQ(0, task.RegisterServers(ServerOnly()));
        watcher.Stop();
        return watcher.Answered() ? watcher.LastText() : L"";
    }

    ServerRegistration ServerOnly()
    {
        ServerRegistration registration;
        registration.executable = L"\\code\\bin\\OrlixPlayer.exe";
        registration.programId = L"OrlixPlayer";
        registration.serverClass = KZOrlixPlayerSetupTask::kServerClass;
        registration.controlClass = KZOrlixPlayerSetupTask::kControlClass;
        return registration;
    }

    std::wstring Install() const { return target_ + L"\\intel_a"; }

    std::wstring originalDirectory_;
    std::wstring target_;
    std::wstring bin_;
};

TEST_F(RegistrationTest, AnExtensionOfThisProductIsTakenWithoutQuestion)
{
    BindToProgram(L".orlix", L"KzTasks.OtherProgram", KZOrlixPlayerSetupTask::kServerClass);
    EXPECT_EQ(L"", RegisterAnswering(IDNO));
    std::wstring text;
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L".orlix", nullptr, &text));
    EXPECT_EQ(L"OrlixPlayer", text);
}

TEST_F(RegistrationTest, AnExtensionWhoseOwnerCannotBeToldIsAskedFor)
{
    // Key without default value.
    ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, L".orlix\\ShellNew", L"NullFile", L""));
    EXPECT_EQ(kQuestion, RegisterAnswering(IDNO));
    // Program id without CLSID.
    ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, L".orlix", nullptr, L"KzTasks.NoClass"));
    ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, L"KzTasks.NoClass", nullptr, L"No class"));
    EXPECT_EQ(kQuestion, RegisterAnswering(IDNO));
    // A program id whose CLSID text differs only in case is another class's text.
    std::wstring lower = GuidText(KZOrlixPlayerSetupTask::kServerClass);
    for (wchar_t& c : lower)
        c = towlower(c);
    ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, L"KzTasks.NoClass\\CLSID", nullptr, lower));
    EXPECT_EQ(kQuestion, RegisterAnswering(IDNO));
    std::wstring text;
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L".orlix", nullptr, &text));
    EXPECT_EQ(L"KzTasks.NoClass", text);
}

TEST_F(RegistrationTest, ServerClassAndDocumentTypes)
{
    ProbeTask task(target_);
    SetEnvironmentVariableW(L"Zephyrix_QGM_Support", L"");
    DialogAnswerer watcher(L"Warning", IDNO);
    EXPECT_EQ(0, task.RegisterServers(ServerOnly()));
    watcher.Stop();
    EXPECT_EQ(0, watcher.Answered());
    EXPECT_TRUE(SamePath(bin_, CurrentDirectory()));

    std::wstring module = Install() + L"\\code\\bin\\OrlixPlayer.exe";
    std::wstring environment = Install() + L"\\Environnement.txt";
    std::wstring server = ClassKey(KZOrlixPlayerSetupTask::kServerClass);
    std::wstring text;
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, server, nullptr, &text));
    EXPECT_EQ(L"Kaze Mar Orlix Player", text);
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, server + L"\\LocalServer32", nullptr, &text));
    EXPECT_EQ(L"\"" + module + L"\" -env \"" + environment + L"\"", text);
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, server + L"\\InprocHandler32", nullptr, &text));
    EXPECT_EQ(L"ole32.dll", text);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, server + L"\\Insertable"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, server + L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}"));

    for (const wchar_t* extension : {L".orlix", L".orx", L".qgm"}) {
        ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, extension, nullptr, &text)) << extension;
        EXPECT_EQ(L"OrlixPlayer", text) << extension;
    }
    // The last registration (.orx) names the program id.
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L"OrlixPlayer", nullptr, &text));
    EXPECT_EQ(L"Kaze Mar Orlix File", text);
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L"OrlixPlayer\\CLSID", nullptr, &text));
    EXPECT_EQ(GuidText(KZOrlixPlayerSetupTask::kServerClass), text);
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L"OrlixPlayer\\DefaultIcon", nullptr, &text));
    EXPECT_EQ(Install() + L"\\resources\\graphic\\OrlixFile.ico,0", text);
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L"OrlixPlayer\\shell\\open\\command", nullptr, &text));
    EXPECT_EQ(L"\"" + module + L"\" \"%1\" -env \"" + environment + L"\"", text);
}

TEST_F(RegistrationTest, QgmOnlyWithTheVariable)
{
    ProbeTask task(target_);
    ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, L".qgm", nullptr, L"KzTasks.OtherProgram"));
    EXPECT_EQ(0, task.RegisterServers(ServerOnly()));
    std::wstring text;
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L".qgm", nullptr, &text));
    EXPECT_EQ(L"KzTasks.OtherProgram", text);
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L".orlix", nullptr, &text));
    EXPECT_EQ(L"OrlixPlayer", text);
}

TEST_F(RegistrationTest, NoToTheQuestionLeavesBothTypesWithTheOtherProgram)
{
    BindToProgram(L".orlix", L"KzTasks.OtherProgram", kOtherClass);
    ProbeTask task(target_);
    DialogAnswerer watcher(L"Warning", IDNO);
    EXPECT_EQ(0, task.RegisterServers(ServerOnly()));
    watcher.Stop();
    EXPECT_EQ(1, watcher.Answered());
    EXPECT_EQ(kQuestion, watcher.LastText());
    std::wstring text;
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L".orlix", nullptr, &text));
    EXPECT_EQ(L"KzTasks.OtherProgram", text);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".orx"));
    // The server class is registered all the same.
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(KZOrlixPlayerSetupTask::kServerClass) + L"\\LocalServer32"));
}

TEST_F(RegistrationTest, YesToTheQuestionTakesBothTypes)
{
    BindToProgram(L".orlix", L"KzTasks.OtherProgram", kOtherClass);
    ProbeTask task(target_);
    DialogAnswerer watcher(L"Warning", IDYES);
    EXPECT_EQ(0, task.RegisterServers(ServerOnly()));
    watcher.Stop();
    EXPECT_EQ(1, watcher.Answered());
    EXPECT_EQ(kQuestion, watcher.LastText());
    std::wstring text;
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L".orlix", nullptr, &text));
    EXPECT_EQ(L"OrlixPlayer", text);
    ASSERT_TRUE(ReadText(HKEY_CLASSES_ROOT, L".orx", nullptr, &text));
    EXPECT_EQ(L"OrlixPlayer", text);
    // A second run finds the type its own and asks nothing.
    DialogAnswerer second(L"Warning", IDNO);
    EXPECT_EQ(0, task.RegisterServers(ServerOnly()));
    second.Stop();
    EXPECT_EQ(0, second.Answered());
}

TEST_F(RegistrationTest, AControlThatCannotBeLoadedCountsOneFailure)
{
    ProbeTask task(target_);
    ServerRegistration registration = ServerOnly();
    registration.executable = WString();
    registration.controlFile = L"\\code\\bin\\ZephyrixOCXViewer.ocx";   // not there
    registration.controlProgramId = L"OrlixPlayer.ocx";
    EXPECT_EQ(1, task.RegisterServers(registration));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"OrlixPlayer.ocx"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L".orlix"));
}

// The reason the control could not be registered, with its path, then the setup's line; not
// the control's class key that is missing because of it. With or without that key.
TEST_F(RegistrationTest, AControlThatCannotRegisterIsTheMessage)
{
    const std::wstring module = Install() + L"\\code\\bin\\ZephyrixOCXViewer.ocx";
    const std::wstring control = ClassKey(KZOrlixPlayerSetupTask::kControlClass);
    for (bool classKeyThere : {false, true}) {
        // Not a program at all: no flavour loads it.
        ASSERT_TRUE(WriteBytes(module, "MZ not a control"));
        if (classKeyThere) {
            ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, control, nullptr, L"Orlix control"));
        }
        // Left over from an earlier step: must not be reported as the registration's reason.
        PlatformError::SetError(nullptr, L"Archive.NotFound");
        ProbeTask task(target_);
        EXPECT_EQ(E_FAIL, task.RegisterProduct());
        const std::wstring reason = PlatformError::GetErrorText().c_str();
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(L"Unable to load executable module [" + module + L"]\n" + reason +
                      L"\n\nUnable to register program files",
                  std::wstring(PlatformError::GetMessage().c_str()));
        // The server registration went on.
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey(KZOrlixPlayerSetupTask::kServerClass) + L"\\LocalServer32"));
        DWORD type = 0;
        std::string data;
        EXPECT_EQ(classKeyThere, ReadValue(HKEY_CLASSES_ROOT, control, L"Installation Mode", &type, &data));
        RemoveProductKeys();
    }
}

} // namespace
