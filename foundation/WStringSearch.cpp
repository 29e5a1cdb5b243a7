#include "foundation/WString.h"

#include <cstdlib>
#include <cwchar>

namespace {

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
