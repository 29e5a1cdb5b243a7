#pragma once
#include "foundation/WStringArray.h"

// Two-operation byte stream; the base versions report "not supported" (E_FAIL, nothing recorded).
class ByteStream {
public:
    virtual HRESULT WriteBuffer(const void* data, int size);
    virtual HRESULT ReadBuffer(void* data, int size);
    virtual ~ByteStream();

    // Uninstall data serialisation: length in code units, then the UTF-16LE units.
    HRESULT WriteString(const WString& text);
    // Element count, then each string.
    HRESULT WriteStringList(const WStringArray& list);
};
