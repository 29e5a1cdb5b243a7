#pragma once
#include "foundation/WString.h"

// The files a large entry is written to before it replaces its target: "~kz<process id>-<n>.tmp"
// beside the target, both numbers in decimal.
namespace TemporaryFiles {

// The n-th name of this process in folder.
WString Name(const WString& folder, unsigned int n);
// Whether a file name (without its folder) has exactly that form.
bool IsTemporaryName(const wchar_t* name);
// Removes the files of that form in folder, and nothing else: what a setup killed while
// extracting left behind. Best effort; a file still open in a running setup stays.
void RemoveLeftovers(const WString& folder);

} // namespace TemporaryFiles
