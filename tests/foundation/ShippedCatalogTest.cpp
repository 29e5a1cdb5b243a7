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

} // namespace
