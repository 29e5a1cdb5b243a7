#pragma once
#include "foundation/WString.h"

// The environment file that the product's environment tool writes: 8-bit text lines.
class EnvironmentFile {
public:
    // Points every "QorUserSettingPath=" line at the per-user settings folder; every other
    // byte stays as it was. Goes through the one writer (TargetFile), which replaces the file
    // only once it is complete: on any failure the file is left as it was and no temporary
    // file remains.
    // Records nothing (the install reports no failure of this step).
    static HRESULT Rewrite(const WString& path);

    static const char kSettingPrefix[];   // "QorUserSettingPath=", 19 characters
    static const char kSettingValue[];    // "CSIDL_APPDATA\..\OrlixPlayer\QorSettings"
};
