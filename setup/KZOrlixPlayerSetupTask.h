#pragma once
#include "setup/KZOrlixSetupTask.h"

// The Orlix Player's install: its viewer control and local server, its document types, its
// shortcuts and its environment file.
class KZOrlixPlayerSetupTask : public KZOrlixSetupTask {
public:
    KZOrlixPlayerSetupTask(const WString& targetFolder, const void* licenseBytes, int licenseSize);

    // The product's local server and viewer control.
    static const GUID kServerClass;
    static const GUID kControlClass;

protected:
    // 1 on success; E_FAIL with the error recorded.
    int RegisterProduct() override;
    void CreateShortcuts() override;
    void ConfigureEnvironment(const WString& installDirectory, const WString& environmentFile) override;

private:
    // "Installation Mode" 0 in the control's class key; a failure is recorded only when asked.
    bool WriteInstallationMode(bool record);
};
