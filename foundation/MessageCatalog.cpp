#include "foundation/MessageCatalog.h"

#include "archive/Archive.h"
#include "archive/ResourceBuffer.h"

#include <cwchar>

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

} // namespace

bool MessageCatalog::FindInText(const char* text, int size, const WString& key, WString* found)
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

WString MessageCatalog::Lookup(const char* catalog, const WString& key, const WStringArray& parameters)
{
    if (t_lookupRunning)
        return key;
    LookupMark mark;

    WString text;
    bool found = false;
    ResourceBuffer resource;
    if (resource.Open(L"RESOURCES", L"KZ") == S_OK) {
        Archive archive;
        if (archive.Open(resource.Data(), resource.Remaining()) != S_OK)
            return key;
        WString entry(L"resources\\msgcatalog\\");
        entry.Append(catalog != nullptr ? FromMultiByte(catalog, -1, CP_ACP) : WString(L"KZ_PlatformErrors"));
        entry.Append(L".QorNls");
        const void* content = nullptr;
        int length = 0;
        if (archive.Get(entry, &content, &length) != S_OK)
            return key;
        found = FindInText(static_cast<const char*>(content), length, key, &text);
    } else {
        ResourceBuffer plain;
        if (plain.Open(L"RESOURCES", L"MSGCATALOG") != S_OK)
            return key;
        found = FindInText(reinterpret_cast<const char*>(plain.Data()), plain.Remaining(), key, &text);
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

WString MessageCatalog::Lookup(const char* catalog, const WString& key)
{
    return Lookup(catalog, key, EmptyWStringArray());
}
