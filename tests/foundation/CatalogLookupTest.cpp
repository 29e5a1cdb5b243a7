// Lookups against the test archive embedded in this executable (resource "RESOURCES" of type
// KZ, built from tests/foundation/data).
#include "foundation/KZ_EventListener.h"
#include "foundation/MessageCatalog.h"
#include "foundation/PlatformError.h"

#include <gtest/gtest.h>

namespace {

WStringArray Params(std::initializer_list<const wchar_t*> values)
{
    WStringArray list;
    for (const wchar_t* value : values)
        list.Append(value);
    return list;
}

TEST(CatalogLookup, FindsTextInNamedCatalog)
{
    PlatformError::Clear();
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"Next.Title") == L"&Next >");
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"Back.Title") == L"< &Back");
    // A lookup that succeeds records nothing.
    EXPECT_TRUE(PlatformError::GetErrorText().IsEmpty());
    EXPECT_EQ(0, PlatformError::GetContext().Count());
}

TEST(CatalogLookup, NullCatalogIsPlatformErrors)
{
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"CreateFile.Read", Params({L"C:\\x.txt"})) ==
                L"Unable to open file [C:\\x.txt] in read mode");
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_PlatformErrors", L"OutOfMemory") ==
                L"Out of memory, memory allocation failed");
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"CopyFile", Params({L"a", L"b"})) ==
                L"Failed to copy file [a] to [b]");
    // Without parameters the marker stays.
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"CreateFile.Read") ==
                L"Unable to open file [/P1] in read mode");
}

// The start-up keeps each catalog's text once read: every catalog still answers with its own
// texts, a missing one with the key, and the texts stay right after the cache ends.
TEST(CatalogLookup, StartupCacheAnswersAsTheArchiveDoes)
{
    MessageCatalog::BeginStartupCache();
    MessageCatalog::BeginStartupCache();
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(MessageCatalog::Lookup("KZ_NoSuchCatalog", L"Next.Title") == L"Next.Title");
        EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"Next.Title") == L"&Next >");
        EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"CopyFile", Params({L"a", L"b"})) ==
                    L"Failed to copy file [a] to [b]");
        EXPECT_TRUE(MessageCatalog::Lookup("KZ_PlatformErrors", L"OutOfMemory") ==
                    L"Out of memory, memory allocation failed");
        EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"OutOfMemory") == L"OutOfMemory");
        EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"Back.Title") == L"< &Back");
        // The inner end keeps the cache for the outer one.
        MessageCatalog::EndStartupCache();
    }
    MessageCatalog::EndStartupCache();
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"Back.Title") == L"< &Back");
}

TEST(CatalogLookup, DuplicatedKeyGivesFirstText)
{
    EXPECT_TRUE(MessageCatalog::Lookup(nullptr, L"CoCreateInstance.E_NOINTERFACE") ==
                L"Unable to create COM object");
}

TEST(CatalogLookup, MissingKeyOrCatalogGivesKey)
{
    WString key(L"No.Such.Key");
    WString text = MessageCatalog::Lookup("KZ_UIWizard", key);
    EXPECT_TRUE(text == key);
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", L"next.title") == L"next.title");
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_NoSuchCatalog", L"Next.Title") == L"Next.Title");
    EXPECT_TRUE(MessageCatalog::Lookup("KZ_UIWizard", WString()).IsEmpty());
}

TEST(CatalogLookup, ParametersInOrder)
{
    WStringArray ten;
    for (int j = 1; j <= 10; ++j)
        ten.Append(WString(L"p") + FromInt(j));
    // "/P10" is taken by "/P1" first: parameter 1 followed by the digit 0.
    EXPECT_TRUE(MessageCatalog::Lookup("KZFoundationTest", L"Ten.Params", ten) ==
                L"p1 p2 p3 p4 p5 p6 p7 p8 p9 p10");
    EXPECT_TRUE(MessageCatalog::Lookup("KZFoundationTest", L"Ten.Params", Params({L"X"})) ==
                L"X /P2 /P3 /P4 /P5 /P6 /P7 /P8 /P9 X0");
    // A parameter holding its own marker is put in once per marker.
    EXPECT_TRUE(MessageCatalog::Lookup("KZFoundationTest", L"Own.Marker", Params({L"</P1>"})) ==
                L"[</P1>] and '</P1>'");
    // A parameter that rebuilds the marker with the text after it ends too.
    EXPECT_TRUE(MessageCatalog::Lookup("KZFoundationTest", L"Own.Marker", Params({L"/P"})) ==
                L"[/P] and '/P'");
}

TEST(CatalogLookup, TextsInTheCodePageAndEscapes)
{
    EXPECT_TRUE(MessageCatalog::Lookup("KZFoundationTest", L"Accent") == L"Cr\u00E8me br\u00FBl\u00E9e");
    EXPECT_TRUE(MessageCatalog::Lookup("KZFoundationTest", L"Two.Lines") == L"first\nsecond");
    EXPECT_TRUE(MessageCatalog::Lookup("KZFoundationTest", L"Spaced.Key") == L"spaced");
}

TEST(CatalogLookup, ListenerAsksOwnCatalogThenFallback)
{
    KZ_EventListener listener;
    EXPECT_TRUE(listener.GetMessage(L"Next.Title") == L"Next.Title");
    listener.SetFallbackCatalog("KZ_UIWizard");
    EXPECT_TRUE(listener.GetMessage(L"Next.Title") == L"&Next >");
    // Only a fallback: the default catalog is not asked.
    EXPECT_TRUE(listener.GetMessage(L"OutOfMemory") == L"OutOfMemory");

    listener.SetCatalog("KZFoundationTest");
    listener.SetFallbackCatalog(nullptr);
    EXPECT_TRUE(listener.GetMessage(L"Accent") == L"Cr\u00E8me br\u00FBl\u00E9e");
    // Not in the own catalog, and the fallback null means the default catalog.
    EXPECT_TRUE(listener.GetMessage(L"CreateFile.Read", WString(L"f")) ==
                L"Unable to open file [f] in read mode");
    listener.SetFallbackCatalog("KZ_UIWizard");
    EXPECT_TRUE(listener.GetMessage(L"Next.Title") == L"&Next >");
    EXPECT_TRUE(listener.GetMessage(L"OutOfMemory") == L"OutOfMemory");
    EXPECT_TRUE(listener.GetMessage(L"Only.Fallback") == L"from the fallback catalog");
}

// Lookups on three threads at once for a while: the re-entry mark of one thread must never
// make another thread's lookup answer with its key.
struct LookupLoop {
    HANDLE go;
    LONG misses;
    LONG lookups;

    static DWORD WINAPI Proc(LPVOID parameter)
    {
        static_cast<LookupLoop*>(parameter)->Loop(L"Next.Title", L"&Next >");
        return 0;
    }
    void Loop(const wchar_t* key, const wchar_t* text)
    {
        WaitForSingleObject(go, 10000);
        ULONGLONG end = GetTickCount64() + 400;
        while (GetTickCount64() < end) {
            if (MessageCatalog::Lookup("KZ_UIWizard", key) != text)
                InterlockedIncrement(&misses);
            InterlockedIncrement(&lookups);
        }
    }
};

TEST(CatalogLookup, ReentryMarkIsPerThread)
{
    LookupLoop shared = {CreateEventW(nullptr, TRUE, FALSE, nullptr), 0, 0};
    ASSERT_NE(nullptr, shared.go);
    HANDLE threads[2];
    for (HANDLE& thread : threads) {
        thread = CreateThread(nullptr, 0, LookupLoop::Proc, &shared, 0, nullptr);
        ASSERT_NE(nullptr, thread);
    }
    SetEvent(shared.go);
    shared.Loop(L"Back.Title", L"< &Back");
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForMultipleObjects(2, threads, TRUE, 60000));
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CloseHandle(shared.go);
    EXPECT_GT(shared.lookups, 100);
    EXPECT_EQ(0, shared.misses);
}

} // namespace
