// Lookups in the product's own install archive, embedded as it is in setup.exe.
#include "foundation/KZ_EventListener.h"
#include "foundation/MessageCatalog.h"
#include "foundation/PlatformError.h"

#include <gtest/gtest.h>

namespace {

TEST(ShippedCatalogs, WizardAndSetupTexts)
{
    PlatformError::Clear();
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"Next.Title") == L"&Next >");
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"Back.Title") == L"< &Back");
    EXPECT_TRUE(MessageCatalog::Lookup("KZOrlixSetup", L"Progress.Extract") ==
                L"Extract files to installation directory...");
    EXPECT_TRUE(PlatformError::GetErrorText().IsEmpty());
    EXPECT_EQ(0, PlatformError::GetContext().Count());
}

TEST(ShippedCatalogs, MissingKeyOrCatalogGivesTheKey)
{
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"No.Such.Key") == L"No.Such.Key");
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"next.title") == L"next.title");
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_NoSuchCatalog", L"Next.Title") == L"Next.Title");
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"AsyncTask.AlreadyStarted") == L"AsyncTask.AlreadyStarted");
}

TEST(ShippedCatalogs, PlatformErrorsParametersAndDuplicates)
{
    WStringArray path;
    path.Append(L"P");
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"CreateFile.Read", path) ==
                L"Unable to open file [P] in read mode");
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"CoCreateInstance.E_NOINTERFACE") ==
                L"Unable to create COM object");
    WStringArray three;
    three.Append(L"x.dll");
    three.Append(L"viewer.exe");
    three.Append(L"42");
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"InstallServices.LockedByProcess", three) ==
                L"Orlix Player file 'x.dll'\nis locked by process 'viewer.exe' (pid #42)\n"
                L"Please close all appplications using Orlix Player then push 'Retry' to continue "
                L"uninstallation.\nElse, choose 'Cancel' to abort uninstallation.");
}

TEST(ShippedCatalogs, EveryPlatformErrorText)
{
    struct Entry {
        const wchar_t* key;
        const wchar_t* text;
    };
    const Entry entries[] = {
        {L"OutOfMemory", L"Out of memory, memory allocation failed"},
        {L"RegOpenKey", L"Unable to open system registry key [/P1]"},
        {L"RegDeleteKey", L"Unable to delete system registry key [/P1]"},
        {L"RegCreateKey", L"Unable to create system registry key [/P1]"},
        {L"RegSetValueEx", L"Failed to set system registry key [/P1]"},
        {L"RegQueryValueEx", L"Failed to read system registry key [/P1]"},
        {L"CreateFile.Write", L"Unable to open file [/P1] in write mode"},
        {L"CreateFile.Read", L"Unable to open file [/P1] in read mode"},
        {L"WriteFile", L"File write operation failed"},
        {L"ReadFile", L"File read operation failed"},
        {L"DeleteFile", L"Unable to delete file [/P1]"},
        {L"GetTempPath", L"Failed to get temporary directory"},
        {L"CopyFile", L"Failed to copy file [/P1] to [/P2]"},
        {L"FileNotFound", L"File [/P1] not found"},
        {L"FindFirstFile", L"Failed to read directory [/P1]"},
        {L"RemoveDirectory", L"Failed to remove directory [/P1]"},
        {L"LoadLibrary", L"Unable to load executable module [/P1]"},
        {L"CreateProcess", L"Unable to start program [/P1]"},
        {L"GetModuleFileName", L"Unable to get program location"},
        {L"FindResource", L"Program resource [/P1] is missing"},
        {L"LoadResource", L"Program resource [/P1] cannot be read"},
        {L"UpdateResource", L"Failed to modify resources in program file [/P1]"},
        {L"InstallServices.CreateUUID", L"Failed to create unique identifier"},
        {L"InstallServices.GetInstallPath", L"Unable to retreive installation directory"},
        {L"InstallServices.ReadUninstall", L"Unable to read un-installation data"},
        {L"InstallServices.CreateUninstall", L"Unable to save un-installation data in file [/P1]"},
        {L"FileBuffer.NotOpened.Write", L"Attempt to write in file, but no file open"},
        {L"FileBuffer.NotOpened.Read", L"Attempt to read from file, but no file open"},
        {L"ResourceBuffer.NotOpened.Read", L"Attempt to read from program resource, but no resource open"},
        {L"ResourceBuffer.EOF", L"Unexpected end of program resource"},
        {L"zlib.uncompress", L"Failed to uncompress data"},
        {L"zlib.compress", L"Failed to compress data"},
        {L"CoCreateInstance.REGDB_E_CLASSNOTREG", L"COM Class not registered"},
        {L"UIControlContainer.Create.IOleObject", L"Control does not implement mandatory services"},
        {L"UIControlContainer.Create.SetClientSite", L"Unable to communicate with control"},
        {L"UIControlContainer.Create.DoVerb", L"Control cannot be displayed"},
    };
    for (const Entry& entry : entries)
        EXPECT_TRUE(MessageCatalog::Lookup(nullptr, entry.key) == entry.text) << entry.key;
}

TEST(ShippedCatalogs, ErrorRecordReadsAsTheUserSeesIt)
{
    PlatformError::SetSystemError(ERROR_FILE_NOT_FOUND);
    WString system = PlatformError::GetErrorText();
    PlatformError::AddContext(nullptr, L"CreateFile.Read", WString(L"C:\\a.txt"));
    PlatformError::AddContext(nullptr, L"InstallServices.ReadUninstall");
    EXPECT_TRUE(PlatformError::GetMessage() ==
                WString(L"Unable to open file [C:\\a.txt] in read mode\n") + system +
                    L"\n\nUnable to read un-installation data");
    PlatformError::Clear();
}

struct LookupLoop {
    HANDLE go;
    LONG misses;
    LONG lookups;

    static DWORD WINAPI Proc(LPVOID parameter)
    {
        static_cast<LookupLoop*>(parameter)->Loop(L"Next.Title", L"&Next >");
        return 0;
    }
    void Loop(const wchar_t* key, const wchar_t* text)
    {
        WaitForSingleObject(go, 10000);
        ULONGLONG end = GetTickCount64() + 500;
        while (GetTickCount64() < end) {
            if (MessageCatalog::Lookup("KZ_UIWizard", key) != text)
                InterlockedIncrement(&misses);
            InterlockedIncrement(&lookups);
        }
    }
};

TEST(ShippedCatalogs, ReentryMarkIsPerThread)
{
    LookupLoop shared = {CreateEventW(nullptr, TRUE, FALSE, nullptr), 0, 0};
    ASSERT_NE(nullptr, shared.go);
    HANDLE worker = CreateThread(nullptr, 0, LookupLoop::Proc, &shared, 0, nullptr);
    ASSERT_NE(nullptr, worker);
    SetEvent(shared.go);
    shared.Loop(L"Back.Title", L"< &Back");
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(worker, 60000));
    CloseHandle(worker);
    CloseHandle(shared.go);
    EXPECT_GT(shared.lookups, 10);
    EXPECT_EQ(0, shared.misses);
}

} // namespace
