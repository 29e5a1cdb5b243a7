#pragma once
#include "setup/KZOrlixSetupTask.h"

// The Orlix Player's install: its viewer control and local server, its document types, its
// shortcuts and its environment file.
class KZOrlixPlayerSetupTask : public KZOrlixSetupTask {
public:
    KZOrlixPlayerSetupTask(const WString& targetFolder, const void* licenseBytes, int licenseSize);

    static const GUID kServerClass;   // {6E1B4C02-7A39-4F5D-9C21-3B8E5D0F7A64}
    static const GUID kControlClass;  // {A3F0D7E1-52C4-4B8A-8E6D-1C9B2F47E305}

protected:
    // 1 on success; E_FAIL with the error recorded.
    int RegisterProduct() override;
    void CreateShortcuts() override;
    void ConfigureEnvironment(const WString& installDirectory, const WString& environmentFile) override;

private:
    // "Installation Mode" 0 in the control's class key; a failure is recorded only when asked.
    bool WriteInstallationMode(bool record);
};
