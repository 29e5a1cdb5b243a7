// The half of 64-bit Windows that the setup under test writes to, named instead of inherited
// from the driver's own flavour. A 32-bit setup's HKLM\SOFTWARE keys and class IDs land in the
// 32-bit registry view (below Wow6432Node) and its default folder is Program Files (x86); a
// 64-bit setup's in the 64-bit view and Program Files.
//
// Keys that Windows 7 and later (and Wine 10 alike, tried with reg.exe /reg:32 and /reg:64)
// keep once for both views: below HKEY_CLASSES_ROOT every key but the redirected ones (CLSID,
// Interface, TypeLib's class keys...), so file extensions (".orlix") and ProgIDs ("OrlixPlayer"
// with its CLSID value) are shared; HKCR\CLSID\{...} is redirected like HKLM\SOFTWARE.
#pragma once

#include <string>

#include "foundation/Platform.h"

class SetupView {
public:
    // From the machine field of the setup's PE header; false when it cannot be read.
    static bool ChooseFor(const std::wstring& setup);

    static bool Is32Bit();
    static const char* Name();
    // KEY_WOW64_32KEY or KEY_WOW64_64KEY: where the setup's own keys are.
    static REGSAM Registry();
    // The other view, where they must be absent.
    static REGSAM OtherRegistry();
    // Program Files (x86) or Program Files, and the other one.
    static std::wstring ProgramFiles();
    static std::wstring OtherProgramFiles();
};
