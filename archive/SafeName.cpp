#include "archive/SafeName.h"

namespace SafeName {

namespace {

inline char16_t Upper(char16_t unit)
{
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
}

bool SameUpper(const char16_t* units, size_t count, const char* ascii)
{
    size_t i = 0;
    for (; i < count && ascii[i] != 0; ++i) {
        if (Upper(units[i]) != static_cast<char16_t>(ascii[i]))
            return false;
    }
    return i == count && ascii[i] == 0;
}

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 with the superscript digits 1-3
// (Windows-1252 B9, B2, B3), also followed by spaces or an extension: such a component opens
// a device instead of a file.
bool IsDeviceName(const char16_t* component, size_t length)
{
    size_t base = 0;
    while (base < length && component[base] != u'.')
        ++base;
    while (base > 0 && component[base - 1] == u' ')
        --base;
    const char* fixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* name : fixed) {
        if (SameUpper(component, base, name))
            return true;
    }
    if (base != 4 || !(SameUpper(component, 3, "COM") || SameUpper(component, 3, "LPT")))
        return false;
    const char16_t digit = component[3];
    return (digit >= u'0' && digit <= u'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

} // namespace

Problem Check(const char16_t* units, size_t count, size_t* componentStart, size_t* componentLength)
{
    if (componentStart != nullptr)
        *componentStart = 0;
    if (componentLength != nullptr)
        *componentLength = count;
    if (count == 0)
        return kEmpty;
    if (units[0] == u'\\' || units[0] == u'/')
        return kAbsolute;
    for (size_t i = 0; i < count; ++i) {
        if (units[i] == u':')
            return kColon;
    }
    for (size_t i = 0; i < count; ++i) {
        if (units[i] == u'/')
            return kSlash;
    }
    for (size_t i = 0; i < count; ++i) {
        const char16_t c = units[i];
        if (c < 0x20 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*')
            return kBadCharacter;
    }
    if (SameUpper(units, count, "UNINSTALL"))
        return kUninstallFile;
    size_t start = 0;
    for (size_t i = 0; i <= count; ++i) {
        if (i < count && units[i] != u'\\')
            continue;
        const size_t length = i - start;
        if (componentStart != nullptr)
            *componentStart = start;
        if (componentLength != nullptr)
            *componentLength = length;
        if (length == 0)
            return kEmptyComponent;
        bool dotsAndSpaces = true;
        for (size_t k = start; k < i; ++k) {
            if (units[k] != u'.' && units[k] != u' ')
                dotsAndSpaces = false;
        }
        if (dotsAndSpaces)
            return kDotsComponent;
        if (units[i - 1] == u'.' || units[i - 1] == u' ')
            return kTrailingDotOrSpace;
        if (IsDeviceName(units + start, length))
            return kDeviceName;
        start = i + 1;
    }
    if (componentStart != nullptr)
        *componentStart = 0;
    if (componentLength != nullptr)
        *componentLength = count;
    return kSafe;
}

} // namespace SafeName
