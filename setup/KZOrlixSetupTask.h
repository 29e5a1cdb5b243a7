#pragma once
#include "foundation/AsyncTask.h"
#include "setup/ServerRegistration.h"
#include "setup/ShortcutSpec.h"

#include <memory>

// The install sequence, run on the task's worker thread: install directory, extraction with
// the uninstall data file, the uninstall entry, then the product's own steps (registration,
// license copy, shortcuts, environment), which the product task fills in.
class KZOrlixSetupTask : public AsyncTask {
public:
    // The task keeps its own copy of licenseBytes (the window that lent them may go while the
    // worker runs); null or size 0: no license.
    KZOrlixSetupTask(const WString& targetFolder, const void* licenseBytes, int licenseSize);
    ~KZOrlixSetupTask() override;

    // Relative to the install directory, "\code\bin\<name>.exe"; empty: no uninstaller, so no
    // uninstall entry and no Uninstall shortcut. Set before Start.
    void SetUninstallerPath(const WString& path);
    const WString& GetUninstallerPath() const { return uninstallerPath_; }
    const WString& GetInstallDirectory() const { return installDirectory_; }
    // The target folder followed by the product's own folder: where the files go.
    static WString InstallDirectoryFor(const WString& targetFolder);

    int Run() override;

protected:
    // Negative: stop the install at once.
    virtual int PreInstall();
    // Below 0 makes the install fail (after the remaining steps have run).
    virtual int RegisterProduct();
    virtual void WriteLicenseCopy();
    virtual void CreateShortcuts();
    virtual void ConfigureEnvironment(const WString& installDirectory, const WString& environmentFile);
    // Returns the number of registrations that failed.
    virtual int RegisterServers(const ServerRegistration& registration);

    // Any failure skips the shortcut silently.
    void CreateShortcut(const ShortcutSpec& shortcut);
    // Relative to the install directory: the catalog's name of the license copy.
    WString GetLicenseCopyPath();

private:
    // Everything between CoInitialize and CoUninitialize.
    int Install();

    WString installDirectory_;
    std::unique_ptr<char[]> license_;
    int licenseSize_;
    WString uninstallerPath_;
};
