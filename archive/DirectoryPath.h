#pragma once
#include "foundation/WStringArray.h"

// Makes sure a folder path exists, creating missing parents first, outermost down.
// Reports nothing: a folder that cannot be made fails the next write into it.
// With `made`, every level it created is appended to it, outermost first.
void CreateDirectoryPath(const WString& path, WStringArray* made = nullptr);
