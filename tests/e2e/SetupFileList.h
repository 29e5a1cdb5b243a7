// The product's file list as setup.exe carries it (resource "FILES" of type "SETUP"), read
// from the executable itself, so the checks follow whatever payload the setup was made with.
#pragma once

#include <string>
#include <vector>

class SetupFileList {
public:
    struct Entry {
        std::wstring source; // below the payload root, as packed
        std::wstring target; // below the install directory, as installed
    };

    bool Load(const std::wstring& setupPath);
    const std::vector<Entry>& Entries() const { return entries_; }
    const std::wstring& Error() const { return error_; }

private:
    std::vector<Entry> entries_;
    std::wstring error_;
};
