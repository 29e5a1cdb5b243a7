// Takes the product off the shared test prefix again: first the way a user would (the
// installed uninstaller), then whatever is left, so that the next test starts clean.
#pragma once

#include <string>

class InstallCleanup {
public:
    static bool IsInstalled();
    // Runs the registered uninstaller silently from a temporary copy; false when there is
    // none or it did not end in time.
    static bool RunInstalledUninstaller();
    // Removes every trace of the product; reports (Info) what had to be removed by force.
    static void RemoveLeftovers();
    // Both, quietly: for the start and the end of a scenario.
    static void Clean();
};
