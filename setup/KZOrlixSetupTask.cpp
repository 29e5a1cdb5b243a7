#include "setup/KZOrlixSetupTask.h"

#include "archive/Archive.h"
#include "archive/Extraction.h"
#include "archive/TargetFile.h"
#include "foundation/PlatformError.h"
#include "foundation/ProductConstants.h"
#include "foundation/ProductDefinition.h"
#include "foundation/RegistryText.h"
#include "foundation/ScopedHandle.h"
#include "install/InstallServices.h"
#include "install/ServerModule.h"

#include <objbase.h>
#include <cstring>
#include <new>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

const char* const kSetupCatalog = "KZOrlixSetup";

// The system's component category of controls (CATID_Control).
const GUID kControlCategory = {0x40FC6ED4, 0x2438, 0x11CF, {0xA3, 0xDB, 0x08, 0x00, 0x36, 0xF1, 0x25, 0x02}};

bool QgmSupportRequested()
{
    // Any value, even an empty one, counts; only a missing variable does not.
    wchar_t probe[1];
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetEnvironmentVariableW(Product::kQgmVariable, probe, 1);
    return length != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

// Default value of HKCR\path as text, at most 260 characters.
bool ReadClassesRootDefault(const WString& path, WString* value)
{
    ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[261];
    if (ReadRegistryText(key.get(), nullptr, buffer, 261) != ERROR_SUCCESS)
        return false;
    *value = WString(buffer);
    return true;
}

// True when the extension is free or already bound to serverClass (no question needed).
bool IsExtensionFreeOrOwned(const WString& extension, const GUID& serverClass)
{
    ScopedRegKey key;
    LONG status = RegOpenKeyExW(HKEY_CLASSES_ROOT, extension.c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (status == ERROR_FILE_NOT_FOUND)
        return true;
    if (status != ERROR_SUCCESS)
        return false;

    WString programId;
    WString classText;
    if (!ReadClassesRootDefault(extension, &programId) || programId.IsEmpty() ||
        !ReadClassesRootDefault(programId + L"\\CLSID", &classText))
        return false;
    return classText == FromGuid(serverClass);
}

bool AskToTakeOrlixExtension()
{
    return MessageBoxW(nullptr,
                       L"Orlix extension is already registered by another program. "
                       L"Do you want to associate Orlix files with this program ?",
                       L"Warning", MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST) == IDYES;
}

// Whether extension may be bound to serverClass: at once when no program has it or it is
// already serverClass's, otherwise only when the user answers Yes to a question shown without
// owner window on the calling thread.
bool TakeExtension(const WString& extension, const GUID& serverClass)
{
    return IsExtensionFreeOrOwned(extension, serverClass) || AskToTakeOrlixExtension();
}

} // namespace

KZOrlixSetupTask::KZOrlixSetupTask(const WString& targetFolder, const void* licenseBytes, int licenseSize)
    : installDirectory_(InstallDirectoryFor(targetFolder)), licenseSize_(0)
{
    SetFallbackCatalog(kSetupCatalog);
    // Without memory for the copy the install goes on without a license copy.
    if (licenseBytes != nullptr && licenseSize > 0) {
        license_.reset(new (std::nothrow) char[licenseSize]);
        if (license_ != nullptr) {
            std::memcpy(license_.get(), licenseBytes, static_cast<size_t>(licenseSize));
            licenseSize_ = licenseSize;
        }
    }
}

KZOrlixSetupTask::~KZOrlixSetupTask()
{
}

WString KZOrlixSetupTask::InstallDirectoryFor(const WString& targetFolder)
{
    return targetFolder + Product::kInstallFolder;
}

WString KZOrlixSetupTask::GetLicenseCopyPath()
{
    return Product::kResourcesFolder + GetMessage(Product::kLicenseCopyKey) + Product::kLicenseCopyExtension;
}

void KZOrlixSetupTask::SetUninstallerPath(const WString& path)
{
    uninstallerPath_ = PrivateCopy(path);
}

int KZOrlixSetupTask::Run()
{
    SetProgress(0, 3, L"Prepare");
    Sleep(250);
    // The worker's own apartment: shell links, the category manager and the environment
    // tool's shell execution need it.
    HRESULT com = CoInitialize(nullptr);
    int result = Install();
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}

int KZOrlixSetupTask::Install()
{
    if (PreInstall() < 0)
        return E_FAIL;

    // The install services keep the names process-wide: the definition hands out the worker's
    // own copies.
    InstallServices services(ProductDefinition::GetDisplayName(), ProductDefinition::GetRegistryKeyName(),
                             ProductDefinition::GetInstance(), nullptr);
    // A folder that cannot be made shows up as the extraction's failure.
    InstallServices::CreateDirectoryPath(installDirectory_);

    SetProgress(1, 3, L"Extract");
    Sleep(250);
    if (FAILED(ExtractResourceArchive(installDirectory_, L"Files"))) {
        PlatformError::AddContext(kSetupCatalog, L"ExtractResourceArchive");
        return E_FAIL;
    }

    if (!uninstallerPath_.IsEmpty()) {
        // Without a readable version the entry simply has no DisplayVersion.
        WString version;
        GetPackagedVersion(&version);
        if (FAILED(services.RegisterInstall(installDirectory_, installDirectory_ + uninstallerPath_, version))) {
            PlatformError::AddContext(kSetupCatalog, L"RegisterInstall");
            return E_FAIL;
        }
    }

    int registered = RegisterProduct();
    // These steps never make the install fail, and they record nothing, so that a failed
    // registration's error survives until the end is reported.
    WriteLicenseCopy();
    CreateShortcuts();
    ConfigureEnvironment(installDirectory_, Product::kEnvironmentFile);
    SetProgress(3, 3, L"Complete");
    if (registered < 0)
        return E_FAIL;
    Sleep(500);
    return 0;
}

int KZOrlixSetupTask::PreInstall()
{
    return 0;
}

int KZOrlixSetupTask::RegisterProduct()
{
    return 0;
}

void KZOrlixSetupTask::WriteLicenseCopy()
{
    if (license_ == nullptr || licenseSize_ <= 0)
        return;
    // Through the one writer: a copy cut off by a full disk never replaces the earlier one,
    // and a hidden or read-only earlier copy is replaced too. Nothing is reported.
    TargetFile file;
    if (file.Open(installDirectory_ + GetLicenseCopyPath()) &&
        file.Write(license_.get(), licenseSize_))
        file.Commit();
}

void KZOrlixSetupTask::CreateShortcuts()
{
    // With no uninstaller there is no icon source of the product's own.
    WString uninstaller = uninstallerPath_.IsEmpty() ? WString() : installDirectory_ + uninstallerPath_;

    ShortcutSpec license;
    license.name = GetMessage(Product::kLicenseCopyKey);
    license.target = GetLicenseCopyPath();
    license.description = GetMessage(L"Demo.Lic.Desc");
    license.icon = uninstaller;
    CreateShortcut(license);

    if (!uninstallerPath_.IsEmpty()) {
        ShortcutSpec uninstall;
        uninstall.target = uninstallerPath_;
        uninstall.name = GetMessage(L"Demo.Uni.Link");
        uninstall.description = GetMessage(L"Demo.Uni.Desc");
        uninstall.icon = uninstaller;
        CreateShortcut(uninstall);
    }
}

void KZOrlixSetupTask::ConfigureEnvironment(const WString&, const WString&)
{
}

int KZOrlixSetupTask::RegisterServers(const ServerRegistration& registration)
{
    SetProgress(2, 3, L"Register");
    Sleep(250);
    WString icon = installDirectory_ + Product::kResourcesFolder + Product::kDocumentIcon;
    // The modules load their companion libraries from their own folder.
    SetCurrentDirectoryW((installDirectory_ + Product::kProgramFolder).c_str());
    int failures = 0;
    WString displayName = ProductDefinition::GetDisplayName();

    if (!registration.controlFile.IsEmpty()) {
        ServerModule control(installDirectory_ + registration.controlFile);
        if (FAILED(control.RegisterServer(registration.controlClass, registration.controlProgramId, displayName)))
            failures = 1;
    }

    if (!registration.executable.IsEmpty()) {
        WString module = installDirectory_ + registration.executable;
        WString environment = installDirectory_ + L"\\" + Product::kEnvironmentFile;
        ServerModule server(module);
        if (FAILED(server.RegisterComClass(registration.serverClass, displayName, 1, environment))) {
            failures++;
        } else {
            if (QgmSupportRequested()) {
                if (FAILED(server.RegisterFileType(registration.serverClass, registration.programId, Product::kQgmExtension,
                                                   displayName, icon, module, environment)) ||
                    FAILED(server.RegisterClassCategory(registration.serverClass, kControlCategory)))
                    failures++;
            }
            if (TakeExtension(Product::kOrlixExtension, registration.serverClass)) {
                static const wchar_t* const kDocumentTypes[] = {Product::kOrlixExtension, Product::kOrxExtension};
                for (const wchar_t* extension : kDocumentTypes) {
                    if (FAILED(server.RegisterFileType(registration.serverClass, registration.programId, extension,
                                                       Product::kDocumentDescription, icon, module, environment)) ||
                        FAILED(server.RegisterClassCategory(registration.serverClass, kControlCategory)))
                        failures++;
                }
            }
        }
    }
    return failures;
}

void KZOrlixSetupTask::CreateShortcut(const ShortcutSpec& shortcut)
{
    WString folder;
    if (FAILED(InstallServices::CreateProgramMenuFolder(folder, shortcut.subFolder)))
        return;
    WString linkFile = folder + shortcut.name + L".lnk";
    WString target = installDirectory_ + shortcut.target;

    ScopedComPtr<IShellLinkW> link;
    ScopedComPtr<IPersistFile> file;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.putVoid());
    if (SUCCEEDED(hr))
        hr = link->SetPath(target.c_str());
    if (SUCCEEDED(hr))
        hr = link->SetIconLocation(shortcut.icon.IsEmpty() ? nullptr : shortcut.icon.c_str(), 0);
    if (SUCCEEDED(hr))
        hr = link->SetDescription(shortcut.description.c_str());
    if (SUCCEEDED(hr))
        hr = link->QueryInterface(IID_IPersistFile, file.putVoid());
    if (SUCCEEDED(hr))
        file->Save(linkFile.c_str(), TRUE);
}
