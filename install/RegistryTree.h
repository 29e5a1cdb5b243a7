#pragma once
#include "foundation/ScopedHandle.h"
#include "foundation/WString.h"

// Deletes parent\name and every key below it, deepest first. Records "MyRegOpenKey" or
// "RegDeleteKey" with the name of the key that failed. An empty name is refused: it would
// name parent itself.
HRESULT DeleteRegistryTree(HKEY parent, const WString& name);

// The registry's failure status as the error record, with context and the key or value name.
void RecordRegistryError(LONG status, const wchar_t* context, const WString& name);

// RegOpenKeyW / RegCreateKeyW into an owner; only a successful call hands out a key to own.
LONG OpenRegistryKey(HKEY parent, const wchar_t* name, ScopedRegKey& key);
LONG CreateRegistryKey(HKEY parent, const wchar_t* name, ScopedRegKey& key);
