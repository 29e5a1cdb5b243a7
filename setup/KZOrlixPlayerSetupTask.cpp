#include "setup/KZOrlixPlayerSetupTask.h"

#include "foundation/PathText.h"
#include "foundation/PlatformError.h"
#include "foundation/ProductConstants.h"
#include "foundation/ScopedHandle.h"
#include "setup/EnvironmentFile.h"

#include <shellapi.h>

const GUID KZOrlixPlayerSetupTask::kServerClass = Product::kServerClass;
const GUID KZOrlixPlayerSetupTask::kControlClass = Product::kControlClass;

KZOrlixPlayerSetupTask::KZOrlixPlayerSetupTask(const WString& targetFolder, const void* licenseBytes,
                                               int licenseSize)
    : KZOrlixSetupTask(targetFolder, licenseBytes, licenseSize)
{
}

int KZOrlixPlayerSetupTask::RegisterProduct()
{
    SetProgress(2, 3, L"Register");
    Sleep(250);

    ServerRegistration registration;
    registration.executable = Product::kProgramFolder + WString(Product::kServerProgram);
    registration.programId = Product::kServerProgramId;
    registration.serverClass = kServerClass;
    registration.controlFile = Product::kProgramFolder + WString(Product::kControlFile);
    registration.controlProgramId = Product::kControlProgramId;
    registration.controlClass = kControlClass;

    // The registrations may record their reasons; whatever an earlier step or an earlier run
    // left in the record must not be reported as theirs.
    PlatformError::Clear();
    int failures = RegisterServers(registration);

    // A registration that failed has recorded why; the control's class key that is then
    // missing is its consequence and must not replace the reason.
    const bool reasonRecorded =
        failures != 0 && (!PlatformError::GetErrorText().IsEmpty() || PlatformError::GetContext().Count() != 0);
    if (!WriteInstallationMode(!reasonRecorded) && failures == 0)
        return E_FAIL;

    if (failures != 0) {
        // The counted registrations need not say why they failed: the setup's line then
        // stands alone as the message.
        if (PlatformError::GetErrorText().IsEmpty() && PlatformError::GetContext().Count() == 0)
            PlatformError::SetError("KZOrlixSetup", L"Register");
        else
            PlatformError::AddContext("KZOrlixSetup", L"Register");
        return E_FAIL;
    }
    return 1;
}

bool KZOrlixPlayerSetupTask::WriteInstallationMode(bool record)
{
    WString keyPath = L"CLSID\\" + FromGuid(kControlClass);
    ScopedRegKey key;
    LONG status = RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_ALL_ACCESS, key.put());
    if (status != ERROR_SUCCESS) {
        if (record) {
            PlatformError::SetSystemError(static_cast<DWORD>(status));
            PlatformError::AddContext(nullptr, L"RegOpenKey", keyPath);
        }
        return false;
    }
    DWORD mode = 0;
    status = RegSetValueExW(key.get(), L"Installation Mode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode),
                            sizeof(mode));
    if (status != ERROR_SUCCESS) {
        if (record) {
            PlatformError::SetSystemError(static_cast<DWORD>(status));
            PlatformError::AddContext(nullptr, L"RegSetValueEx", keyPath + L"\\Installation Mode");
        }
        return false;
    }
    return true;
}

void KZOrlixPlayerSetupTask::CreateShortcuts()
{
    KZOrlixSetupTask::CreateShortcuts();

    struct Document {
        const wchar_t* target;
        const wchar_t* nameKey;
        const wchar_t* descriptionKey;
        const wchar_t* subFolder;
    };
    static const Document kDocuments[] = {
        {Product::kQuickStartGuide, L"Demo.Html.Link", L"Demo.Html.Desc", nullptr},
        {Product::kPowerPointSample, L"Demo.PPT.Link", L"Demo.PPT.Desc", Product::kSamplesFolder},
        {Product::kWordSample, L"Demo.Word.Link", L"Demo.Word.Desc", Product::kSamplesFolder},
    };
    for (const Document& document : kDocuments) {
        ShortcutSpec shortcut;
        shortcut.target = Product::kResourcesFolder + WString(document.target);
        shortcut.name = GetMessage(document.nameKey);
        shortcut.description = GetMessage(document.descriptionKey);
        if (document.subFolder != nullptr)
            shortcut.subFolder = L"\\" + WString(document.subFolder);
        CreateShortcut(shortcut);
    }
}

void KZOrlixPlayerSetupTask::ConfigureEnvironment(const WString& installDirectory, const WString& environmentFile)
{
    int lastSeparator = PathText::LastSeparator(installDirectory.c_str());
    WString parent = lastSeparator < 0 ? installDirectory : installDirectory.Mid(0, lastSeparator);
    WString binFolder = installDirectory + Product::kProgramFolder;
    SetCurrentDirectoryW(binFolder.c_str());

    WString tool = L"\"" + binFolder + Product::kEnvironmentTool + L"\"";
    WString parameters = L" -e " + environmentFile + L" -d \"" + installDirectory + L"\" -p \"" + parent +
                         L"\" -a global -icon no -menu no -desktop no\n";

    SHELLEXECUTEINFOW execute;
    ZeroMemory(&execute, sizeof(execute));
    execute.cbSize = sizeof(execute);
    // No shell error box: a tool that does not start is not reported.
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = tool.c_str();
    execute.lpParameters = parameters.c_str();
    execute.nShow = SW_HIDE;
    if (ShellExecuteExW(&execute)) {
        const ScopedKernelHandle process(execute.hProcess);
        if (process)
            WaitForSingleObject(process.get(), 20000);
    }
    // The tool may hand its work to a process of its own; give the file time to appear.
    Sleep(3000);

    EnvironmentFile::Rewrite(installDirectory + L"\\" + environmentFile);
}
