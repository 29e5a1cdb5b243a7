// Installs that something interrupts: a second setup started while one installs, and kills
// (as a crash would) at chosen points of an install over an earlier version.
#pragma once

#include <string>

#include "tests/e2e/DriverOptions.h"
#include "tests/e2e/SetupFileList.h"

class SetupScenarios;
class WizardSession;

class InterruptedInstall {
public:
    InterruptedInstall(const DriverOptions& options, const SetupFileList& files, SetupScenarios& scenarios);

    // The second one says so and ends while the first installs, which ends whole; a lock left
    // by a killed setup does not stop the next.
    bool SecondSetup();
    // After each kill every installed file and the uninstall data file are old or new, whole;
    // a later run completes and leaves no temporary file.
    bool Kills();

private:
    // Welcome to Summary over an installed product, answering No to the question.
    bool WalkOverEarlier(WizardSession& session);
    bool CheckWhole(const std::wstring& when);

    const DriverOptions& options_;
    const SetupFileList& files_;
    SetupScenarios& scenarios_;
};
