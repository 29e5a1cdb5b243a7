#include "archive/ByteStream.h"

HRESULT ByteStream::WriteBuffer(const void*, int)
{
    return E_FAIL;
}

HRESULT ByteStream::ReadBuffer(void*, int)
{
    return E_FAIL;
}

ByteStream::~ByteStream()
{
}

HRESULT ByteStream::WriteString(const WString& text)
{
    const int length = text.Length();
    const unsigned int value = static_cast<unsigned int>(length);
    const unsigned char prefix[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                     static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    HRESULT result = WriteBuffer(prefix, 4);
    if (result != S_OK || length == 0)
        return result;
    // wchar_t is one UTF-16LE code unit on Windows: the text goes out as it is held.
    return WriteBuffer(text.c_str(), length * 2);
}

HRESULT ByteStream::WriteStringList(const WStringArray& list)
{
    const unsigned int count = static_cast<unsigned int>(list.Count());
    const unsigned char prefix[4] = {static_cast<unsigned char>(count), static_cast<unsigned char>(count >> 8),
                                     static_cast<unsigned char>(count >> 16), static_cast<unsigned char>(count >> 24)};
    if (WriteBuffer(prefix, 4) != S_OK)
        return E_FAIL;
    for (int i = 0; i < list.Count(); ++i) {
        if (WriteString(list.At(i)) != S_OK)
            return E_FAIL;
    }
    return S_OK;
}
