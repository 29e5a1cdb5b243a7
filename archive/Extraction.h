#pragma once
#include "foundation/WString.h"

// Extracts every file of the SETUP list resource listName below installFolder and writes
// installFolder\Uninstall. A helper thread inflates the next blocks while the calling thread
// writes the files of the current one (and inflates a small block itself rather than wait);
// files are written in list order on the calling thread, which alone records errors, and the
// helper is joined before the function returns. A block that fails its check never replaces
// an existing file: a small block is checked before its target is opened, a large block's
// entries replace existing targets only once its check has passed.
HRESULT ExtractResourceArchive(const WString& installFolder, const WString& listName);
// Whether an entry name is one the setup extracts: the rule the packer applies too
// (SafeName::Check), so that a name stays below the install folder and names the file it says.
bool IsSafeEntryName(const WString& name);
