#pragma once
#include "foundation/WStringArray.h"

// The process-wide error record: one error text and context lines, oldest first.
// Catalog names are static 8-bit text; null means "KZ_PlatformErrors".
class PlatformError {
public:
    static void SetSystemError();
    static void SetSystemError(DWORD code);
    static void SetError(const char* catalog, const WString& key, const WStringArray& parameters);
    static void SetError(const char* catalog, const WString& key);
    static void AddContext(const char* catalog, const WString& key, const WStringArray& parameters);
    static void AddContext(const char* catalog, const WString& key);
    static void AddContext(const char* catalog, const WString& key, const WString& parameter);

    // Context 1, LF, error text, then LF and LF + each further context line.
    static WString GetMessage();
    // Caption "Error"; Retry/Cancel or OK. False when the user chose Cancel or the box could not
    // be shown.
    static bool ShowMessageBox(HWND owner, bool allowRetry);

    static WString GetErrorText();
    static WStringArray GetContext();
    static void Clear();
};
