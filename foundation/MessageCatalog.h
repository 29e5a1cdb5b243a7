#pragma once
#include "foundation/WStringArray.h"

// Looks a key up in a catalog of the install archive ("resources\msgcatalog\<name>.QorNls"),
// putting parameter j in place of "/Pj". Returns the key itself when anything is missing.
class MessageCatalog {
public:
    static WString Lookup(const char* catalog, const WString& key, const WStringArray& parameters);
    static WString Lookup(const char* catalog, const WString& key);
    // Scans one catalog text (the file format alone, no archive): used by Lookup and tests.
    // Returns true and the raw text (escapes resolved, no parameters) when the key is there.
    static bool FindInText(const char* text, int size, const WString& key, WString* found);
};
