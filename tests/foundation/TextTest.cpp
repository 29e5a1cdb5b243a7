#include "foundation/WString.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

TEST(WStringEmpty, NullAndEmptyTextOwnNoBlock)
{
    WString fromNull(static_cast<const wchar_t*>(nullptr));
    WString fromEmpty(L"");
    WString counted(L"abc", 0);
    WString countedNull(nullptr, 3);
    WString negative(L"abc", -1);
    for (const WString* s : {&fromNull, &fromEmpty, &counted, &countedNull, &negative}) {
        EXPECT_TRUE(s->IsEmpty());
        EXPECT_EQ(0, s->Length());
        EXPECT_EQ(0, s->Capacity());
        ASSERT_NE(nullptr, s->c_str());
        EXPECT_EQ(L'\0', s->c_str()[0]);
        EXPECT_TRUE(*s == static_cast<const wchar_t*>(nullptr));
        EXPECT_TRUE(*s == L"");
    }
    EXPECT_TRUE(fromNull == fromEmpty);
    // Every empty value reads the one static text.
    EXPECT_EQ(fromNull.c_str(), fromEmpty.c_str());
    EXPECT_EQ(fromNull.c_str(), EmptyWString().c_str());
}

TEST(WStringEmpty, ZeroLengthResultsAreNull)
{
    WString text(L"abcdef");
    EXPECT_TRUE(text.Mid(6, 1).IsEmpty());
    EXPECT_TRUE(text.Mid(2, 0).IsEmpty());
    EXPECT_TRUE(text.ReplaceAll(L"abcdef", WString()).IsEmpty());
    WString assigned(L"x");
    assigned = L"";
    EXPECT_TRUE(assigned.IsEmpty());
    WString appended;
    appended.Append(L"");
    appended.Append(static_cast<const wchar_t*>(nullptr));
    appended.Append(WString());
    appended.Append(L"abc", 0);
    EXPECT_TRUE(appended.IsEmpty());
}

TEST(WStringCapacity, FreshBlocksStartAtEightAndDouble)
{
    EXPECT_EQ(8, WString(L"a").Capacity());
    EXPECT_EQ(8, WString(L"abcdefgh").Capacity());
    EXPECT_EQ(16, WString(L"abcdefghi").Capacity());
    EXPECT_EQ(32, WString(std::wstring(17, L'x').c_str()).Capacity());
    WString one(L"a");
    EXPECT_EQ(1, one.RefCount());
}

TEST(WStringCapacity, UniqueBlockDoublesInPlaceKeepingText)
{
    WString text(L"abcdefgh");
    ASSERT_EQ(8, text.Capacity());
    text.Append(L"i");
    EXPECT_EQ(16, text.Capacity());
    EXPECT_EQ(9, text.Length());
    EXPECT_TRUE(text == L"abcdefghi");
    // Doubling repeats until the new length fits.
    text.Append(std::wstring(40, L'z').c_str());
    EXPECT_EQ(64, text.Capacity());
    EXPECT_EQ(49, text.Length());
    EXPECT_EQ(std::wstring(L"abcdefghi") + std::wstring(40, L'z'), text.c_str());
    // Room left: no growth.
    text.Append(L"!");
    EXPECT_EQ(64, text.Capacity());
}

TEST(WStringCopyOnWrite, WriterTakesPrivateBlock)
{
    WString a(L"shared");
    WString b;
    b = a;
    EXPECT_TRUE(a.SharesWith(b));
    EXPECT_EQ(2, a.RefCount());
    b.Append(L"x");
    EXPECT_TRUE(a == L"shared");
    EXPECT_TRUE(b == L"sharedx");
    EXPECT_FALSE(a.SharesWith(b));
    EXPECT_EQ(1, a.RefCount());
    EXPECT_EQ(1, b.RefCount());
    // The private block of a shared value is a fresh one: capacity from 8 upwards.
    EXPECT_EQ(8, b.Capacity());
}

TEST(WStringCopyOnWrite, AssignmentSharesAndReleases)
{
    WString a(L"one");
    WString b(L"two");
    WString c(a);
    EXPECT_EQ(2, a.RefCount());
    c = a;      // already the same block: nothing changes
    EXPECT_EQ(2, a.RefCount());
    c = c;
    EXPECT_EQ(2, a.RefCount());
    c = b;
    EXPECT_EQ(1, a.RefCount());
    EXPECT_EQ(2, b.RefCount());
    c.Clear();
    EXPECT_TRUE(c.IsEmpty());
    EXPECT_EQ(1, b.RefCount());
    // Assigning text on a shared value leaves the other owner alone.
    WString d(b);
    d = L"three";
    EXPECT_TRUE(b == L"two");
    EXPECT_TRUE(d == L"three");
}

TEST(WStringCopyOnWrite, AssigningOwnCharactersIsSafe)
{
    WString text(L"abcdefghijklmnop");
    text = text.c_str() + 10;
    EXPECT_TRUE(text == L"klmnop");
    WString grow(L"abcdefgh");
    grow.Append(grow.c_str() + 4, 4);
    EXPECT_TRUE(grow == L"abcdefghefgh");
}

TEST(WStringEquality, Rules)
{
    WString a(L"Text");
    WString b(L"Text");
    WString shared(a);
    WString empty;
    EXPECT_TRUE(a == shared);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a.SharesWith(b));
    EXPECT_FALSE(a == empty);
    EXPECT_FALSE(empty == a);
    EXPECT_TRUE(empty == WString());
    EXPECT_FALSE(a == WString(L"text"));
    EXPECT_FALSE(a == WString(L"Tex"));
    EXPECT_FALSE(a == WString(L"Texts"));
    EXPECT_TRUE(a == L"Text");
    EXPECT_FALSE(a == L"Tex");
    EXPECT_FALSE(a == L"Texts");
    EXPECT_FALSE(a == static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(a != static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(a != L"");
    EXPECT_FALSE(empty != L"");
    // Counted text may hold NUL units; they take part in the comparison.
    WString withNul(L"a\0b", 3);
    EXPECT_EQ(3, withNul.Length());
    EXPECT_FALSE(withNul == WString(L"a\0c", 3));
    EXPECT_TRUE(withNul == WString(L"a\0b", 3));
    EXPECT_FALSE(withNul == L"a");
}

// The plain text ends at its first NUL: a value holding a NUL is longer than that text, and
// the comparison must not read past the text's terminator (a guard page follows it).
TEST(WStringEquality, PlainTextEndsAtItsTerminator)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD page = system.dwPageSize;
    char* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(nullptr, pages);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(pages + page, page, PAGE_NOACCESS, &old));
    wchar_t* text = reinterpret_cast<wchar_t*>(pages + page) - 2;
    text[0] = L'a';
    text[1] = 0;
    EXPECT_FALSE(WString(L"a\0b", 3) == text);
    EXPECT_TRUE(WString(L"a\0b", 3) != text);
    EXPECT_FALSE(WString(L"a\0", 2) == text);
    EXPECT_TRUE(WString(L"a") == text);
    wchar_t* doubled = reinterpret_cast<wchar_t*>(pages + page) - 3;
    doubled[0] = L'a';
    doubled[1] = 0;
    doubled[2] = 0;
    EXPECT_FALSE(WString(L"a\0", 2) == doubled);
    VirtualFree(pages, 0, MEM_RELEASE);
}

TEST(WStringAppend, ConcatenationAndSelf)
{
    WString left(L"ab");
    WString right(L"cd");
    WString joined = left + right;
    EXPECT_TRUE(joined == L"abcd");
    EXPECT_TRUE(left == L"ab");
    EXPECT_TRUE(right == L"cd");
    EXPECT_TRUE((L"x" + left) == L"xab");
    EXPECT_TRUE((left + L"y") == L"aby");
    EXPECT_TRUE((WString() + WString()).IsEmpty());
    EXPECT_TRUE((left + WString()).SharesWith(left));

    // A value appended to itself doubles, including a second handle on the same block.
    WString self(L"abcdefgh");
    self.Append(self);
    EXPECT_TRUE(self == L"abcdefghabcdefgh");
    WString original(L"xyz");
    WString alias(original);
    original.Append(alias);
    EXPECT_TRUE(original == L"xyzxyz");
    EXPECT_TRUE(alias == L"xyz");
    original += L"!";
    EXPECT_TRUE(original == L"xyzxyz!");
}

TEST(WStringSearch, FindAndFindLast)
{
    WString path(L"C:\\Program Files\\Orlix\\x.exe");
    EXPECT_EQ(22, path.FindLast(L'\\'));
    EXPECT_EQ(-1, path.FindLast(L'/'));
    EXPECT_EQ(-1, WString().FindLast(L'a'));
    EXPECT_EQ(0, path.FindLast(L'C'));

    WString text(L"abcabc");
    EXPECT_EQ(1, text.Find(L"bc"));
    EXPECT_EQ(0, text.Find(L"abcabc"));
    EXPECT_EQ(2, text.Find(L"cab"));
    EXPECT_EQ(-1, text.Find(WString()));
    EXPECT_EQ(-1, text.Find(L"abcabca"));
    EXPECT_EQ(-1, text.Find(L"cb"));
    EXPECT_EQ(-1, WString().Find(L"a"));
    EXPECT_EQ(3, WString(L"aaab").Find(L"b"));
    EXPECT_EQ(1, WString(L"aaab").Find(L"aab"));
}

TEST(WStringSearch, Mid)
{
    WString text(L"abcdef");
    EXPECT_TRUE(text.Mid(3, 100) == L"def");
    EXPECT_TRUE(text.Mid(0, 2) == L"ab");
    EXPECT_TRUE(text.Mid(5, 1) == L"f");
    EXPECT_TRUE(text.Mid(6, 1).IsEmpty());
    EXPECT_TRUE(text.Mid(100, 1).IsEmpty());
    EXPECT_TRUE(WString().Mid(0, 5).IsEmpty());
    // A slice that is the whole text shares the block.
    EXPECT_TRUE(text.Mid(0, 6).SharesWith(text));
    EXPECT_FALSE(text.Mid(1, 2).SharesWith(text));
}

TEST(WStringReplace, RestartsFromStart)
{
    EXPECT_TRUE(WString(L"aab").ReplaceAll(L"ab", L"b") == L"b");
    EXPECT_TRUE(WString(L"aaaab").ReplaceAll(L"ab", L"b") == L"b");
    EXPECT_TRUE(WString(L"xaabx").ReplaceAll(L"ab", L"b") == L"xbx");
    EXPECT_TRUE(WString(L"a-b-c").ReplaceAll(L"-", L"::") == L"a::b::c");
    EXPECT_TRUE(WString(L"abcabc").ReplaceAll(L"b", WString()) == L"acac");
    EXPECT_TRUE(WString(L"[/P1]").ReplaceAll(L"/P1", L"C:\\x") == L"[C:\\x]");
    // Nothing to replace: the same block comes back.
    WString text(L"unchanged");
    EXPECT_TRUE(text.ReplaceAll(L"zz", L"y").SharesWith(text));
    EXPECT_TRUE(text.ReplaceAll(WString(), L"y").SharesWith(text));
    EXPECT_TRUE(WString().ReplaceAll(L"a", L"b").IsEmpty());
    EXPECT_TRUE(text == L"unchanged");
}

TEST(WStringReplace, ReplacementHoldingPatternEndsInOnePass)
{
    EXPECT_TRUE(WString(L"a/P1b/P1").ReplaceAll(L"/P1", L"</P1>") == L"a</P1>b</P1>");
    EXPECT_TRUE(WString(L"aaa").ReplaceAll(L"a", L"aa") == L"aaaaaa");
    EXPECT_TRUE(WString(L"x").ReplaceAll(L"x", L"x") == L"x");
    EXPECT_TRUE(WString(L"abab").ReplaceAll(L"ab", L"abab") == L"abababab");
}

// Restarting from the start after every replacement, done literally; -1 steps when it runs on.
static std::wstring RestartingReplace(std::wstring text, const std::wstring& pattern,
                                      const std::wstring& replacement, int maxSteps)
{
    for (int steps = 0;; ++steps) {
        size_t at = text.find(pattern);
        if (at == std::wstring::npos)
            return text;
        if (steps == maxSteps)
            return L"-";
        text.replace(at, pattern.size(), replacement);
    }
}

TEST(WStringReplace, SameResultAsRestartingFromTheStart)
{
    // Every text, pattern and replacement over {a, b, /} up to small lengths.
    unsigned int state = 12345;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    auto word = [&](int maxLength) {
        std::wstring w;
        int n = static_cast<int>(next() % (maxLength + 1));
        for (int i = 0; i < n; ++i)
            w += L"ab/"[next() % 3];
        return w;
    };
    int compared = 0;
    for (int round = 0; round < 20000; ++round) {
        std::wstring text = word(12);
        std::wstring pattern = word(3);
        std::wstring replacement = word(4);
        if (pattern.empty() || replacement.find(pattern) != std::wstring::npos)
            continue;
        std::wstring expected = RestartingReplace(text, pattern, replacement, 200);
        if (expected == L"-")
            continue;
        WString result = WString(text.c_str()).ReplaceAll(pattern.c_str(), replacement.c_str());
        ASSERT_TRUE(result == expected.c_str())
            << "text \"" << std::string(text.begin(), text.end()) << "\" pattern \""
            << std::string(pattern.begin(), pattern.end()) << "\" replacement \""
            << std::string(replacement.begin(), replacement.end()) << "\"";
        ++compared;
    }
    EXPECT_GT(compared, 5000);
}

// "P11x//P" for "/P1" before a "1" rebuilds the pattern with every replacement, one unit
// further on: the text grows to the bound and stops there, at once, not after hours.
TEST(WStringReplace, SelfRebuildingReplacementStopsAtTheBound)
{
    WString text = WString(L"[/P11]").ReplaceAll(L"/P1", L"P11x//P");
    EXPECT_GT(text.Length(), (1 << 20) - 8);
    EXPECT_LE(text.Length(), 1 << 20);
    EXPECT_EQ(0, text.Find(L"[P11x"));
    // Shrinking and length-keeping replacements are not held back by the bound.
    EXPECT_TRUE(WString(L"ab").ReplaceAll(L"ab", L"ba") == L"ba");
}

TEST(WStringConvert, FromInt)
{
    EXPECT_TRUE(FromInt(0) == L"0");
    EXPECT_TRUE(FromInt(42) == L"42");
    EXPECT_TRUE(FromInt(-7) == L"-7");
    EXPECT_TRUE(FromInt(INT_MAX) == L"2147483647");
    EXPECT_TRUE(FromInt(INT_MIN) == L"-2147483648");
}

TEST(WStringConvert, FromGuid)
{
    const GUID guid = {0x12345678, 0x9abc, 0xdef0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef}};
    WString text = FromGuid(guid);
    EXPECT_EQ(38, text.Length());
    EXPECT_TRUE(text == L"{12345678-9ABC-DEF0-0123-456789ABCDEF}");
}

TEST(WStringConvert, FromMultiByte)
{
    // Windows-1252: è is one byte.
    WString accent = FromMultiByte("Cr\xE8me", -1, 1252);
    EXPECT_TRUE(accent == L"Cr\u00E8me");
    EXPECT_EQ(5, accent.Length());
    EXPECT_TRUE(FromMultiByte("abcdef", 3, 1252) == L"abc");
    // Cut at the first NUL the conversion produced.
    EXPECT_TRUE(FromMultiByte("ab\0cd", 5, 1252) == L"ab");
    EXPECT_TRUE(FromMultiByte(nullptr, 4, 1252).IsEmpty());
    EXPECT_TRUE(FromMultiByte("", -1, 1252).IsEmpty());
    EXPECT_TRUE(FromMultiByte("abc", 0, 1252).IsEmpty());

    // 4096 units fit the buffer; one more is a failed conversion.
    std::string fits(4096, 'q');
    EXPECT_EQ(4096, FromMultiByte(fits.data(), 4096, 1252).Length());
    std::string tooLong(5000, 'q');
    EXPECT_TRUE(FromMultiByte(tooLong.data(), 4097, 1252).IsEmpty());
    EXPECT_TRUE(FromMultiByte(tooLong.c_str(), -1, 1252).IsEmpty());
    // Counting up to the terminator converts the NUL too: 4096 bytes no longer fit.
    EXPECT_TRUE(FromMultiByte(fits.c_str(), -1, 1252).IsEmpty());
    std::string justFits(4095, 'q');
    EXPECT_EQ(4095, FromMultiByte(justFits.c_str(), -1, 1252).Length());
}

} // namespace
