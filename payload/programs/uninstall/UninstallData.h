#pragma once
#include <windows.h>

#include "foundation/ScopedHandle.h"

// The names recorded in an installation's uninstall data file "Uninstall": a 32-bit count,
// then for each name its length in UTF-16 code units and the units, all little-endian and
// without terminators. The file is taken whole or not at all: one malformed part (a length
// beyond the end of the file, bytes after the last name) refuses all of it, because names read
// from a damaged file could point anywhere.
class UninstallData {
public:
    UninstallData();
    ~UninstallData();

    // Reads and checks the file. False when it cannot be read or is malformed.
    bool Load(const wchar_t* path);
    // The same checks on bytes in memory.
    bool Parse(const unsigned char* bytes, DWORD size);

    int Count() const { return count_; }
    // Name `index`, NUL-terminated. A name that held NUL units is shorter than Length.
    const wchar_t* Name(int index) const { return names_.get()[index]; }
    int Length(int index) const { return lengths_.get()[index]; }

private:
    UninstallData(const UninstallData&) = delete;
    UninstallData& operator=(const UninstallData&) = delete;
    void Clear();

    ScopedHeapBlock<wchar_t> text_;    // every name, each followed by a NUL unit
    ScopedHeapBlock<wchar_t*> names_;
    ScopedHeapBlock<int> lengths_;
    int count_;
};
