// The scenarios of the end-to-end test: each drives setup.exe as a person would and checks
// what the system holds afterwards. Each leaves the shared prefix as it found it.
#pragma once

#include <string>

#include "tests/e2e/DriverOptions.h"
#include "tests/e2e/SetupFileList.h"

class HtmlHandlerStandIn;
class WizardSession;

class SetupScenarios {
public:
    explicit SetupScenarios(const DriverOptions& options);

    bool Prepare(); // reads the setup's file list; false when the setup is unusable
    bool Full();     // every page, the install, its results, Finish
    bool Upgrade();  // an earlier installation: No, Cancel and Yes
    bool Failure();  // an install that cannot extract: Retry, then Cancel
    bool Keyboard(); // Enter and Escape
    bool WindowMenu(); // the window menu held open while the install ends
    bool Tour();     // a complete install with a screenshot of every page and of the question
    bool Planting(); // a complete install from a folder of planted system-named libraries
    bool Concurrent(); // a second setup started while one installs (InterruptedInstall)
    bool Kill();       // kills during an install over an earlier version (InterruptedInstall)

    // Welcome to Summary; with detailed, every state on the way is checked.
    bool WalkToSummary(WizardSession& session, bool detailed);
    // From Summary: Install pushed, followed to the End page.
    bool RunInstall(WizardSession& session, bool detailed);
    // Finish, the quick-start guide through the stand-in, exit code 0.
    bool FinishAndExit(WizardSession& session, HtmlHandlerStandIn* html, bool byKeyboard);
    // A complete installation with the given options' setup.exe.
    bool InstallWith(const DriverOptions& options);

private:
    bool RunFull(bool keep);
    bool CheckEndPage(WizardSession& session);
    // A complete installation, as the precondition of another scenario.
    bool InstallForPrecondition();
    bool CheckWindowPlacement(WizardSession& session);
    // "Change..." on the Target page, the folder typed into the dialog, OK.
    bool ChooseFolder(WizardSession& session, const std::wstring& folder);
    bool CheckRadios(WizardSession& session, bool agree);
    bool ExpectExit(WizardSession& session, const char* why);
    bool VerifyInstallation();

    const DriverOptions& options_;
    SetupFileList files_;
    bool targetShotTaken_ = false;
};
