// A description of everything the product owns on the system (uninstall entry, registered
// keys, files with sizes and times), to show that a step changed nothing.
#pragma once

#include <string>

class InstallSnapshot {
public:
    static std::wstring Take();
};
