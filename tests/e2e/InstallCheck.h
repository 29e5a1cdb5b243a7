// Checks what a finished installation left on the system, as the product's users and its
// uninstaller will find it: the file tree, the uninstall data file, the registry and the
// Start menu.
#pragma once

#include <string>

#include "tests/e2e/SetupFileList.h"

class InstallCheck {
public:
    // payloadRoot: folder the archive was packed from (empty: file contents are not compared).
    InstallCheck(const SetupFileList& files, const std::wstring& payloadRoot);

    // The default target: Program Files + "\Kaze Mar Orlix Player".
    static std::wstring DefaultTarget();
    static std::wstring StartMenuFolder();
    // The version text the setup carries (from the payload, else from the installed copy).
    std::wstring PackagedVersion(const std::wstring& installDirectory) const;

    // Logs one check per fact; returns true when all hold.
    bool VerifyInstalled(const std::wstring& target) const;
    bool VerifyFiles(const std::wstring& installDirectory) const;
    bool VerifyUninstallData(const std::wstring& installDirectory) const;
    bool VerifyUninstallEntry(const std::wstring& installDirectory) const;
    bool VerifyRegistration(const std::wstring& installDirectory) const;
    bool VerifyShortcuts(const std::wstring& installDirectory) const;
    bool VerifyLicenseAndEnvironment(const std::wstring& installDirectory) const;

private:
    const SetupFileList& files_;
    std::wstring payloadRoot_;
};
