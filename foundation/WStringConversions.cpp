#include "foundation/WString.h"

#include "foundation/ScopedHandle.h"

#include <objbase.h>

WString FromGuid(const GUID& guid)
{
    ScopedCoTaskMem<OLECHAR> text;
    WString result;
    if (SUCCEEDED(StringFromCLSID(guid, text.put())) && text)
        result = WString(text.get());
    return result;
}

WString FromMultiByte(const char* bytes, int count, UINT codePage)
{
    const int kUnits = 4096;
    if (bytes == nullptr || count == 0 || count < -1)
        return WString();
    wchar_t buffer[kUnits + 1];
    int written = MultiByteToWideChar(codePage, 0, bytes, count, buffer, kUnits);
    if (written <= 0 || written > kUnits)
        return WString();       // failed, or the text does not fit the buffer
    buffer[written] = 0;
    return WString(buffer);     // cut at the first NUL of the conversion
}

WString FromInt(int value)
{
    wchar_t digits[16];
    int pos = 15;
    digits[pos] = 0;
    // Work on the negative side so that the smallest int has a text too.
    int rest = value > 0 ? -value : value;
    do {
        digits[--pos] = static_cast<wchar_t>(L'0' - rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0)
        digits[--pos] = L'-';
    return WString(digits + pos);
}
