#include "setup/KZOrlixPlayerSetupTask.h"

#include "foundation/PathText.h"
#include "foundation/PlatformError.h"
#include "foundation/ScopedHandle.h"
#include "setup/EnvironmentFile.h"

#include <shellapi.h>

const GUID KZOrlixPlayerSetupTask::kServerClass = {
    0x6E1B4C02, 0x7A39, 0x4F5D, {0x9C, 0x21, 0x3B, 0x8E, 0x5D, 0x0F, 0x7A, 0x64}};
const GUID KZOrlixPlayerSetupTask::kControlClass = {
    0xA3F0D7E1, 0x52C4, 0x4B8A, {0x8E, 0x6D, 0x1C, 0x9B, 0x2F, 0x47, 0xE3, 0x05}};

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
    registration.executable = L"\\code\\bin\\OrlixPlayer.exe";
    registration.programId = L"OrlixPlayer";
    registration.serverClass = kServerClass;
    registration.controlFile = L"\\code\\bin\\ZephyrixOCXViewer.ocx";
    registration.controlProgramId = L"OrlixPlayer.ocx";
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
        {L"\\resources\\Zephyrix\\HTML\\quickstart.html", L"Demo.Html.Link", L"Demo.Html.Desc", L""},
        {L"\\resources\\Zephyrix\\HTML\\PPTDemo.ppt", L"Demo.PPT.Link", L"Demo.PPT.Desc", L"\\Orlix Player samples"},
        {L"\\resources\\Zephyrix\\HTML\\WordDemo.doc", L"Demo.Word.Link", L"Demo.Word.Desc", L"\\Orlix Player samples"},
    };
    for (const Document& document : kDocuments) {
        ShortcutSpec shortcut;
        shortcut.target = document.target;
        shortcut.name = GetMessage(document.nameKey);
        shortcut.description = GetMessage(document.descriptionKey);
        shortcut.subFolder = document.subFolder;
        CreateShortcut(shortcut);
    }
}

void KZOrlixPlayerSetupTask::ConfigureEnvironment(const WString& installDirectory, const WString& environmentFile)
{
    int lastSeparator = PathText::LastSeparator(installDirectory.c_str());
    WString parent = lastSeparator < 0 ? installDirectory : installDirectory.Mid(0, lastSeparator);
    WString binFolder = installDirectory + L"\\code\\bin\\";
    SetCurrentDirectoryW(binFolder.c_str());

    WString tool = L"\"" + binFolder + L"setqorenv.exe\"";
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
