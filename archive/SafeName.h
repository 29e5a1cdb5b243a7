#pragma once
// The one rule for entry names, shared by the setup (which extracts them) and the host packer
// (which refuses to pack what the setup would refuse). No Win32 here: the packer is built
// natively.
#include <cstddef>

namespace SafeName {

enum Problem {
    kSafe,
    kEmpty,
    kAbsolute,              // starts with a separator: rooted, UNC or "\\?\"
    kColon,                 // a drive or an alternate data stream
    kSlash,                 // "/" separates like "\" on Windows; the archive's separator is "\"
    kBadCharacter,          // a control character or one of < > " | ? *
    kEmptyComponent,        // doubled or trailing separator
    kDotsComponent,         // ".", "..", "...", ". .": Windows drops trailing dots and spaces
    kTrailingDotOrSpace,    // Windows drops them, so the file gets another name
    kDeviceName,            // CON, NUL, COM1, LPT¹, CONIN$ ... also with an extension
    kUninstallFile,         // the setup writes its uninstall data there after the files
};

// Checks a name of `count` UTF-16 units. For a problem of one component, *componentStart and
// *componentLength (when not null) say which.
Problem Check(const char16_t* units, size_t count, size_t* componentStart, size_t* componentLength);

} // namespace SafeName
