#pragma once
#include "foundation/WString.h"

// The files a target is written to before they replace it: "~kz<process id>-<n>.tmp" beside the
// target, both numbers in decimal. The rule that recognises them is foundation/TemporaryName.h,
// which the product's uninstaller shares.
namespace TemporaryFiles {

// The n-th name of this process in folder.
WString Name(const WString& folder, unsigned int n);
// Removes the files of that form in folder, and nothing else: what a setup killed while
// extracting left behind. Best effort; a file still open in a running setup stays.
void RemoveLeftovers(const WString& folder);

} // namespace TemporaryFiles
