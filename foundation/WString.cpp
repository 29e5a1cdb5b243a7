#include "foundation/WString.h"

#include "foundation/ScopedHandle.h"

#include <objbase.h>

#include <cstdlib>
#include <cstring>
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

// First index of pattern in text at or after from, or -1.
int Search(const wchar_t* text, int length, const wchar_t* pattern, int patternLength, int from)
{
    if (patternLength <= 0 || patternLength > length)
        return -1;
    wchar_t first = pattern[0];
    for (int i = from < 0 ? 0 : from; i <= length - patternLength; ++i) {
        if (text[i] == first &&
            wmemcmp(text + i, pattern, static_cast<size_t>(patternLength)) == 0)
            return i;
    }
    return -1;
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

int WString::FindLast(wchar_t unit) const
{
    if (block_ == nullptr)
        return -1;
    const wchar_t* chars = block_->Chars();
    for (int i = block_->length - 1; i >= 0; --i) {
        if (chars[i] == unit)
            return i;
    }
    return -1;
}

int WString::Find(const WString& pattern) const
{
    if (block_ == nullptr || pattern.block_ == nullptr)
        return -1;
    return Search(block_->Chars(), block_->length, pattern.block_->Chars(), pattern.block_->length, 0);
}

WString WString::Mid(int start, int count) const
{
    int length = Length();
    if (start < 0)
        start = 0;
    if (block_ == nullptr || start >= length || count <= 0)
        return WString();
    if (count > length - start)
        count = length - start;
    if (start == 0 && count == length)
        return *this;
    return WString(block_->Chars() + start, count);
}

WString WString::ReplaceAll(const WString& pattern, const WString& replacement) const
{
    int patternLength = pattern.Length();
    if (block_ == nullptr || patternLength == 0)
        return *this;
    int at = Find(pattern);
    if (at < 0)
        return *this;

    const wchar_t* pat = pattern.c_str();
    const wchar_t* rep = replacement.c_str();
    int repLength = replacement.Length();
    const wchar_t* chars = block_->Chars();
    int length = block_->length;

    if (replacement.Find(pattern) >= 0) {
        // The replacement holds the pattern: replacing again from the start would never end,
        // so make one left-to-right pass that continues after each inserted replacement.
        WString result;
        int from = 0;
        while (at >= 0) {
            result.Append(chars + from, at - from);
            result.Append(rep, repLength);
            from = at + patternLength;
            at = Search(chars, length, pat, patternLength, from);
        }
        result.Append(chars + from, length - from);
        return result;
    }

    // Restarting the search at the beginning after every replacement finds the occurrence
    // that ends first. So the text is rewritten as a stream: units move from the unread input
    // to the output, and whenever the output ends with the pattern, the pattern is taken off
    // and the replacement goes back in front of the unread input, where it meets the output's
    // tail and what follows. Work is linear in the units moved.
    //
    // A replacement can rebuild the pattern with its neighbours forever ("P11x//P" for "/P1"
    // before a "1"): the text never grows beyond max(its length, kMaxReplaceResult) units and
    // an occurrence whose replacement would pass that stays as it is. Replacements that keep
    // the length cannot pass it; their number is capped at the same figure.
    const int kMaxReplaceResult = 1 << 20;
    const int limit = length > kMaxReplaceResult ? length : kMaxReplaceResult;

    // Unread input: a stack of pieces, the original text at the bottom, replacements on top.
    // Each piece is a start offset into the original (>= 0) or the replacement (-1), and the
    // units left in it.
    struct Piece {
        int start;
        int left;
    };
    int stackCapacity = 16;
    Piece* stack = static_cast<Piece*>(malloc(sizeof(Piece) * stackCapacity));
    WString out;
    wchar_t* buffer = stack != nullptr ? out.Reserve(length) : nullptr;
    if (buffer == nullptr) {
        free(stack);
        return *this;
    }
    int outLength = 0;
    int outCapacity = out.block_->capacity;
    int total = length;     // output plus unread input
    int sameLengthSteps = 0;
    int depth = 1;
    stack[0].start = 0;
    stack[0].left = length;
    bool failed = false;
    while (depth > 0 && !failed) {
        Piece& top = stack[depth - 1];
        if (top.left == 0) {
            --depth;
            continue;
        }
        const wchar_t* source = top.start >= 0 ? chars + top.start : rep + (repLength - top.left);
        wchar_t unit = *source;
        if (top.start >= 0)
            ++top.start;
        --top.left;
        if (outLength == outCapacity) {
            out.block_->length = outLength;
            buffer = out.Reserve(outLength + 1);
            if (buffer == nullptr) {
                failed = true;
                break;
            }
            outCapacity = out.block_->capacity;
        }
        buffer[outLength++] = unit;
        if (outLength < patternLength || unit != pat[patternLength - 1] ||
            wmemcmp(buffer + outLength - patternLength, pat, static_cast<size_t>(patternLength)) != 0)
            continue;
        int grown = total - patternLength + repLength;
        if (grown > limit || (grown == total && ++sameLengthSteps > limit))
            continue;       // left in place: past the bound
        outLength -= patternLength;
        total = grown;
        if (repLength == 0)
            continue;
        if (depth == stackCapacity) {
            Piece* bigger = static_cast<Piece*>(realloc(stack, sizeof(Piece) * stackCapacity * 2));
            if (bigger == nullptr) {
                failed = true;
                break;
            }
            stack = bigger;
            stackCapacity *= 2;
        }
        stack[depth].start = -1;
        stack[depth].left = repLength;
        ++depth;
    }
    free(stack);
    if (failed)
        return *this;
    if (outLength == 0)
        return WString();
    out.block_->length = outLength;
    buffer[outLength] = 0;
    return out;
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

const WString& EmptyWString()
{
    return kEmptyWString;
}
