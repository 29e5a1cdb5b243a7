#pragma once
#include "foundation/WString.h"

// Makes sure a folder path exists, creating missing parents first, outermost down.
// Reports nothing: a folder that cannot be made fails the next write into it.
void CreateDirectoryPath(const WString& path);
