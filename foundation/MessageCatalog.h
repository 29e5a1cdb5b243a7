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

    // Between these two calls on a thread, that thread's lookups keep a copy of each catalog
    // text they read, so the start-up's many lookups open the archive and inflate its block
    // once per catalog instead of once per lookup. Meant for the start-up only (from before the
    // setup window is made until its first page is built): EndStartupCache drops the copies,
    // and other threads never see them.
    static void BeginStartupCache();
    static void EndStartupCache();
};
