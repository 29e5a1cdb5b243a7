#pragma once
#include "foundation/WString.h"

class KZ_EventListener;

// The setup's operations on the system outside its own windows: the product's uninstall
// entry, folders, the Start-menu folder and the launch of an earlier uninstaller. Kept on the
// caller's stack; the display name and key name it sets are process-wide and outlive it.
class InstallServices {
public:
    InstallServices(const WString& displayName, const WString& keyName, HINSTANCE instance,
                    KZ_EventListener* owner);
    // Display name and key name both become name.
    InstallServices(const WString& name, HINSTANCE instance, KZ_EventListener* owner);

    // Creates or opens HKLM\...\Uninstall\<key name> and writes DisplayName, DisplayIcon,
    // UninstallString (the uninstaller's path in quotation marks), InstallLocation, NoModify,
    // NoRepair and, when version is not empty, DisplayVersion.
    HRESULT RegisterInstall(const WString& installLocation, const WString& uninstallerPath,
                            const WString& version);
    // InstallLocation of the product's entry; empty on failure.
    HRESULT GetInstallPath(WString& location);
    // DisplayVersion of the entry named by ProductDefinition::GetRegistryKeyName(). 0 whenever
    // the key exists (version empty when the value is missing); E_FAIL, nothing recorded,
    // when it does not.
    static HRESULT GetInstalledVersion(WString& version);

    static void CreateDirectoryPath(const WString& path);
    // All-users Start-menu programs folder + display name (+ subfolder), each created when
    // missing; folder ends with a backslash.
    static HRESULT CreateProgramMenuFolder(WString& folder, WString subfolder);
    // Runs a copy of the uninstaller that UninstallString names (quoted, or bare as earlier
    // installations wrote it) with commandLine, from a new folder below the Windows folder's
    // Temp that only Administrators and SYSTEM can write; waits for it and removes the copy and
    // the folder. Without that folder or the copy, the registered uninstaller itself runs.
    static HRESULT RunUninstaller(const wchar_t* commandLine);
    // The system's temporary folder, ending with a backslash.
    static HRESULT GetTempDirectory(WString& folder);

    static const WString& GetDisplayName();
    static const WString& GetKeyName();
    // "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\" + key name.
    static WString GetProductKeyPath();

    KZ_EventListener* GetOwner() const { return owner_; }
    HINSTANCE GetInstance() const { return instance_; }

private:
    KZ_EventListener* owner_;
    HINSTANCE instance_;
};
