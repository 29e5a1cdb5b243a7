#pragma once
#include "foundation/WString.h"

// One Start-menu shortcut of the product.
struct ShortcutSpec {
    WString target;       // relative to the install directory
    WString name;         // link file name without ".lnk"
    WString description;
    WString icon;         // full path of the icon source; empty: none
    WString subFolder;    // below the product's Start-menu folder, "\..."; empty: the folder itself
};
