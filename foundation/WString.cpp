#include "foundation/WString.h"

#include <cstdlib>
#include <cwchar>

namespace {

const wchar_t kEmptyText[1] = {0};
const WString kEmptyWString;

const int kFirstCapacity = 8;
const int kMaxCapacity = 0x3FFFFFF0;

int TextLength(const wchar_t* text)
{
    if (text == nullptr)
        return 0;
    size_t n = wcslen(text);
    return n > static_cast<size_t>(kMaxCapacity) ? -1 : static_cast<int>(n);
}

size_t BlockBytes(int capacity, size_t header)
{
    return header + (static_cast<size_t>(capacity) + 1) * sizeof(wchar_t);
}

} // namespace

WString::WString() : block_(nullptr) {}

WString::WString(const wchar_t* text) : block_(nullptr)
{
    int n = TextLength(text);
    if (n > 0) {
        wchar_t* chars = Reserve(n);
        if (chars != nullptr)
            wmemcpy(chars, text, static_cast<size_t>(n) + 1);
    }
}

WString::WString(const wchar_t* text, int count) : block_(nullptr)
{
    if (text != nullptr && count > 0) {
        wchar_t* chars = Reserve(count);
        if (chars != nullptr) {
            wmemcpy(chars, text, static_cast<size_t>(count));
            chars[count] = 0;
        }
    }
}

WString::WString(const WString& other) : block_(other.block_)
{
    if (block_ != nullptr)
        ++block_->refs;
}

WString::~WString()
{
    Release();
}

WString& WString::operator=(const WString& other)
{
    if (block_ == other.block_)
        return *this;
    Block* incoming = other.block_;
    if (incoming != nullptr)
        ++incoming->refs;
    Release();
    block_ = incoming;
    return *this;
}

WString& WString::operator=(const wchar_t* text)
{
    int n = TextLength(text);
    if (n <= 0) {
        Release();
        return *this;
    }
    if (block_ != nullptr && (block_->refs > 1 || (text >= block_->Chars() &&
                                                   text <= block_->Chars() + block_->capacity)))
        return *this = WString(text);   // shared block, or the text lies in our own block
    wchar_t* chars = Reserve(n);
    if (chars != nullptr)
        wmemcpy(chars, text, static_cast<size_t>(n) + 1);
    return *this;
}

void WString::Release()
{
    if (block_ != nullptr) {
        if (--block_->refs <= 0)
            free(block_);
        block_ = nullptr;
    }
}

void WString::Clear()
{
    Release();
}

int WString::Length() const
{
    return block_ != nullptr ? block_->length : 0;
}

const wchar_t* WString::c_str() const
{
    return block_ != nullptr ? block_->Chars() : kEmptyText;
}

int WString::Capacity() const
{
    return block_ != nullptr ? block_->capacity : 0;
}

int WString::RefCount() const
{
    return block_ != nullptr ? block_->refs : 0;
}

wchar_t* WString::Reserve(int newLength)
{
    if (newLength <= 0 || newLength > kMaxCapacity)
        return nullptr;
    if (block_ != nullptr && block_->refs <= 1) {
        if (block_->capacity < newLength) {
            int capacity = block_->capacity > 0 ? block_->capacity : kFirstCapacity;
            while (capacity < newLength)
                capacity *= 2;
            Block* grown = static_cast<Block*>(realloc(block_, BlockBytes(capacity, sizeof(Block))));
            if (grown == nullptr)
                return nullptr;     // the old block and its text stay as they were
            block_ = grown;
            block_->capacity = capacity;
        }
        block_->length = newLength;
        return block_->Chars();
    }
    int capacity = kFirstCapacity;
    while (capacity < newLength)
        capacity *= 2;
    Block* fresh = static_cast<Block*>(malloc(BlockBytes(capacity, sizeof(Block))));
    if (fresh == nullptr)
        return nullptr;
    fresh->refs = 1;
    fresh->length = newLength;
    fresh->capacity = capacity;
    wchar_t* chars = fresh->Chars();
    chars[0] = 0;
    if (block_ != nullptr) {
        int keep = block_->length < capacity ? block_->length : capacity;
        wmemcpy(chars, block_->Chars(), static_cast<size_t>(keep));
        chars[keep] = 0;
    }
    Release();
    block_ = fresh;
    return chars;
}

bool WString::operator==(const WString& other) const
{
    if (block_ == other.block_)
        return true;
    if (block_ == nullptr || other.block_ == nullptr)
        return false;
    return block_->length == other.block_->length &&
           wmemcmp(block_->Chars(), other.block_->Chars(), static_cast<size_t>(block_->length)) == 0;
}

bool WString::operator==(const wchar_t* text) const
{
    if (block_ == nullptr)
        return text == nullptr || text[0] == 0;
    if (text == nullptr)
        return false;
    // The other text ends at its first NUL: nothing beyond it is read, and a NUL held inside
    // this value never matches that end.
    const wchar_t* mine = block_->Chars();
    int n = block_->length;
    for (int i = 0; i < n; ++i) {
        if (text[i] == 0 || text[i] != mine[i])
            return false;
    }
    return text[n] == 0;
}

WString& WString::Append(const WString& other)
{
    if (other.block_ == nullptr)
        return *this;
    if (other.block_ == block_) {
        // Appending a value to itself: hold a second reference so the source survives
        // the copy-on-write below.
        WString source(other);
        return Append(source.c_str(), source.Length());
    }
    return Append(other.block_->Chars(), other.block_->length);
}

WString& WString::Append(const wchar_t* text)
{
    int n = TextLength(text);
    if (n <= 0)
        return *this;
    return Append(text, n);
}

WString& WString::Append(const wchar_t* text, int count)
{
    if (text == nullptr || count <= 0)
        return *this;
    int oldLength = Length();
    if (count > kMaxCapacity - oldLength)
        return *this;
    if (block_ != nullptr && block_->refs <= 1 && text >= block_->Chars() &&
        text <= block_->Chars() + block_->capacity) {
        // Source inside our own block, which Reserve may move: copy it out first.
        WString source(text, count);
        return Append(source.c_str(), source.Length());
    }
    wchar_t* chars = Reserve(oldLength + count);
    if (chars != nullptr) {
        wmemcpy(chars + oldLength, text, static_cast<size_t>(count));
        chars[oldLength + count] = 0;
    }
    return *this;
}

WString operator+(const wchar_t* left, const WString& right)
{
    WString result(left);
    result.Append(right);
    return result;
}

WString operator+(const WString& left, const WString& right)
{
    WString result(left);
    result.Append(right);
    return result;
}

WString operator+(const WString& left, const wchar_t* right)
{
    WString result(left);
    result.Append(right);
    return result;
}

const WString& EmptyWString()
{
    return kEmptyWString;
}

WString PrivateCopy(const WString& text)
{
    return WString(text.c_str(), text.Length());
}
