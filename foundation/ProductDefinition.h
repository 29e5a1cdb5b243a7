#pragma once
#include "foundation/WString.h"

// The names that describe the one product this setup serves, written once at start-up.
class ProductDefinition {
public:
    static void SetDisplayName(const WString& text);
    static void SetRegistryKeyName(const WString& text);
    static void SetVersionFile(const WString& path);
    static WString GetDisplayName();
    static WString GetRegistryKeyName();
    static WString GetVersionFile();

    static void SetInstance(HINSTANCE instance);
    // The running executable's module when none was stored.
    static HINSTANCE GetInstance();
};
