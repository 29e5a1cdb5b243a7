#pragma once
#include "foundation/WStringArray.h"

class CatalogSource;

// Looks a key up in a catalog that the installed source reads, putting parameter j in place
// of "/Pj". Returns the key itself when anything is missing, a source included.
class MessageCatalog {
public:
    static WString Lookup(const char* catalog, const WString& key, const WStringArray& parameters);
    static WString Lookup(const char* catalog, const WString& key);

    // The source every lookup reads from, for the whole process: installed by the start-up
    // before the first lookup and before any other thread runs. Null: every lookup gives its key.
    static void SetSource(CatalogSource* source);

    // Between these two calls on a thread, that thread's lookups keep a copy of each catalog
    // text they read, so the start-up's many lookups open the archive and inflate its block
    // once per catalog instead of once per lookup. Meant for the start-up only (from before the
    // setup window is made until its first page is built): EndStartupCache drops the copies,
    // and other threads never see them.
    static void BeginStartupCache();
    static void EndStartupCache();
};
