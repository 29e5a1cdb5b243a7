#pragma once
#include "foundation/Platform.h"

// UTF-16 text with shared, reference-counted, copy-on-write storage. The empty string owns no
// block. Not thread-safe: never share a handle between threads; copy the characters instead.
class WString {
public:
    WString();
    WString(const wchar_t* text);
    WString(const wchar_t* text, int count);
    WString(const WString& other);
    ~WString();
    WString& operator=(const WString& other);
    WString& operator=(const wchar_t* text);

    void Clear();
    int Length() const;
    bool IsEmpty() const { return block_ == nullptr; }
    const wchar_t* c_str() const;
    wchar_t operator[](int index) const { return c_str()[index]; }

    bool operator==(const WString& other) const;
    bool operator!=(const WString& other) const { return !(*this == other); }
    bool operator==(const wchar_t* text) const;
    bool operator!=(const wchar_t* text) const { return !(*this == text); }

    WString& Append(const WString& other);
    WString& Append(const wchar_t* text);
    WString& Append(const wchar_t* text, int count);
    WString& operator+=(const WString& other) { return Append(other); }
    WString& operator+=(const wchar_t* text) { return Append(text); }

    int FindLast(wchar_t unit) const;
    int Find(const WString& pattern) const;
    WString Mid(int start, int count) const;
    WString ReplaceAll(const WString& pattern, const WString& replacement) const;

    // Inspection for tests: block capacity (0 when empty), reference count (0 when empty),
    // and whether two values share one block.
    int Capacity() const;
    int RefCount() const;
    bool SharesWith(const WString& other) const { return block_ != nullptr && block_ == other.block_; }

private:
    struct Block {
        int refs;
        int length;
        int capacity;
        // capacity + 1 code units follow
        wchar_t* Chars() { return reinterpret_cast<wchar_t*>(this + 1); }
    };
    // Makes room for newLength units (unique block, text kept) and sets the length.
    wchar_t* Reserve(int newLength);
    void Release();

    Block* block_;
};

WString operator+(const wchar_t* left, const WString& right);
WString operator+(const WString& left, const WString& right);
WString operator+(const WString& left, const wchar_t* right);

// Registry form of a GUID ("{...}", 38 characters); empty when the conversion fails.
WString FromGuid(const GUID& guid);
// 8-bit text in a code page; count -1 means up to the terminating zero byte.
WString FromMultiByte(const char* bytes, int count, UINT codePage);
// Decimal text of a number.
WString FromInt(int value);

// The process-wide empty value handed out where there is no string.
const WString& EmptyWString();
// The same characters in a block of their own: text for another thread, whose reference
// counting must never touch this thread's blocks.
WString PrivateCopy(const WString& text);
