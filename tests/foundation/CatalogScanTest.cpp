// The catalog format, read through Lookup from a source that serves one text.
#include "archive/ArchiveCatalogs.h"
#include "foundation/CatalogSource.h"
#include "foundation/MessageCatalog.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Serves the same text (any bytes, any size) for every catalog name.
class TextSource : public CatalogSource {
public:
    TextSource(const char* text, int size) : text_(text), size_(size) {}
    bool ReadCatalog(const char*, Reader& reader) override
    {
        reader.Read(text_, size_);
        return true;
    }

private:
    const char* text_;
    int size_;
};

// Installs a source for one lookup and puts the archive's catalogs back.
class InstalledSource {
public:
    explicit InstalledSource(CatalogSource* source) { MessageCatalog::SetSource(source); }
    ~InstalledSource() { MessageCatalog::SetSource(&ArchiveCatalogs()); }
};

// Looks key up in size bytes of text: false when Lookup answers with the key itself.
bool FindIn(const char* text, int size, const wchar_t* key, WString* found)
{
    TextSource source(text, size);
    InstalledSource installed(&source);
    const WString answer = MessageCatalog::Lookup("KZ_Scan", key);
    if (answer == WString(key))
        return false;
    if (found != nullptr)
        *found = answer;
    return true;
}

// Scans a catalog held in a std::string (which may contain any byte).
bool Find(const std::string& catalog, const wchar_t* key, WString* found)
{
    return FindIn(catalog.data(), static_cast<int>(catalog.size()), key, found);
}

WString Text(const std::string& catalog, const wchar_t* key)
{
    WString found(L"<not found>");
    if (!Find(catalog, key, &found))
        return WString(L"<not found>");
    return found;
}

const std::string kWizard =
    "Back.Title=\"< &Back\";\r\n"
    "Next.Title=\"&Next >\";\r\n"
    "Cancel.Title=\"Cancel\";\r\n";

TEST(CatalogScan, FindsEntriesAndIsCaseSensitive)
{
    EXPECT_TRUE(Text(kWizard, L"Next.Title") == L"&Next >");
    EXPECT_TRUE(Text(kWizard, L"Back.Title") == L"< &Back");
    EXPECT_TRUE(Text(kWizard, L"Cancel.Title") == L"Cancel");
    EXPECT_TRUE(Text(kWizard, L"next.title") == L"<not found>");
    EXPECT_TRUE(Text(kWizard, L"Next") == L"<not found>");
    EXPECT_TRUE(Text(kWizard, L"Next.Title.") == L"<not found>");
    WString untouched(L"keep");
    EXPECT_FALSE(Find(kWizard, L"Missing", &untouched));
    EXPECT_TRUE(untouched == L"keep");
    EXPECT_FALSE(FindIn(nullptr, 10, L"Next.Title", &untouched));
    EXPECT_FALSE(FindIn(kWizard.data(), 0, L"Back.Title", &untouched));
    // Only the given size is scanned.
    EXPECT_FALSE(FindIn(kWizard.data(), 20, L"Back.Title", &untouched));
    EXPECT_TRUE(FindIn(kWizard.data(), 21, L"Back.Title", &untouched));
}

TEST(CatalogScan, WithoutASourceEveryLookupGivesItsKey)
{
    InstalledSource none(nullptr);
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"Next.Title") == L"Next.Title");
    MessageCatalog::BeginStartupCache();
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"OutOfMemory") == L"OutOfMemory");
    MessageCatalog::EndStartupCache();
}

TEST(CatalogScan, FirstOccurrenceWins)
{
    const std::string catalog =
        "Dup=\"first\";\r\nDup=\"second\";\r\n";
    EXPECT_TRUE(Text(catalog, L"Dup") == L"first");
}

TEST(CatalogScan, Escapes)
{
    EXPECT_TRUE(Text("K=\"a\\nb\";", L"K") == L"a\nb");
    EXPECT_TRUE(Text("K=\"a\\tb\";", L"K") == L"ab");
    EXPECT_TRUE(Text("K=\"say \\\"hi\\\"\";", L"K") == L"say hi");
    EXPECT_TRUE(Text("K=\"a\\\\b\";", L"K") == L"ab");
    // CR and LF inside the quotes stay in the text.
    EXPECT_TRUE(Text("K=\"line1\r\nline2\";", L"K") == L"line1\r\nline2");
    // A backslash as the last byte, or a quote as the last byte, ends the scan.
    EXPECT_FALSE(Find("K=\"abc\\", L"K", nullptr));
    EXPECT_FALSE(Find("K=\"", L"K", nullptr));
    // A text without its ";" is not an entry.
    EXPECT_FALSE(Find("K=\"abc\"", L"K", nullptr));
}

TEST(CatalogScan, EmptyTextIsFoundAsEmpty)
{
    WString found(L"before");
    EXPECT_TRUE(Find("Empty=\"\";\r\n", L"Empty", &found));
    EXPECT_TRUE(found.IsEmpty());
}

TEST(CatalogScan, BlanksAroundEqualsAndBeforeSemicolon)
{
    const std::string catalog =
        "  \t Spaced.Key   =   \"spaced text\"   ;\r\n"
        "Other = \"o\" junk ignored ;";
    EXPECT_TRUE(Text(catalog, L"Spaced.Key") == L"spaced text");
    EXPECT_TRUE(Text(catalog, L"Other") == L"o");
    // Bytes from 0x80 up count as blanks between entries and end a key.
    const std::string high = "\xA0\xE8Key\xE9=\"high\";";
    EXPECT_TRUE(Text(high, L"Key") == L"high");
}

TEST(CatalogScan, WindowsCodePageText)
{
    // The shipped catalogs use Windows-1252: è is the byte 0xE8.
    EXPECT_TRUE(Text("Accent=\"Cr\xE8me\";", L"Accent") == L"Cr\u00E8me");
}

TEST(CatalogScan, MissingQuotedTextSwallowsNextEntry)
{
    const std::string catalog =
        "First=;\r\n"
        "Second=\"second text\";\r\n"
        "Third=\"third text\";\r\n";
    EXPECT_TRUE(Text(catalog, L"First") == L"second text");
    EXPECT_TRUE(Text(catalog, L"Second") == L"<not found>");
    EXPECT_TRUE(Text(catalog, L"Third") == L"third text");
}

TEST(CatalogScan, KeyRunsUpToEqualsOrBlank)
{
    // Without blanks, everything from the key's first byte to "=" is the key.
    EXPECT_TRUE(Text("a;b=\"x\";", L"a;b") == L"x");
    EXPECT_TRUE(Text("K\"q\"=\"x\";", L"K\"q\"") == L"x");
}

TEST(CatalogScan, OverLongKeyIsSkippedWithoutOverrun)
{
    std::string longKey(300, 'k');
    std::string catalog = longKey + "=\"long\";\r\nAfter=\"after\";\r\n";
    EXPECT_TRUE(Text(catalog, std::wstring(longKey.begin(), longKey.end()).c_str()) == L"<not found>");
    // A longer key must not match through its first 255 bytes either.
    std::string cut(255, 'k');
    EXPECT_TRUE(Text(catalog, std::wstring(cut.begin(), cut.end()).c_str()) == L"<not found>");
    EXPECT_TRUE(Text(catalog, L"After") == L"after");
    // 255 bytes is the limit and still a key.
    std::string limit = cut + "=\"at limit\";";
    EXPECT_TRUE(Text(limit, std::wstring(cut.begin(), cut.end()).c_str()) == L"at limit");
}

TEST(CatalogScan, OverLongTextIsSkippedWithoutOverrun)
{
    std::string longText(6000, 't');
    std::string catalog = "Long=\"" + longText + "\";\r\nAfter=\"after\";\r\n";
    EXPECT_TRUE(Text(catalog, L"Long") == L"<not found>");
    EXPECT_TRUE(Text(catalog, L"After") == L"after");
    std::string limit(4095, 'x');
    WString found;
    ASSERT_TRUE(Find("Limit=\"" + limit + "\";", L"Limit", &found));
    EXPECT_EQ(4095, found.Length());
    EXPECT_FALSE(Find("Limit=\"" + limit + "y\";", L"Limit", nullptr));
    // Escapes count after resolution: 4095 LFs written as 8190 bytes fit.
    std::string lines;
    for (int i = 0; i < 4095; ++i)
        lines += "\\n";
    ASSERT_TRUE(Find("Lines=\"" + lines + "\";", L"Lines", &found));
    EXPECT_EQ(4095, found.Length());
}

} // namespace
