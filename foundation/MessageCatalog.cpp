#include "foundation/MessageCatalog.h"

#include "foundation/CatalogSource.h"

#include <cstring>
#include <cwchar>
#include <new>

namespace {

const int kMaxKeyBytes = 255;
const int kMaxTextBytes = 4095;

// A lookup that fails records the failure, and recording looks a text up again: the inner
// lookup must answer with its key. The mark is per thread so that the worker's lookups never
// short-cut the main thread's.
thread_local bool t_lookupRunning = false;

class LookupMark {
public:
    LookupMark() { t_lookupRunning = true; }
    ~LookupMark() { t_lookupRunning = false; }
};

// Catalog texts kept between BeginStartupCache and EndStartupCache on this thread: a handful of catalogs of a few KB.
struct CachedCatalog {
    char* name;     // null for the default catalog
    char* text;     // null when the catalog is missing
    int size;
};
const int kCachedCatalogs = 8;
struct CatalogCache {
    int depth = 0;
    int count = 0;
    CachedCatalog catalogs[kCachedCatalogs];
};
thread_local CatalogCache t_cache;

bool SameCatalog(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr)
        return a == b;
    return std::strcmp(a, b) == 0;
}

char* CopyBytes(const char* bytes, int size)
{
    char* copy = new (std::nothrow) char[static_cast<size_t>(size) + 1];
    if (copy != nullptr) {
        std::memcpy(copy, bytes, static_cast<size_t>(size));
        copy[size] = 0;
    }
    return copy;
}

// Installed once by the start-up, before any other thread runs.
CatalogSource* g_source = nullptr;

// Keeps a copy of the text it is handed, for the start-up cache.
class CopyingReader : public CatalogSource::Reader {
public:
    void Read(const char* text, int size) override
    {
        copy = CopyBytes(text, size);
        copySize = size;
    }
    char* copy = nullptr;
    int copySize = 0;
};

// The catalog's text as this thread's start-up cache holds it, read and kept on first use.
// False when there is no cache to use (the caller reads from the source itself).
bool CachedText(const char* catalog, const char** text, int* size, bool* present)
{
    CatalogCache& cache = t_cache;
    if (cache.depth == 0)
        return false;
    for (int i = 0; i < cache.count; ++i) {
        if (SameCatalog(cache.catalogs[i].name, catalog)) {
            *text = cache.catalogs[i].text;
            *size = cache.catalogs[i].size;
            *present = *text != nullptr;
            return true;
        }
    }
    if (cache.count == kCachedCatalogs)
        return false;
    CachedCatalog entry = {nullptr, nullptr, 0};
    if (catalog != nullptr && (entry.name = CopyBytes(catalog, static_cast<int>(std::strlen(catalog)))) == nullptr)
        return false;
    CopyingReader reader;
    if (g_source != nullptr && g_source->ReadCatalog(catalog, reader)) {
        if (reader.copy == nullptr) {
            delete[] entry.name;
            return false;
        }
        entry.text = reader.copy;
        entry.size = reader.copySize;
    }
    cache.catalogs[cache.count++] = entry;
    *text = entry.text;
    *size = entry.size;
    *present = entry.text != nullptr;
    return true;
}

inline bool IsBlank(char byte)
{
    return static_cast<signed char>(byte) <= 32;
}

// Key bytes are 33..127, which every ANSI code page maps to the same code units; the
// conversion still goes through the code page so that it agrees with FromMultiByte.
bool KeyEquals(const char* bytes, int count, const WString& key)
{
    if (count == 0)
        return key.IsEmpty();
    wchar_t units[kMaxKeyBytes + 1];
    int written = MultiByteToWideChar(CP_ACP, 0, bytes, count, units, kMaxKeyBytes);
    if (written <= 0)
        return false;
    units[written] = 0;
    int length = static_cast<int>(wcslen(units));
    return length == key.Length() && wmemcmp(units, key.c_str(), static_cast<size_t>(length)) == 0;
}

// Scans one catalog text for the key: true and the raw text (escapes resolved, no
// parameters) when it is there.
bool ScanCatalog(const char* text, int size, const WString& key, WString* found)
{
    enum State { Between, Key, BeforeText, Text, AfterText };
    if (text == nullptr || size <= 0)
        return false;

    char keyBytes[kMaxKeyBytes];
    char textBytes[kMaxTextBytes];
    int keyLength = 0;
    int textLength = 0;
    // An entry whose key or text is over the limit is skipped whole: a cut key could match
    // a different key, a cut text would show half a message.
    bool overLong = false;
    State state = Between;

    for (int i = 0; i < size; ++i) {
        char byte = text[i];
        switch (state) {
        case Between:
            if (IsBlank(byte))
                break;
            state = Key;
            [[fallthrough]];    // this byte is the first of the key
        case Key:
            if (byte == '=' || IsBlank(byte)) {
                state = BeforeText;
            } else if (keyLength < kMaxKeyBytes) {
                keyBytes[keyLength++] = byte;
            } else {
                overLong = true;
            }
            break;
        case BeforeText:
            if (byte == '"') {
                if (i + 1 >= size)
                    return false;
                state = Text;
            }
            break;
        case Text:
            if (byte == '"') {
                state = AfterText;
                break;
            }
            if (byte == '\\') {
                if (i + 1 >= size)
                    return false;
                ++i;
                if (text[i] != 'n')
                    break;
                byte = '\n';
            }
            if (textLength < kMaxTextBytes)
                textBytes[textLength++] = byte;
            else
                overLong = true;
            break;
        case AfterText:
            if (byte != ';')
                break;
            if (!overLong && KeyEquals(keyBytes, keyLength, key)) {
                if (found != nullptr)
                    *found = textLength > 0 ? FromMultiByte(textBytes, textLength, CP_ACP) : WString();
                return true;
            }
            keyLength = 0;
            textLength = 0;
            overLong = false;
            state = Between;
            break;
        }
    }
    return false;
}

// Looks the key up in the text it is handed.
class FindingReader : public CatalogSource::Reader {
public:
    FindingReader(const WString& key, WString* text) : key_(key), text_(text) {}
    void Read(const char* text, int size) override { found = ScanCatalog(text, size, key_, text_); }
    bool found = false;

private:
    const WString& key_;
    WString* text_;
};

} // namespace

void MessageCatalog::SetSource(CatalogSource* source)
{
    g_source = source;
}

WString MessageCatalog::Lookup(const char* catalog, const WString& key, const WStringArray& parameters)
{
    if (t_lookupRunning)
        return key;
    LookupMark mark;

    WString text;
    bool found = false;
    const char* catalogText = nullptr;
    int size = 0;
    bool present = false;
    if (CachedText(catalog, &catalogText, &size, &present)) {
        found = present && ScanCatalog(catalogText, size, key, &text);
    } else if (g_source != nullptr) {
        FindingReader reader(key, &text);
        found = g_source->ReadCatalog(catalog, reader) && reader.found;
    }
    if (!found)
        return key;

    int count = parameters.Count();
    for (int j = 1; j <= count; ++j) {
        WString marker(L"/P");
        marker.Append(FromInt(j));
        text = text.ReplaceAll(marker, parameters.At(j - 1));
    }
    return text;
}

void MessageCatalog::BeginStartupCache()
{
    ++t_cache.depth;
}

void MessageCatalog::EndStartupCache()
{
    CatalogCache& cache = t_cache;
    if (cache.depth == 0 || --cache.depth > 0)
        return;
    for (int i = 0; i < cache.count; ++i) {
        delete[] cache.catalogs[i].name;
        delete[] cache.catalogs[i].text;
    }
    cache.count = 0;
}

WString MessageCatalog::Lookup(const char* catalog, const WString& key)
{
    return Lookup(catalog, key, EmptyWStringArray());
}
