// COM class, ProgID and file-type registration, component categories and registry tree
// deletion, read back key by key from Wine's registry.
#include <gtest/gtest.h>

#include "InstallTestSupport.h"
#include <shellapi.h>  // after the system headers of the line above
#include "foundation/PlatformError.h"
#include "install/RegistryTree.h"
#include "install/ServerModule.h"

using namespace kztest;

namespace {

const wchar_t kScripting[] = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
const wchar_t kInitialising[] = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
const wchar_t kControlCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";
const GUID kControlCategoryId = {
    0x40FC6ED4, 0x2438, 0x11CF, {0xA3, 0xDB, 0x08, 0x00, 0x36, 0xF1, 0x25, 0x02}};

class ComClassTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        clsidText_ = NewGuidText(&clsid_);
        classKey_ = L"CLSID\\" + clsidText_;
        progId_ = L"KZTest.Viewer" + Pid();
        extension_ = L".kzt" + Pid();
        PlatformError::Clear();
    }
    void TearDown() override
    {
        DeleteTree(HKEY_CLASSES_ROOT, classKey_);
        DeleteTree(HKEY_CLASSES_ROOT, progId_);
        DeleteTree(HKEY_CLASSES_ROOT, extension_);
        DeleteTree(HKEY_CLASSES_ROOT, extension_ + L"b");
    }
    std::wstring Default(const std::wstring& subkey)
    {
        return DefaultValue(HKEY_CLASSES_ROOT, classKey_ + subkey);
    }
    bool Exists(const std::wstring& subkey) { return KeyExists(HKEY_CLASSES_ROOT, classKey_ + subkey); }

    GUID clsid_;
    std::wstring clsidText_;
    std::wstring classKey_;
    std::wstring progId_;
    std::wstring extension_;
};

// Split as Windows reads a command: the program's path with its blanks is one argument.
std::vector<std::wstring> SplitCommand(const std::wstring& command)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(command.c_str(), &count);
    std::vector<std::wstring> split(arguments, arguments + (arguments != nullptr ? count : 0));
    LocalFree(arguments);
    return split;
}

TEST_F(ComClassTest, ExecutableServerLayout)
{
    ServerModule module(L"C:\\KZ Test\\intel_a\\code\\bin\\OrlixPlayer.exe");
    ASSERT_EQ(S_OK, module.RegisterComClass(clsid_, L"KZ Test Viewer", 1,
                                            L"C:\\KZ Test\\intel_a\\Environnement.txt"));
    EXPECT_EQ(L"KZ Test Viewer", Default(L""));
    EXPECT_EQ(L"\"C:\\KZ Test\\intel_a\\code\\bin\\OrlixPlayer.exe\" -env \"C:\\KZ Test\\intel_a\\"
              L"Environnement.txt\"",
              Default(L"\\LocalServer32"));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\KZ Test\\intel_a\\code\\bin\\OrlixPlayer.exe", L"-env",
                                         L"C:\\KZ Test\\intel_a\\Environnement.txt"}),
              SplitCommand(Default(L"\\LocalServer32")));
    EXPECT_EQ(L"ole32.dll", Default(L"\\InprocHandler32"));
    EXPECT_FALSE(Exists(L"\\InprocServer32"));
    EXPECT_TRUE(ValueNames(HKEY_CLASSES_ROOT, classKey_ + L"\\LocalServer32") ==
                std::vector<std::wstring>{L""});
    EXPECT_TRUE(Exists(L"\\Implemented Categories\\" + std::wstring(kScripting)));
    EXPECT_TRUE(Exists(L"\\Implemented Categories\\" + std::wstring(kInitialising)));
    EXPECT_EQ(2u, SubkeyNames(HKEY_CLASSES_ROOT, classKey_ + L"\\Implemented Categories").size());
    EXPECT_TRUE(Exists(L"\\Insertable"));
    EXPECT_TRUE(ValueNames(HKEY_CLASSES_ROOT, classKey_ + L"\\Insertable").empty());
    EXPECT_EQ(4u, SubkeyNames(HKEY_CLASSES_ROOT, classKey_).size());
    // Default values are REG_SZ.
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), ReadValue(HKEY_CLASSES_ROOT, classKey_, nullptr).type);
}

TEST_F(ComClassTest, EmptyEnvironmentLeavesTheModulePathAlone)
{
    ServerModule module(L"C:\\KZ\\Viewer.exe");
    ASSERT_EQ(S_OK, module.RegisterComClass(clsid_, L"KZ Test Viewer", 0, L""));
    EXPECT_EQ(L"\"C:\\KZ\\Viewer.exe\"", Default(L"\\LocalServer32"));
    EXPECT_FALSE(Exists(L"\\Insertable"));
}

TEST_F(ComClassTest, UpperCaseExeIsAnInProcessServer)
{
    // The executable test is case-sensitive.
    ServerModule module(L"C:\\KZ\\VIEWER.EXE");
    EXPECT_FALSE(module.IsExecutableServer());
    ASSERT_EQ(S_OK, module.RegisterComClass(clsid_, L"KZ Test Control", 0, L"C:\\KZ\\env.txt"));
    EXPECT_EQ(L"C:\\KZ\\VIEWER.EXE", Default(L"\\InprocServer32"));
    EXPECT_FALSE(Exists(L"\\LocalServer32"));
    EXPECT_FALSE(Exists(L"\\InprocHandler32"));
    EXPECT_FALSE(Exists(L"\\Insertable"));
    EXPECT_TRUE(Exists(L"\\Implemented Categories\\" + std::wstring(kScripting)));
    EXPECT_TRUE(Exists(L"\\Implemented Categories\\" + std::wstring(kInitialising)));

    RegValue model = ReadValue(HKEY_CLASSES_ROOT, classKey_ + L"\\InprocServer32", L"ThreadingModel");
    ASSERT_TRUE(model.found);
    // 18 bytes handed over; the registry counts the literal's NUL in.
    EXPECT_TRUE(model.HoldsText(L"Apartment")) << model.size;
    EXPECT_EQ(L"Apartment", model.Text());
}

TEST_F(ComClassTest, ExeAnywhereInThePathMakesALocalServer)
{
    ServerModule module(L"C:\\tools.exe\\viewer.ocx");
    EXPECT_TRUE(module.IsExecutableServer());
    ServerModule control(L"C:\\KZ\\ZephyrixOCXViewer.ocx");
    EXPECT_FALSE(control.IsExecutableServer());
}

TEST_F(ComClassTest, MarkInsertableNeedsTheClassKey)
{
    ServerModule module(L"C:\\KZ\\Viewer.exe");
    EXPECT_EQ(E_FAIL, module.MarkInsertable(clsid_));
    EXPECT_FALSE(Exists(L""));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID\\Insertable"));

    ASSERT_EQ(S_OK, module.RegisterComClass(clsid_, L"KZ Test Viewer", 0, L""));
    EXPECT_EQ(S_OK, module.MarkInsertable(clsid_));
    EXPECT_TRUE(Exists(L"\\Insertable"));
}

TEST_F(ComClassTest, FailedInsertableRemovesTheWholeClassKey)
{
    // A volatile class key cannot take the non-volatile "Insertable"; the other subkeys
    // already exist as volatile keys, so only Insertable fails.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, classKey_.c_str(), 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                             nullptr));
    for (const std::wstring& sub :
         {std::wstring(L"LocalServer32"), std::wstring(L"InprocHandler32"),
          std::wstring(L"Implemented Categories"),
          L"Implemented Categories\\" + std::wstring(kScripting),
          L"Implemented Categories\\" + std::wstring(kInitialising)}) {
        HKEY child = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key, sub.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                                 KEY_ALL_ACCESS, nullptr, &child, nullptr));
        RegCloseKey(child);
    }
    HKEY probe = nullptr;
    const LONG probeStatus = RegCreateKeyW(key, L"Insertable", &probe);
    if (probeStatus == ERROR_SUCCESS) {
        RegCloseKey(probe);
        RegDeleteKeyW(key, L"Insertable");
    }
    RegCloseKey(key);
    ASSERT_EQ(ERROR_CHILD_MUST_BE_VOLATILE, probeStatus);

    ServerModule module(L"C:\\KZ\\Viewer.exe");
    EXPECT_EQ(E_FAIL, module.RegisterComClass(clsid_, L"KZ Test Viewer", 1, L""));
    EXPECT_FALSE(Exists(L""));
}

TEST_F(ComClassTest, UnregisterComClassDeletesTheTree)
{
    ServerModule module(L"C:\\KZ\\Viewer.exe");
    ASSERT_EQ(S_OK, module.RegisterComClass(clsid_, L"KZ Test Viewer", 1, L"C:\\env.txt"));
    ASSERT_TRUE(Exists(L"\\Implemented Categories\\" + std::wstring(kScripting)));
    EXPECT_EQ(S_OK, module.UnregisterComClass(clsid_));
    EXPECT_FALSE(Exists(L""));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
    // A second time there is nothing to delete.
    EXPECT_EQ(E_FAIL, module.UnregisterComClass(clsid_));
}

TEST_F(ComClassTest, FileTypeLayout)
{
    ServerModule module(L"C:\\KZ\\Viewer.exe");
    ASSERT_EQ(S_OK, module.RegisterFileType(clsid_, progId_.c_str(), extension_.c_str(),
                                            L"Kaze Mar Orlix File", L"C:\\KZ\\File.ico",
                                            L"C:\\My Apps\\Viewer.exe", L"C:\\KZ\\Environnement.txt"));
    EXPECT_EQ(L"Kaze Mar Orlix File", DefaultValue(HKEY_CLASSES_ROOT, progId_));
    EXPECT_EQ(clsidText_, DefaultValue(HKEY_CLASSES_ROOT, progId_ + L"\\CLSID"));
    EXPECT_EQ(L"C:\\KZ\\File.ico,0", DefaultValue(HKEY_CLASSES_ROOT, progId_ + L"\\DefaultIcon"));
    EXPECT_EQ(L"\"C:\\My Apps\\Viewer.exe\" \"%1\" -env \"C:\\KZ\\Environnement.txt\"",
              DefaultValue(HKEY_CLASSES_ROOT, progId_ + L"\\shell\\open\\command"));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\My Apps\\Viewer.exe", L"%1", L"-env", L"C:\\KZ\\Environnement.txt"}),
              SplitCommand(DefaultValue(HKEY_CLASSES_ROOT, progId_ + L"\\shell\\open\\command")));
    EXPECT_EQ(progId_, DefaultValue(HKEY_CLASSES_ROOT, extension_));
    // No class key is made by a file type.
    EXPECT_FALSE(Exists(L""));
}

TEST_F(ComClassTest, FileTypeWithoutEnvironmentEndsWithTheDocumentPart)
{
    ServerModule module(L"C:\\KZ\\Viewer.exe");
    ASSERT_EQ(S_OK, module.RegisterFileType(clsid_, progId_.c_str(), extension_.c_str(), L"First",
                                            L"C:\\KZ\\File.ico", L"C:\\KZ\\Viewer.exe", L""));
    EXPECT_EQ(L"\"C:\\KZ\\Viewer.exe\" \"%1\"",
              DefaultValue(HKEY_CLASSES_ROOT, progId_ + L"\\shell\\open\\command"));
    // A second extension on the same ProgID: the last description wins, both extensions bound.
    ASSERT_EQ(S_OK, module.RegisterFileType(clsid_, progId_.c_str(), (extension_ + L"b").c_str(),
                                            L"Second", L"C:\\KZ\\File.ico", L"C:\\KZ\\Viewer.exe",
                                            L""));
    EXPECT_EQ(L"Second", DefaultValue(HKEY_CLASSES_ROOT, progId_));
    EXPECT_EQ(progId_, DefaultValue(HKEY_CLASSES_ROOT, extension_));
    EXPECT_EQ(progId_, DefaultValue(HKEY_CLASSES_ROOT, extension_ + L"b"));
}

TEST_F(ComClassTest, EmptyNamesAreRefused)
{
    // They would name HKEY_CLASSES_ROOT itself.
    ServerModule module(L"C:\\KZ\\Viewer.exe");
    const std::wstring rootBefore = DefaultValue(HKEY_CLASSES_ROOT, L"");
    EXPECT_EQ(E_FAIL, module.RegisterFileType(clsid_, progId_.c_str(), L"", L"d", L"i", L"p", L""));
    EXPECT_EQ(E_FAIL, module.RegisterFileType(clsid_, L"", extension_.c_str(), L"d", L"i", L"p", L""));
    EXPECT_EQ(rootBefore, DefaultValue(HKEY_CLASSES_ROOT, L""));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"DefaultIcon"));
}

TEST_F(ComClassTest, ClassCategoryThroughTheCategoryManager)
{
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ServerModule module(L"C:\\KZ\\Viewer.exe");
    ASSERT_EQ(S_OK, module.RegisterComClass(clsid_, L"KZ Test Viewer", 1, L""));
    EXPECT_EQ(S_OK, module.RegisterClassCategory(clsid_, kControlCategoryId));
    CoUninitialize();
    EXPECT_TRUE(Exists(L"\\Implemented Categories\\" + std::wstring(kControlCategory)));
    EXPECT_TRUE(Exists(L"\\Implemented Categories\\" + std::wstring(kScripting)));
    EXPECT_EQ(L"KZ Test Viewer", Default(L""));
}

// ---- DLL self-registration --------------------------------------------------------------

class RegisterServerTest : public ComClassTest {
protected:
    void SetUp() override
    {
        ComClassTest::SetUp();
        marker_ = L"Software\\KZ Install Tests\\Marker " + Pid();
        DeleteTree(HKEY_CURRENT_USER, marker_);
        dll_ = TestDirectory() + L"kz_register_marker.dll";
        ASSERT_TRUE(FileExists(dll_));
    }
    void TearDown() override
    {
        DeleteTree(HKEY_CURRENT_USER, marker_);
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\KZ Install Tests");
        SetEnvironmentVariableW(L"KZ_TEST_REGISTER_FAIL", nullptr);
        ComClassTest::TearDown();
    }
    RegValue Marker(const wchar_t* name) { return ReadValue(HKEY_CURRENT_USER, marker_, name); }

    std::wstring marker_;
    std::wstring dll_;
};

TEST_F(RegisterServerTest, CallsDllRegisterServerUnderOleAndWritesTheProgId)
{
    ServerModule module(dll_.c_str());
    ASSERT_EQ(S_OK, module.RegisterServer(clsid_, progId_.c_str(), L"KZ Test Control"));
    EXPECT_EQ(1u, Marker(L"Called").Dword());
    EXPECT_EQ(1u, Marker(L"OleInitialised").Dword());
    EXPECT_EQ(L"KZ Test Control", DefaultValue(HKEY_CLASSES_ROOT, progId_));
    EXPECT_EQ(clsidText_, DefaultValue(HKEY_CLASSES_ROOT, progId_ + L"\\CLSID"));
    EXPECT_EQ(std::vector<std::wstring>{L"CLSID"}, SubkeyNames(HKEY_CLASSES_ROOT, progId_));
    // OLE is undone again: this thread has no apartment afterwards.
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(S_OK, apartment);
    if (SUCCEEDED(apartment))
        CoUninitialize();
    // The module is unloaded afterwards.
    EXPECT_EQ(nullptr, GetModuleHandleW(dll_.c_str()));
}

TEST_F(RegisterServerTest, TheControlFindsItsOwnLibrariesBesideIt)
{
    // Its folder is searched for what it imports, not only the program's.
    const std::wstring control = TestDirectory() + L"control\\kz_register_companion.dll";
    ASSERT_TRUE(FileExists(control));
    ASSERT_FALSE(FileExists(TestDirectory() + L"kz_companion.dll"));
    ServerModule module(control.c_str());
    EXPECT_EQ(S_OK, module.RegisterServer(clsid_, progId_.c_str(), L"KZ Test Control"));
    EXPECT_EQ(1u, Marker(L"Called").Dword());
}

TEST_F(RegisterServerTest, AFailedModuleIsRecordedWithItsReasonAndPath)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring noExport = std::wstring(system) + L"\\version.dll";
    const std::wstring otherFlavour = TestDirectory() + L"other\\kz_register_other.dll";
    const std::wstring missing = TestDirectory() + L"no-such-control.ocx";
    ASSERT_TRUE(FileExists(otherFlavour));
    struct Case {
        std::wstring module;
        bool entryFails;
        std::wstring context;
        DWORD code;
    };
    const Case cases[] = {
        {otherFlavour, false, L"Unable to load executable module [" + otherFlavour + L"]", ERROR_BAD_EXE_FORMAT},
        {missing, false, L"Unable to load executable module [" + missing + L"]", ERROR_MOD_NOT_FOUND},
        {noExport, false, L"Module [" + noExport + L"] has no entry point DllRegisterServer", ERROR_PROC_NOT_FOUND},
        {dll_, true, L"Module [" + dll_ + L"] failed to register itself (error 0x80040201)", 0x80040201},
    };
    for (const Case& c : cases) {
        SetEnvironmentVariableW(L"KZ_TEST_REGISTER_FAIL", c.entryFails ? L"1" : nullptr);
        PlatformError::Clear();
        ServerModule module(c.module.c_str());
        EXPECT_EQ(E_FAIL, module.RegisterServer(clsid_, progId_.c_str(), L"KZ Test Control")) << c.context;
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, progId_));
        const WStringArray context = PlatformError::GetContext();
        ASSERT_EQ(1, context.Count()) << c.context;
        EXPECT_EQ(c.context, std::wstring(context.At(0).c_str()));
        EXPECT_EQ(SystemText(c.code), std::wstring(PlatformError::GetErrorText().c_str())) << c.context;
    }
    EXPECT_EQ(1u, Marker(L"Called").Dword());
}

struct ThreadCall {
    ServerModule* module;
    const GUID* clsid;
    const std::wstring* progId;
    HRESULT result;
};

DWORD WINAPI RegisterFromMultithreadedApartment(LPVOID parameter)
{
    ThreadCall* call = static_cast<ThreadCall*>(parameter);
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    call->result = call->module->RegisterServer(*call->clsid, call->progId->c_str(), L"d");
    if (SUCCEEDED(apartment))
        CoUninitialize();
    return 0;
}

TEST_F(RegisterServerTest, OleThatCannotStartFailsBeforeLoading)
{
    // OleInitialize refuses a thread that is already in the multithreaded apartment.
    ServerModule module(dll_.c_str());
    ThreadCall call = {&module, &clsid_, &progId_, S_OK};
    HANDLE thread = CreateThread(nullptr, 0, RegisterFromMultithreadedApartment, &call, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 20000));
    CloseHandle(thread);
    EXPECT_EQ(E_FAIL, call.result);
    EXPECT_FALSE(Marker(L"Called").found);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, progId_));
    EXPECT_EQ(L"Unable to initialise OLE for module [" + dll_ + L"]",
              std::wstring(PlatformError::GetContext().At(0).c_str()));
}

// ---- registry tree deletion -------------------------------------------------------------

class RegistryTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parentPath_ = L"Software\\KZ Install Tests " + Pid();
        DeleteTree(HKEY_CURRENT_USER, parentPath_);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, parentPath_.c_str(), &parent_));
        PlatformError::Clear();
    }
    void TearDown() override
    {
        RegCloseKey(parent_);
        DeleteTree(HKEY_CURRENT_USER, parentPath_);
    }
    void Make(const std::wstring& path, const wchar_t* value = nullptr)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(parent_, path.c_str(), &key));
        if (value != nullptr)
            RegSetValueExW(key, L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(wcslen(value) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    bool Exists(const std::wstring& path)
    {
        return KeyExists(HKEY_CURRENT_USER, parentPath_ + L"\\" + path);
    }

    std::wstring parentPath_;
    HKEY parent_ = nullptr;
};

TEST_F(RegistryTreeTest, NestedKeysAreAllRemoved)
{
    Make(L"Tree\\A\\B\\C", L"deep");
    Make(L"Tree\\A\\D");
    Make(L"Tree\\E", L"x");
    for (int i = 0; i < 20; ++i)
        Make(L"Tree\\Many\\" + std::to_wstring(i));
    Make(L"Sibling");
    ASSERT_EQ(S_OK, DeleteRegistryTree(parent_, L"Tree"));
    EXPECT_FALSE(Exists(L"Tree"));
    EXPECT_TRUE(Exists(L"Sibling"));
    EXPECT_TRUE(ContextLines().empty());
}

TEST_F(RegistryTreeTest, MissingKeyFailsWithMyRegOpenKey)
{
    EXPECT_EQ(E_FAIL, DeleteRegistryTree(parent_, L"Absent"));
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), ErrorText());
    // The catalog has no text for this key: the key itself shows.
    EXPECT_EQ(std::vector<std::wstring>{L"MyRegOpenKey"}, ContextLines());
}

TEST_F(RegistryTreeTest, EmptyNameDeletesNothing)
{
    Make(L"Kept\\Child");
    EXPECT_EQ(E_FAIL, DeleteRegistryTree(parent_, L""));
    EXPECT_TRUE(Exists(L"Kept\\Child"));
    EXPECT_EQ(std::vector<std::wstring>{L"MyRegOpenKey"}, ContextLines());
}

} // namespace
